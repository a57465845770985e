// The vantrel executable: a one-shot tool when the command line names one (reports, keep-alive,
// demo windows, replay), the headless guard with --headless, otherwise the tray application, one
// copy per user.
#include "Version.h"
#include "app/engine/Monitor.h"
#include "app/replay/Replay.h"
#include "app/shell/CommandLine.h"
#include "app/shell/DemoWindow.h"
#include "app/shell/Display.h"
#include "app/shell/HeadlessRun.h"
#include "app/shell/KeepAlive.h"
#include "app/shell/PolicyCheck.h"
#include "app/shell/Reports.h"
#include "app/shell/SingleCopy.h"
#include "app/shell/TrayApp.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

#include <QApplication>

namespace vantrel {
namespace {

int runApp(int argc, char** argv) {
    // One copy per user, and per settings and event file.
    const MonitorFiles files;
    const SingleCopy lock({files.settings, files.events});
    if (!lock.first()) {
        return 0; // the copy that runs already keeps guarding
    }
    if (!displayAvailable()) {
        std::cerr << "Vantrel runs as a tray application and needs a desktop session, but no "
                     "display was found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                     "Here is what it sees now (vantrel --snapshot):\n\n";
        Snapshot::print(std::cout);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QApplication::setApplicationVersion(QString::fromLatin1(version));
    QGuiApplication::setDesktopFileName(QStringLiteral("vantrel"));
    QApplication::setQuitOnLastWindowClosed(false);
    // VANTREL_TIMING=1 prints when the first scan cycle completed, for the start-up benchmark.
    const char* timingFlag = std::getenv("VANTREL_TIMING");
    const bool timing = timingFlag != nullptr && *timingFlag != '\0';
    const TrayApp tray([timing] {
        if (timing) {
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            std::cerr << "vantrel: first cycle done at " << std::fixed << std::setprecision(6)
                      << std::chrono::duration<double>(now).count() << '\n';
        }
    });
    return QApplication::exec();
}

} // namespace
} // namespace vantrel

int main(int argc, char** argv) {
    using namespace vantrel;
    using Mode = CommandLine::Mode;
    const CommandLine line = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    switch (line.mode) {
    case Mode::snapshot:
        Snapshot::print(std::cout);
        return 0;
    case Mode::enableAgent:
        return KeepAlive::set(true, std::cerr) ? 0 : 1;
    case Mode::disableAgent:
        return KeepAlive::set(false, std::cerr) ? 0 : 1;
    case Mode::agentStatus:
        std::cout << (KeepAlive::enabled() ? "enabled" : "not registered") << std::endl;
        return 0;
    case Mode::selfTest: {
        // The device policy line asks the system bus, which needs an application object.
        const QCoreApplication app(argc, argv);
        SelfTest::run(std::cout, PolicyCheck::run(QDBusConnection::systemBus()));
        return 0;
    }
    case Mode::demoWindow:
        return DemoWindow::run(line.demo, argc, argv);
    case Mode::replay:
        if (!line.replayFile) {
            std::cerr << "replay: FILE: missing (vantrel --replay FILE)\n";
            return 2;
        }
        if (line.stateFolder && line.stateFolder->empty()) {
            std::cerr << "replay: --state: missing (vantrel --replay FILE --state DIR)\n";
            return 2;
        }
        return runReplay(*line.replayFile, std::cout, std::cerr,
                         line.stateFolder ? std::optional<std::filesystem::path>(*line.stateFolder)
                                          : std::nullopt);
    case Mode::help:
        std::cout << "Vantrel " << version << ": a guard for the USB ports of this computer.\n"
                  << usageText;
        return 0;
    case Mode::version:
        std::cout << "Vantrel " << version << '\n';
        return 0;
    case Mode::headless:
        // The guard's own executable, which loads no window library, runs in place of this
        // one; without it this one guards as well.
        runGuardExecutable(argv);
        return runHeadless(argc, argv, line.json);
    case Mode::app:
        break;
    }
    return runApp(argc, argv);
}
