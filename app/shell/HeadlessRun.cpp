#include "app/shell/HeadlessRun.h"

#include "Version.h"
#include "app/engine/Monitor.h"
#include "app/linux/OwnPrograms.h"
#include "app/shell/HeadlessApp.h"
#include "app/shell/QuitOnSignal.h"
#include "app/shell/SingleCopy.h"

#include <csignal>
#include <iostream>
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
    if (const auto guard = OwnPrograms::find(guardExecutable)) {
        ::execv(guard->c_str(), argv); // returns only when it could not run
    }
}

} // namespace vantrel
