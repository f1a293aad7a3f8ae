#include "DeviceSettings.h"

#include <algorithm>
#include <array>
#include <optional>
#include <stdexcept>
#include <string>

#include "IntegerText.h"
#include "InternalInconsistencyError.h"

namespace {

constexpr const char* kSourceName = "Project/Driver/Common/DeviceSettings";

constexpr std::int32_t kDefaultSensitivity = 5;

constexpr std::array<ButtonMappingType, kNumPrimaryButtonMappings> kDefaultPrimaryMappingTypes = {
    kLeftClickMappingType, kDoubleClickMappingType, kRightClickMappingType,
    kForwardMappingType,   kBackMappingType,        kSecondaryFunctionsMappingType,
};
constexpr std::array<ButtonMappingType, kNumSecondaryButtonMappings> kDefaultSecondaryMappingTypes =
    {
        kLeftClickMappingType,
        kDoubleClickMappingType,
        kRightClickMappingType,
        kForwardMappingType,
};

// How one of the two lists is checked and named.
struct MappingList {
    std::size_t count;
    const char* countMessage;
    const char* indexMessage;
};

constexpr MappingList kPrimaryList = {kNumPrimaryButtonMappings,
                                      "Primary mappings count should be 6",
                                      "Primary mapping index must be between 0 and 5"};
constexpr MappingList kSecondaryList = {kNumSecondaryButtonMappings,
                                        "Secondary mappings count should be 4",
                                        "Secondary mapping index must be between 0 and 3"};

// Checks the list's count, then the index taken unsigned; gives the slot.
std::size_t CheckedSlot(const MappingList& list, std::size_t count, std::int32_t index) {
    AssertConsistency(count == list.count, kSourceName, list.countMessage);
    const auto slot = static_cast<std::uint32_t>(index);
    AssertConsistency(slot < list.count, kSourceName, list.indexMessage);
    return slot;
}

template <std::size_t N>
std::vector<ADeviceSettings::MappingRef> DefaultMappings(
    const std::array<ButtonMappingType, N>& types) {
    std::vector<ADeviceSettings::MappingRef> mappings;
    mappings.reserve(N);
    for (const ButtonMappingType type : types) {
        mappings.push_back(AButtonMapping::initWithType(type, ""));
    }
    return mappings;
}

platform::PropertyList MappingsAsArray(const std::vector<ADeviceSettings::MappingRef>& mappings) {
    platform::PropertyList::Array array;
    array.reserve(mappings.size());
    for (const auto& mapping : mappings) {
        array.push_back(mapping->MappingAsDict());
    }
    return array;
}

// The integer value of an entry's decimal text; 0 when the entry is absent
// or not text.
std::int32_t IntegerValueOfEntry(const platform::PropertyList& dictionary, const char* key) {
    const auto* entry = dictionary.Find(key);
    const auto* text = entry ? entry->AsString() : nullptr;
    return text ? IntegerValueOfText(*text) : 0;
}

ADeviceSettings::MappingRef MappingFromDict(const platform::PropertyList& mappingDict) {
    const auto* macroKeysEntry = mappingDict.Find(kMacroKeysKey);
    const auto* macroKeys = macroKeysEntry ? macroKeysEntry->AsString() : nullptr;
    return AButtonMapping::initWithMapId(IntegerValueOfEntry(mappingDict, kMappingIdKey),
                                         macroKeys ? *macroKeys : std::string());
}

// The mappings of the array under key when it holds exactly count entries.
std::optional<std::vector<ADeviceSettings::MappingRef>> MappingsFromArray(
    const platform::PropertyList& dictionary, const char* key, std::size_t count) {
    const auto* entry = dictionary.Find(key);
    const auto* array = entry ? entry->AsArray() : nullptr;
    if (!array || array->size() != count) {
        return std::nullopt;
    }
    std::vector<ADeviceSettings::MappingRef> mappings;
    mappings.reserve(count);
    for (const auto& element : *array) {
        mappings.push_back(MappingFromDict(element));
    }
    return mappings;
}

void RequireMapping(const ADeviceSettings::MappingRef& mapping) {
    if (!mapping) {
        throw std::invalid_argument("A button mapping is required");
    }
}

bool SameMappings(const std::vector<ADeviceSettings::MappingRef>& left,
                  const std::vector<ADeviceSettings::MappingRef>& right) {
    return std::equal(left.begin(), left.end(), right.begin(), right.end(),
                      [](const auto& a, const auto& b) { return *a == *b; });
}

}  // namespace

