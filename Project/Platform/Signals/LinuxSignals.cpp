#include "LinuxSignals.h"

#include <sys/signalfd.h>
#include <unistd.h>

namespace platform {

LinuxSignals::LinuxSignals() {
    sigemptyset(&fMask);
}

LinuxSignals::~LinuxSignals() {
    if (fBackend != nullptr) fBackend->Unwatch(fWatch);
    if (fDescriptor >= 0) close(fDescriptor);
    pthread_sigmask(SIG_UNBLOCK, &fMask, nullptr);
}

bool LinuxSignals::Watch(int signalNumber, SignalHandlerFunction arrived) {
    sigset_t mask = fMask;
    // signalfd silently skips the two signals nobody can catch.
    if (signalNumber <= 0 || signalNumber >= NSIG || signalNumber == SIGKILL ||
        signalNumber == SIGSTOP || sigaddset(&mask, signalNumber) < 0) {
        return false;
    }
    const int descriptor = signalfd(fDescriptor, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
    if (descriptor < 0) return false;
    if (fDescriptor < 0) {
        RunLoopBackend& backend = CFRunLoopGetCurrent()->Backend();
        fWatch = backend.WatchDescriptor(descriptor, kDescriptorReadable, [this] { Drain(); });
        if (fWatch == 0) {
            close(descriptor);
            return false;
        }
        fBackend = &backend;
        fDescriptor = descriptor;
    }
    // Blocked only once a descriptor reads it, so it is never left pending unread.
    sigset_t added;
    sigemptyset(&added);
    sigaddset(&added, signalNumber);
    pthread_sigmask(SIG_BLOCK, &added, nullptr);
    fMask = mask;
    fHandlers[static_cast<std::size_t>(signalNumber)] = arrived;
    return true;
}

void LinuxSignals::Exit(int status) {
    _exit(status);
}

void LinuxSignals::Drain() {
    signalfd_siginfo info{};
    while (read(fDescriptor, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo < fHandlers.size() && fHandlers[info.ssi_signo] != nullptr) {
            fHandlers[info.ssi_signo](static_cast<int>(info.ssi_signo));
        }
    }
}

}  // namespace platform
