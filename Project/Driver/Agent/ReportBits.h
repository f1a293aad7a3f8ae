#pragma once

#include <array>
#include <cstdint>
#include <optional>

// Which bit of the HID button state belongs to which button index, and how a
// driver message value names a button of the settings.

inline constexpr std::array<std::uint8_t, 6> sButtonReportFlags = {0x01, 0x04, 0x02,
                                                                   0x10, 0x08, 0x20};
inline constexpr std::array<std::uint8_t, 6> sTarnButtonReportFlags = {0x01, 0x04, 0x02,
                                                                       0x08, 0x10, 0x00};

// A button of the settings record: primary mapping `index` (0 to 5) or
// secondary mapping `index` (0 to 3).
struct AButtonSlot {
    int index;
    bool isPrimary;

    bool operator==(const AButtonSlot&) const = default;
};

// Decodes a driver message value. `shiftIsSecondaryFunctions` says whether the
// primary mapping of the last button is Secondary Functions. On the Tarn model
// a value that adds button 3 to the held last button names primary mapping 3:
// the driver resolved it through its primary table, and the model offers no
// fourth secondary function.
std::optional<AButtonSlot> DecodeButtonMessage(std::uint32_t value, bool isTarn,
                                               bool shiftIsSecondaryFunctions);
