// The keep-alive unit over a stub systemctl that remembers what it enabled: the unit file, the
// systemctl calls in order, write failures, and the unit's text read the way systemd reads it.
#include "app/shell/KeepAlive.h"

#include "app/engine/AtomicFile.h"
#include "app/linux/Actions.h"
#include "app/linux/HostFiles.h"
#include "tests/linux/StubTool.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>
#include <unistd.h>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

const std::string unit = "org.vantrel.Vantrel.agent.service";
const Args disableCall{"--user", "disable", unit};
const Args reloadCall{"--user", "daemon-reload"};
const Args enableCall{"--user", "enable", "--now", unit};
const Args statusCall{"--user", "is-enabled", "--quiet", unit};

// The values of `key` in `[section]` of a unit text.
Args values(const std::string& text, const std::string& section, const std::string& key) {
    Args found;
    std::istringstream lines(text);
    std::string current;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with('[')) {
            current = line;
        } else if (current == "[" + section + "]" && line.starts_with(key + "=")) {
            found.push_back(line.substr(key.size() + 1));
        }
    }
    return found;
}

// What systemd makes of a command line that is one double-quoted word: C escapes decoded and
// "%%" read as "%" (the program's path is never expanded from the environment, so $ stays as it
// is). None when it is anything else: more words, a lone quote or %, an unknown escape.
std::optional<std::string> quotedWord(std::string_view line) {
    if (line.size() < 2 || line.front() != '"' || line.back() != '"') {
        return std::nullopt;
    }
    std::string word;
    for (std::size_t at = 1; at + 1 < line.size(); ++at) {
        const char c = line[at];
        const char next = line[at + 1];
        if (c == '"' || (c == '%' && next != '%') || (c == '\\' && at + 2 == line.size())) {
            return std::nullopt;
        } else if (c == '%' || (c == '\\' && (next == '\\' || next == '"'))) {
            word += next;
            ++at;
        } else if (c == '\\' && next == 'x' && at + 4 < line.size()) {
            word += static_cast<char>(std::stoi(std::string(line.substr(at + 2, 2)), nullptr, 16));
            at += 3;
        } else if (c == '\\') {
            return std::nullopt;
        } else {
            word += c;
        }
    }
    return word;
}

TEST(KeepAliveUnitText, ProgramPathIsOneLiteralWord) {
    const std::string paths[] = {
        "/usr/bin/vantrel",
        "/opt/My Apps/o'brien \"quoted\"/back\\slash\\",
        "/opt/100%/%h/%%n/$HOME/${USER}/$$/vantrel",
        "/opt/tab\there/new\nline/\x7f/Gr\xC3\xBC\xC3\x9F"
        "e/vantrel",
        "/opt/not UTF-8 \xFF\xC3/vantrel",
    };
    for (const std::string& path : paths) {
        const std::string text = KeepAlive::unitText(path);
        // systemd refuses a unit file that is not UTF-8; a raw line feed would end the line.
        EXPECT_EQ(HostFiles::repairedUTF8(text), text);
        EXPECT_EQ(
            std::count_if(text.begin(), text.end(),
                          [](char c) { return (c >= 0 && c < ' ' && c != '\n') || c == 127; }),
            0);
        const Args lines = values(text, "Service", "ExecStart");
        ASSERT_EQ(lines.size(), 1u) << text;
        EXPECT_EQ(quotedWord(lines[0]), path) << lines[0];
    }
}

