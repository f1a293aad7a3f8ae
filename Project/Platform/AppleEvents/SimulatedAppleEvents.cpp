#include "SimulatedAppleEvents.h"

namespace platform {

OSErr SimulatedAppleEventBackend::Send(const AppleEvent& event, AESendMode sendMode,
                                       AESendPriority sendPriority, long timeOutInTicks) {
    fSent.push_back({event, sendMode, sendPriority, timeOutInTicks});
    return fSendStatus;
}

}  // namespace platform
