#pragma once

#include "AppleEvents.h"

namespace platform {

// Linux: the restart request ('aevt'/'rest') goes to logind, the system's
// authority for restarts, as org.freedesktop.login1.Manager.Reboot with
// interaction allowed, whatever process it is addressed to. The call waits
// for logind's answer (up to the time-out) so that a refusal is reported.
// Other events are not handled.
class LinuxAppleEventBackend final : public AppleEventBackend {
public:
    OSErr Send(const AppleEvent& event, AESendMode sendMode, AESendPriority sendPriority,
               long timeOutInTicks) override;
};

}  // namespace platform
