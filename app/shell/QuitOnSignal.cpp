#include "app/shell/QuitOnSignal.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>

namespace vantrel {
namespace {

constexpr int handled[] = {SIGTERM, SIGINT};

// The pipe's writing end, for the handler.
std::atomic<int> signalPipe{-1};

extern "C" void onSignal(int signal) {
    const int saved = errno;
    const int fd = signalPipe.load();
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

} // namespace

QuitOnSignal::QuitOnSignal() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return; // the signals keep their default action, which ends the process
    }
    read_ = fds[0];
    write_ = fds[1];
    signalPipe.store(write_);
    notifier_ = std::make_unique<QSocketNotifier>(read_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        unsigned char byte = 0;
        while (::read(read_, &byte, 1) == 1) {
            caught_ = byte;
        }
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : handled) {
        ::sigaction(signal, &action, nullptr);
    }
}

QuitOnSignal::~QuitOnSignal() {
    for (const int signal : handled) {
        std::signal(signal, SIG_DFL);
    }
    signalPipe.store(-1);
    notifier_.reset();
    if (read_ >= 0) {
        ::close(read_);
        ::close(write_);
    }
}

} // namespace vantrel
