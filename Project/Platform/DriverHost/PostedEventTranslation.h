#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

// What one posted event does on the host's virtual keyboard.
struct PostedAction {
    enum class Kind {
        Press,      // code goes down or up
        Modifiers,  // the poster's held modifier keys become exactly these
    };
    Kind kind = Kind::Press;
    std::uint16_t code = 0;
    bool down = false;
    std::vector<std::uint16_t> modifiers;
};

// The posted event types the suite uses, with virtual key codes and modifier
// flags as the agent posts them, in evdev terms. Clicks go to the current
// pointer position, so the location does not matter. None for any other
// event type or a key code the key-code table lacks.
std::optional<PostedAction> TranslatePostedEvent(std::uint32_t eventType, std::uint16_t keyCode,
                                                 std::uint32_t eventFlags);

}  // namespace platform