TEST(KeepAliveUnitText, SessionBindingAndRestartPolicy) {
    const std::string text = KeepAlive::unitText("/usr/bin/vantrel");
    const std::string session = "graphical-session.target";
    const struct {
        const char* section;
        const char* key;
        Args values;
    } cases[] = {
        {"Unit", "PartOf", {session}},
        {"Unit", "After", {session}},
        {"Service", "Restart", {"on-failure"}},
        {"Service", "RestartSec", {"10"}},
        {"Install", "WantedBy", {session}},
        {"Install", "RequiredBy", {}},
        {"Install", "Alias", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(values(text, c.section, c.key), c.values) << c.section << " " << c.key;
    }
}

// The real parser, where the machine has one: the unit loads and finds its program in an awkward
// folder, and does not when the program is not there.
TEST(KeepAliveUnitText, SystemdAcceptsIt) {
    const std::string analyze = "/usr/bin/systemd-analyze";
    if (::access(analyze.c_str(), X_OK) != 0) {
        GTEST_SKIP() << "no systemd-analyze here";
    }
    const TempFolder folder;
    const fs::path programs = folder.path / "Vantrel 2 $HOME ${USER} $$ 100%h Gr\xC3\xBC\xC3\x9F";
    fs::create_directories(programs);
    fs::create_directories(folder.path / "runtime");
    std::ofstream(programs / "vantrel") << "#!/bin/sh\n";
    fs::permissions(programs / "vantrel", fs::perms::owner_all);
    const EnvGuard root("VANTREL_ROOT", nullptr);
    const EnvGuard config("XDG_CONFIG_HOME", folder.path.c_str());
    const EnvGuard runtime("XDG_RUNTIME_DIR", (folder.path / "runtime").c_str());
    for (const auto& [program, loads] : {std::pair{"vantrel", true}, std::pair{"missing", false}}) {
        ASSERT_TRUE(AtomicFile::write(folder.path / unit, KeepAlive::unitText(programs / program)));
        const auto result =
            Actions::run(analyze, {"verify", "--user", (folder.path / unit).string()});
        EXPECT_EQ(result.status == 0, loads) << program;
    }
}

TEST(KeepAliveUnitPath, FollowsTheConfigurationFolder) {
    const struct {
        const char* config;
        const char* folder;
    } cases[] = {{nullptr, "/home/ann/.config"},
                 {"/srv/settings", "/srv/settings"},
                 {"", "/home/ann/.config"},
                 {"relative/settings", "/home/ann/.config"}};
    const EnvGuard home("HOME", "/home/ann");
    for (const auto& c : cases) {
        const EnvGuard config("XDG_CONFIG_HOME", c.config);
        EXPECT_EQ(KeepAlive::unitPath(), fs::path(c.folder) / "systemd/user" / unit) << c.folder;
    }
}

TEST(KeepAliveUnitPath, RunningExecutableIsThisProgram) {
    const fs::path self = KeepAlive::runningExecutable("/somewhere/else");
    std::error_code error;
    EXPECT_TRUE(self.is_absolute() && fs::equivalent(self, "/proc/self/exe", error)) << self;
}

// A home folder of its own and a stub systemctl keeping whether the unit is enabled in a marker
// file: is-enabled answers from it, enable makes it (or fails while a refusal marker is there),
// disable removes it and fails when there was nothing to disable.
class KeepAliveTest : public ::testing::Test {
  protected:
    KeepAliveTest() {
        const std::string marker = tree.at("/run/enabled").string();
        const std::string refusal = tree.at("/run/refuses").string();
        tree.folder("/run");
        stubTool(tree, "/usr/bin/systemctl", 0,
                 "case \"$2\" in\n"
                 "is-enabled) [ -e '" +
                     marker +
                     "' ] || exit 1 ;;\n"
                     "enable) [ -e '" +
                     refusal + "' ] && exit 1; : > '" + marker +
                     "' ;;\n"
                     "disable) rm '" +
                     marker +
                     "' || exit 1 ;;\n"
                     "esac");
    }

    FixtureTree tree;
    TempFolder home;
    EnvGuard homeVariable{"HOME", home.path.c_str()};
    EnvGuard configVariable{"XDG_CONFIG_HOME", nullptr};
    const fs::path program = "/opt/Vantrel/bin/vantrel";
    std::ostringstream errors;

    // Where the unit belongs: the folders on the way are not there at first.
    fs::path unitFile() const { return home.path / ".config/systemd/user" / unit; }
    ToolCalls calls() const { return toolCalls(tree, "/usr/bin/systemctl"); }
};

TEST_F(KeepAliveTest, EnableStatusEnableAgainDisable) {
    ASSERT_TRUE(KeepAlive::set(true, errors, program));
    EXPECT_EQ(AtomicFile::read(unitFile()), KeepAlive::unitText(program));
    EXPECT_TRUE(KeepAlive::enabled());
    EXPECT_EQ(calls(), (ToolCalls{disableCall, reloadCall, enableCall, statusCall}));

    const fs::path moved = "/usr/local/bin/vantrel";
    ASSERT_TRUE(KeepAlive::set(true, errors, moved));
    EXPECT_EQ(AtomicFile::read(unitFile()), KeepAlive::unitText(moved));
    EXPECT_TRUE(KeepAlive::enabled());

    EXPECT_TRUE(KeepAlive::set(false, errors));
    EXPECT_FALSE(AtomicFile::present(unitFile()));
    EXPECT_FALSE(KeepAlive::enabled());
    EXPECT_EQ(calls(), (ToolCalls{disableCall, reloadCall, enableCall, statusCall, disableCall,
                                  reloadCall, enableCall, statusCall, disableCall, reloadCall}));
    EXPECT_FALSE(fs::exists(tree.at("/run/enabled")));
    EXPECT_EQ(errors.str(), "");
}

TEST_F(KeepAliveTest, DisableWhenNothingWasInstalled) {
    EXPECT_TRUE(KeepAlive::set(false, errors));
    EXPECT_FALSE(AtomicFile::present(unitFile()));
    EXPECT_EQ(calls(), (ToolCalls{disableCall, reloadCall}));
    EXPECT_EQ(errors.str(), "");
}

TEST_F(KeepAliveTest, StatusWithoutTheFileAsksNobody) {
    tree.write("/run/enabled", ""); // systemd would say yes, were it asked
    EXPECT_FALSE(KeepAlive::enabled());
    EXPECT_EQ(calls(), ToolCalls{});
}

TEST_F(KeepAliveTest, FilePresentButNotEnabledIsRepairedByEnabling) {
    fs::create_directories(unitFile().parent_path());
    std::ofstream(unitFile()) << "[Service]\nExecStart=/old/vantrel\n";
    EXPECT_FALSE(KeepAlive::enabled());
    EXPECT_EQ(calls(), ToolCalls{statusCall});
    EXPECT_TRUE(KeepAlive::set(true, errors, program));
    EXPECT_TRUE(KeepAlive::enabled());
    EXPECT_EQ(AtomicFile::read(unitFile()), KeepAlive::unitText(program));
}

TEST_F(KeepAliveTest, RefusedEnableFailsWithoutWordsAndKeepsTheFile) {
    tree.write("/run/refuses", "");
    EXPECT_FALSE(KeepAlive::set(true, errors, program));
    EXPECT_EQ(errors.str(), "");
    EXPECT_EQ(AtomicFile::read(unitFile()), KeepAlive::unitText(program));
    EXPECT_EQ(calls(), (ToolCalls{disableCall, reloadCall, enableCall}));
}

TEST_F(KeepAliveTest, WriteFailureIsReportedAndNothingEnabled) {
    const fs::path systemd = home.path / ".config/systemd";
    const struct {
        fs::path fileInTheWay;
        fs::path folderInTheWay;
        fs::path program;
        std::errc error;
    } cases[] = {
        {systemd, {}, program, std::errc::not_a_directory},
        {systemd / "user", {}, program, std::errc::not_a_directory},
        {{}, unitFile(), program, std::errc::is_a_directory}, // the rename fails
        {{}, {}, "bin/vantrel", std::errc::no_such_file_or_directory},
    };
    for (const auto& c : cases) {
        FixtureTree fresh;
        stubTool(fresh, "/usr/bin/systemctl", 0);
        fs::remove_all(home.path / ".config");
        if (!c.fileInTheWay.empty()) {
            fs::create_directories(c.fileInTheWay.parent_path());
            std::ofstream(c.fileInTheWay) << "in the way";
        }
        if (!c.folderInTheWay.empty()) {
            fs::create_directories(c.folderInTheWay / "inside");
        }
        std::ostringstream words;
        EXPECT_FALSE(KeepAlive::set(true, words, c.program));
        EXPECT_EQ(words.str(),
                  "Vantrel keep-alive: " + std::make_error_code(c.error).message() + "\n");
        EXPECT_EQ(toolCalls(fresh, "/usr/bin/systemctl"), ToolCalls{disableCall});
        if (!c.fileInTheWay.empty()) {
            EXPECT_EQ(AtomicFile::read(c.fileInTheWay), "in the way");
        }
        if (!c.folderInTheWay.empty()) { // and no temporary file is left next to it
            EXPECT_EQ(std::distance(fs::directory_iterator(systemd / "user"), {}), 1);
        }
    }
}

} // namespace
} // namespace vantrel
