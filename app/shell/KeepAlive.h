// Keeps Vantrel running: a systemd user unit that starts it with the graphical session and
// again after a crash, while a quit by the user still ends it. Driven by the command line
// (--enable-agent, --disable-agent, --agent-status) and the window's keep-running switch.
//
// systemctl is run as /usr/bin/systemctl through Actions::run (so under $VANTREL_ROOT when that
// is set), always with --user and the unit's one name. Nothing here throws.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>

namespace vantrel::KeepAlive {

// The agent label; the unit is "{label}.service".
inline constexpr std::string_view label = "org.vantrel.Vantrel.agent";

// "{label}.service", the name given to systemctl.
std::string unitName();

// Where the unit file lives: $XDG_CONFIG_HOME/systemd/user/{label}.service when XDG_CONFIG_HOME
// is an absolute path, otherwise under ~/.config (HOME, or the account's home folder).
std::filesystem::path unitPath();

// The absolute path of the running program, from /proc/self/exe; when that cannot be read,
// `argv0` made absolute (looked up in PATH when it has no slash). Empty when neither gives one.
std::filesystem::path runningExecutable(const char* argv0 = nullptr);

// The unit's text for the program at the absolute path `executable`, started with no arguments.
std::string unitText(const std::filesystem::path& executable);

// Whether the unit is installed and enabled: false without the file, without asking systemd;
// otherwise whether `systemctl --user is-enabled` says so.
bool enabled();

// Installs, enables and starts the unit for `executable` (on) or stops, disables and removes it
// (off); either way an earlier registration is stopped and disabled first. True on success;
// turning it off never fails. When the unit file cannot be written, the line
// "Vantrel keep-alive: {description}" goes to `errors` and the result is false; when systemd
// refuses to enable or start the unit the result is false without words, the file staying.
bool set(bool on, std::ostream& errors,
         const std::filesystem::path& executable = runningExecutable());

} // namespace vantrel::KeepAlive
