#include "app/shell/HeadlessRun.h"

#include "Version.h"
#include "app/engine/Monitor.h"
#include "app/shell/HeadlessApp.h"
#include "app/shell/QuitOnSignal.h"
#include "app/shell/SingleCopy.h"

#include <csignal>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <unistd.h>

#include <QCoreApplication>

namespace vantrel {

int runHeadless(int argc, char** argv, bool json) {
    const MonitorFiles files;
    const SingleCopy lock({files.settings, files.events});
    if (!lock.first()) {
        std::cerr << "vantrel --headless: another copy already guards with these files\n";
        return 0;
    }
    // A reader of the JSON lines that went away must not end the guard.
    std::signal(SIGPIPE, SIG_IGN);
    const QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Vantrel"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(version));
    const QuitOnSignal quit;
    const HeadlessApp guard(json, std::cout);
    return QCoreApplication::exec();
}

void runGuardExecutable(char** argv) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return;
    }
    const std::filesystem::path folder = self.parent_path();
    for (const auto& candidate :
         {folder / guardExecutable, folder.parent_path() / "lib" / "vantrel" / guardExecutable}) {
        ::execv(candidate.c_str(), argv); // returns only when it could not run
    }
}

} // namespace vantrel
