#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ButtonMapping.h"
#include "PropertyList.h"

// Keys of the settings dictionary, the record's dictionary form that the pane
// sends to the agent. Scalars travel as decimal text and mappings by their
// persistent mapping id.
inline constexpr const char* kPointerSensitivityKey = "PointerSensitivityKey";
inline constexpr const char* kScrollWheelSensitivityKey = "ScrollWheelSensitivityKey";
inline constexpr const char* kReverseScrollDirectionKey = "ReverseScrollDirectionKey";
inline constexpr const char* kPrimaryButtonMappingsKey = "PrimaryButtonMappings";
inline constexpr const char* kSecondaryButtonMappingsKey = "SecondaryButtonMappings";

// The sensitivities in use; the record itself stores any value.
inline constexpr int kMinSensitivity = 0;
inline constexpr int kMaxSensitivity = 9;

inline constexpr int kNumPrimaryButtonMappings = 6;
inline constexpr int kNumSecondaryButtonMappings = 4;

// One user's mouse settings: two sensitivities (0 to 9 in use; stored here
// unchecked), the scroll direction, the six primary button functions and the
// four second-layer functions. Always holds exactly 6 primary and 4 secondary
// mappings.
class ADeviceSettings {
public:
    using MappingRef = std::shared_ptr<const AButtonMapping>;

    // A record holding the defaults.
    ADeviceSettings();

    std::int32_t pointerSensitivity() const { return fPointerSensitivity; }
    void setPointerSensitivity(std::int32_t value) { fPointerSensitivity = value; }
    std::int32_t scrollWheelSensitivity() const { return fScrollWheelSensitivity; }
    void setScrollWheelSensitivity(std::int32_t value) { fScrollWheelSensitivity = value; }
    bool reverseScrollDirection() const { return fReverseScrollDirection; }
    void setReverseScrollDirection(bool value) { fReverseScrollDirection = value; }

    // The mapping accessors raise InternalInconsistencyError (source
    // "Project/Driver/Common/DeviceSettings") for an index outside 0 to 5
    // (primary) or 0 to 3 (secondary). The setters also refuse a null mapping
    // with std::invalid_argument.
    MappingRef PrimaryButtonMappingAtIndex(std::int32_t index) const;
    void SetPrimaryButtonMapping(MappingRef mapping, std::int32_t index);
    MappingRef SecondaryButtonMappingAtIndex(std::int32_t index) const;
    void SetSecondaryButtonMapping(MappingRef mapping, std::int32_t index);

    void RestoreDefaultValues();

    // The settings dictionary: "PointerSensitivityKey", "ScrollWheelSensitivityKey",
    // "ReverseScrollDirectionKey" as decimal text, "PrimaryButtonMappings" (6)
    // and "SecondaryButtonMappings" (4) as arrays of mapping dictionaries.
    platform::PropertyList SettingsAsDict() const;

    // Replaces the fields from a settings dictionary. Numbers are read from
    // decimal text (anything unreadable or absent is 0). A mapping list is
    // replaced only by an array of exactly 6 (primary) or 4 (secondary)
    // entries, otherwise it keeps its mappings; an entry that is not a
    // dictionary reads as "Disabled". A value that is not a dictionary
    // changes nothing.
    void RestoreFromDictionary(const platform::PropertyList& dictionary);

    // Same numbers and equal mappings (type and macro keys) in every slot.
    bool operator==(const ADeviceSettings& other) const;

private:
    std::int32_t fPointerSensitivity = 0;
    std::int32_t fScrollWheelSensitivity = 0;
    bool fReverseScrollDirection = false;
    std::vector<MappingRef> fPrimaryButtonMappings;
    std::vector<MappingRef> fSecondaryButtonMappings;
};
