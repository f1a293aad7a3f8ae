#include "TerminationSignals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>

namespace {

sigset_t TerminationSignals() {
    sigset_t mask;
    sigemptyset(&mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&mask, signal);
    return mask;
}

}  // namespace

void BlockTerminationSignals() {
    const sigset_t mask = TerminationSignals();
    pthread_sigmask(SIG_BLOCK, &mask, nullptr);
}

bool CloseWindowsOnTerminationSignals() {
    const sigset_t mask = TerminationSignals();
    // A signal that came before this stays pending and is read at once.
    const int descriptor = signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
    if (descriptor < 0) {
        pthread_sigmask(SIG_UNBLOCK, &mask, nullptr);
        return false;
    }
    auto* notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [descriptor] {
        signalfd_siginfo info{};
        while (read(descriptor, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        }
        QApplication::closeAllWindows();
    });
    return true;
}
