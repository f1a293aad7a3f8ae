#pragma once

#include <vector>

#include "AppleEvents.h"

namespace platform {

// Simulation: records every event sent and answers with a status the test sets.
class SimulatedAppleEventBackend final : public AppleEventBackend {
public:
    struct Sent {
        AppleEvent event;
        AESendMode sendMode;
        AESendPriority sendPriority;
        long timeOutInTicks;
    };

    OSErr Send(const AppleEvent& event, AESendMode sendMode, AESendPriority sendPriority,
               long timeOutInTicks) override;

    std::vector<Sent> fSent;
    OSErr fSendStatus = noErr;
};

}  // namespace platform