ADeviceSettings::ADeviceSettings() {
    fPrimaryButtonMappings.reserve(kNumPrimaryButtonMappings);
    fSecondaryButtonMappings.reserve(kNumSecondaryButtonMappings);
    RestoreDefaultValues();
}

ADeviceSettings::MappingRef ADeviceSettings::PrimaryButtonMappingAtIndex(std::int32_t index) const {
    return fPrimaryButtonMappings[CheckedSlot(kPrimaryList, fPrimaryButtonMappings.size(), index)];
}

void ADeviceSettings::SetPrimaryButtonMapping(MappingRef mapping, std::int32_t index) {
    const std::size_t slot = CheckedSlot(kPrimaryList, fPrimaryButtonMappings.size(), index);
    RequireMapping(mapping);
    fPrimaryButtonMappings[slot] = std::move(mapping);
}

ADeviceSettings::MappingRef ADeviceSettings::SecondaryButtonMappingAtIndex(
    std::int32_t index) const {
    return fSecondaryButtonMappings[CheckedSlot(kSecondaryList, fSecondaryButtonMappings.size(),
                                                index)];
}

void ADeviceSettings::SetSecondaryButtonMapping(MappingRef mapping, std::int32_t index) {
    const std::size_t slot = CheckedSlot(kSecondaryList, fSecondaryButtonMappings.size(), index);
    RequireMapping(mapping);
    fSecondaryButtonMappings[slot] = std::move(mapping);
}

void ADeviceSettings::RestoreDefaultValues() {
    fPointerSensitivity = kDefaultSensitivity;
    fScrollWheelSensitivity = kDefaultSensitivity;
    fReverseScrollDirection = false;
    fPrimaryButtonMappings = DefaultMappings(kDefaultPrimaryMappingTypes);
    fSecondaryButtonMappings = DefaultMappings(kDefaultSecondaryMappingTypes);
}

platform::PropertyList ADeviceSettings::SettingsAsDict() const {
    return platform::PropertyList::Dictionary{
        {kPointerSensitivityKey, std::to_string(fPointerSensitivity)},
        {kScrollWheelSensitivityKey, std::to_string(fScrollWheelSensitivity)},
        {kReverseScrollDirectionKey, fReverseScrollDirection ? "1" : "0"},
        {kPrimaryButtonMappingsKey, MappingsAsArray(fPrimaryButtonMappings)},
        {kSecondaryButtonMappingsKey, MappingsAsArray(fSecondaryButtonMappings)},
    };
}

void ADeviceSettings::RestoreFromDictionary(const platform::PropertyList& dictionary) {
    if (!dictionary.AsDictionary()) {
        return;
    }
    fPointerSensitivity = IntegerValueOfEntry(dictionary, kPointerSensitivityKey);
    fScrollWheelSensitivity = IntegerValueOfEntry(dictionary, kScrollWheelSensitivityKey);
    // The flag keeps only the low byte of the number, as a one-byte boolean
    // would: "256" reads as not reversed.
    fReverseScrollDirection =
        (IntegerValueOfEntry(dictionary, kReverseScrollDirectionKey) & 0xff) != 0;
    if (auto primary =
            MappingsFromArray(dictionary, kPrimaryButtonMappingsKey, kNumPrimaryButtonMappings)) {
        fPrimaryButtonMappings = std::move(*primary);
    }
    if (auto secondary = MappingsFromArray(dictionary, kSecondaryButtonMappingsKey,
                                           kNumSecondaryButtonMappings)) {
        fSecondaryButtonMappings = std::move(*secondary);
    }
}

bool ADeviceSettings::operator==(const ADeviceSettings& other) const {
    return fPointerSensitivity == other.fPointerSensitivity &&
           fScrollWheelSensitivity == other.fScrollWheelSensitivity &&
           fReverseScrollDirection == other.fReverseScrollDirection &&
           SameMappings(fPrimaryButtonMappings, other.fPrimaryButtonMappings) &&
           SameMappings(fSecondaryButtonMappings, other.fSecondaryButtonMappings);
}
