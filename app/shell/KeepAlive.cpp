// The keep-alive unit: its file under the user's systemd folder, its text, and the systemctl
// calls that enable, disable and ask about it.
#include "app/shell/KeepAlive.h"

#include "app/engine/AtomicFile.h"
#include "app/linux/Actions.h"
#include "app/linux/HostFiles.h"

#include <cstdlib>
#include <initializer_list>
#include <ostream>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace vantrel::KeepAlive {
namespace {

// Runs `systemctl --user {args}` and gives its exit status (-1 when it could not run).
int systemctl(std::initializer_list<std::string> args) {
    std::vector<std::string> all{"--user"};
    all.insert(all.end(), args);
    return Actions::run("/usr/bin/systemctl", all).status;
}

// `text` as one double-quoted word of a command line in a unit file, which systemd reads back
// byte for byte: quotes and backslashes escaped C-style, control characters (and every byte
// above ASCII when the text is not UTF-8, which systemd refuses raw) as \xNN, and % doubled,
// as systemd expands specifiers in the program's path. A $ stays single: environment variables
// are expanded in the arguments only, never in the program's path, where "$$" would stay two
// dollar signs.
std::string quotedWord(std::string_view text) {
    static constexpr char digits[] = "0123456789abcdef";
    const bool utf8 = HostFiles::repairedUTF8(text) == text;
    std::string word = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            word += '\\';
            word += c;
        } else if (c == '%') {
            word += "%%";
        } else if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && !utf8)) {
            word += "\\x";
            word += digits[byte >> 4];
            word += digits[byte & 0xF];
        } else {
            word += c;
        }
    }
    word += '"';
    return word;
}

// `name` found in one of the absolute folders of $PATH, as a shell would find the program it
// started; empty when none holds an executable file of that name.
fs::path inSearchPath(const std::string& name) {
    const char* value = std::getenv("PATH");
    std::string_view folders = value != nullptr ? value : "";
    while (!folders.empty()) {
        const std::size_t colon = folders.find(':');
        const fs::path folder{folders.substr(0, colon)};
        folders.remove_prefix(colon == std::string_view::npos ? folders.size() : colon + 1);
        std::error_code error;
        if (const fs::path candidate = folder / name; folder.is_absolute() &&
                                                      fs::is_regular_file(candidate, error) &&
                                                      ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

} // namespace

std::string unitName() {
    return std::string(label) + ".service";
}

fs::path unitPath() {
    fs::path config;
    if (const char* value = std::getenv("XDG_CONFIG_HOME"); value != nullptr) {
        config = value;
    }
    if (!config.is_absolute()) {
        config = AtomicFile::homeFolder() / ".config";
    }
    return config / "systemd" / "user" / unitName();
}

fs::path runningExecutable(const char* argv0) {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error && self.is_absolute()) {
        // A program replaced while it runs (by an upgrade) shows as "{path} (deleted)"; what
        // should start next time is the new program at the path itself.
        constexpr std::string_view deleted = " (deleted)";
        if (const std::string& text = self.native();
            text.ends_with(deleted) && !AtomicFile::present(self)) {
            const fs::path replaced = text.substr(0, text.size() - deleted.size());
            if (AtomicFile::present(replaced)) {
                return replaced;
            }
        }
        return self;
    }
    if (argv0 == nullptr || *argv0 == '\0') {
        return {};
    }
    const std::string given{argv0};
    if (given.find('/') == std::string::npos) {
        return inSearchPath(given);
    }
    fs::path absolute = fs::absolute(given, error);
    return error ? fs::path{} : absolute.lexically_normal();
}

std::string unitText(const fs::path& executable) {
    return "# Keeps Vantrel guarding the USB ports while the desktop session runs. Written by\n"
           "# \"vantrel --enable-agent\" or the keep-running switch of its window; removed by\n"
           "# \"vantrel --disable-agent\" or that switch.\n"
           "[Unit]\n"
           "Description=Vantrel, the guard of this computer's USB ports\n"
           // Part of the graphical session: started once it is up and stopped with it.
           "PartOf=graphical-session.target\n"
           "After=graphical-session.target\n"
           "\n"
           "[Service]\n"
           // Started once the program is running, so a program that is gone fails the start.
           "Type=exec\n"
           "ExecStart=" +
           quotedWord(executable.native()) +
           "\n"
           // A crash (an error exit or a fatal signal) brings it back 10 s later; a quit from the
           // menu ends with status 0 and is left alone, as is a stop at the session's end.
           "Restart=on-failure\n"
           "RestartSec=10\n"
           // An interactive application: the user's manager already runs it with the
           // session's normal priority among the user's applications, so nothing is set for it.
           "\n"
           "[Install]\n"
           "WantedBy=graphical-session.target\n";
}

bool enabled() {
    const fs::path file = unitPath();
    if (!file.is_absolute() || !AtomicFile::present(file)) {
        return false;
    }
    // The status alone answers; what is-enabled prints is not read.
    return systemctl({"is-enabled", "--quiet", unitName()}) == 0;
}

bool set(bool on, std::ostream& errors, const fs::path& executable) {
    const std::string unit = unitName();
    // Whatever was registered before goes first; this fails harmlessly when nothing was. The
    // copy that runs now is not stopped: turning keep-alive off (from its own window, say) ends
    // the restarts, not the guarding.
    systemctl({"disable", unit});
    const fs::path file = unitPath();
    std::error_code error;
    if (!on) {
        fs::remove(file, error);
        systemctl({"daemon-reload"});
        return true;
    }
    if (!file.is_absolute() || !executable.is_absolute()) {
        // No home folder to put the unit in, or no program to start.
        error = std::make_error_code(std::errc::no_such_file_or_directory);
    } else if (fs::create_directories(file.parent_path(), error); !error) {
        AtomicFile::write(file, unitText(executable), error);
    }
    if (error) {
        errors << "Vantrel keep-alive: " << error.message() << '\n';
        return false;
    }
    systemctl({"daemon-reload"});
    return systemctl({"enable", "--now", unit}) == 0;
}

} // namespace vantrel::KeepAlive
