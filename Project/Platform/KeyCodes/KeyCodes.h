#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "VirtualKeyCodes.h"

namespace platform {

// Translations between the stored virtual key codes and Linux evdev key codes
// (linux/input-event-codes.h). Lookups index constant tables: no allocation,
// no lock, usable on the event path.

// The evdev key at the virtual key's position; nullopt for codes without one.
std::optional<std::uint16_t> EvdevCodeForVirtualKey(std::uint16_t virtualKey);
// The virtual key at the evdev key's position. Keys sharing a position map to
// the same virtual key (KEY_HELP and KEY_INSERT both to Help).
std::optional<std::uint16_t> VirtualKeyForEvdevCode(std::uint16_t evdevCode);

// The evdev keys that hold the modifiers of a flag word, one per modifier
// (left-hand keys), in the order Caps Lock, Shift, Control, Option, Command,
// Function; other bits are ignored.
struct ModifierKeys {
    std::array<std::uint16_t, 6> codes{};
    std::size_t count = 0;

    const std::uint16_t* begin() const { return codes.data(); }
    const std::uint16_t* end() const { return codes.data() + count; }
};
ModifierKeys ModifierEvdevKeysForFlags(std::uint32_t flags);

// The flag of a modifier key, either hand; 0 for any other key.
std::uint32_t FlagForEvdevModifier(std::uint16_t evdevCode);

}  // namespace platform
