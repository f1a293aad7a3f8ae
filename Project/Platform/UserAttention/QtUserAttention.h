#pragma once

#include "UserAttention.h"

namespace platform {

// The window system's bell, and a modal message box over the active window.
class QtUserAttention final : public UserAttentionBackend {
public:
    void Beep() override;
    void RunStopAlert(const StopAlert& alert) override;
};

}  // namespace platform
