#pragma once

#include <memory>

#include "AppleEvents.h"

namespace platform {

// Linux: the restart request ('aevt'/'rest') goes to logind, the system's
// authority for restarts, as org.freedesktop.login1.Manager.Reboot with
// interaction allowed, whatever process it is addressed to. The request is
// written out before Send returns, but its answer is not waited for: the
// caller quits at once. A refusal that arrives while the application's event
// loop still runs is logged. Other events are not handled.
class LinuxAppleEventBackend final : public AppleEventBackend {
public:
    LinuxAppleEventBackend();
    ~LinuxAppleEventBackend() override;
    OSErr Send(const AppleEvent& event, AESendMode sendMode, AESendPriority sendPriority,
               long timeOutInTicks) override;

private:
    class SystemBus;
    std::unique_ptr<SystemBus> fBus;
};

}  // namespace platform
