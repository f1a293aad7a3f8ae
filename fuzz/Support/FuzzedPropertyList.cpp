#include "FuzzedPropertyList.h"

#include <string>
#include <utility>

#include "DeviceSettings.h"

using platform::PropertyList;

namespace {

constexpr int kMaxDepth = 4;
constexpr std::size_t kMaxEntries = 8;

// Keys the record reads, so that most dictionaries reach its code paths.
const char* const kKnownKeys[] = {
    kPointerSensitivityKey,
    kScrollWheelSensitivityKey,
    kReverseScrollDirectionKey,
    kPrimaryButtonMappingsKey,
    kSecondaryButtonMappingsKey,
    kMappingIdKey,
    kMacroKeysKey,
};

std::string BuildText(FuzzedDataProvider& input) {
    if (input.ConsumeBool()) {
        return std::to_string(input.ConsumeIntegralInRange<int>(-50, 50));
    }
    return input.ConsumeRandomLengthString(24);
}

PropertyList BuildArray(FuzzedDataProvider& input, int depth) {
    PropertyList::Array array;
    const auto count = input.ConsumeIntegralInRange<std::size_t>(0, kMaxEntries);
    for (std::size_t i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        array.push_back(BuildValue(input, depth + 1));
    }
    return array;
}

// An array of exactly count entries, most of them mapping dictionaries with
// fuzzed ids and macro keys, so that whole lists get replaced.
PropertyList BuildMappingArray(FuzzedDataProvider& input, std::size_t count) {
    PropertyList::Array array;
    for (std::size_t i = 0; i < count; ++i) {
        if (input.ConsumeBool()) {
            array.push_back(PropertyList::Dictionary{{kMappingIdKey, BuildText(input)},
                                                     {kMacroKeysKey, BuildText(input)}});
        } else {
            array.push_back(BuildValue(input, 1));
        }
    }
    return array;
}

}  // namespace

PropertyList BuildDictionary(FuzzedDataProvider& input, int depth) {
    PropertyList::Dictionary dictionary;
    const auto count = input.ConsumeIntegralInRange<std::size_t>(0, kMaxEntries);
    for (std::size_t i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        std::string key = input.ConsumeBool() ? input.PickValueInArray(kKnownKeys)
                                              : input.ConsumeRandomLengthString(12);
        dictionary.insert_or_assign(std::move(key), BuildValue(input, depth + 1));
    }
    return dictionary;
}

PropertyList BuildValue(FuzzedDataProvider& input, int depth) {
    const int choice = input.ConsumeIntegralInRange(depth >= kMaxDepth ? 2 : 0, 5);
    switch (choice) {
        case 0:
            return BuildDictionary(input, depth);
        case 1:
            return BuildArray(input, depth);
        case 2:
            return BuildText(input);
        case 3:
            return PropertyList::MakeInteger(input.ConsumeIntegral<std::int64_t>());
        case 4:
            return PropertyList::MakeReal(input.ConsumeFloatingPoint<double>());
        default:
            return PropertyList::MakeBoolean(input.ConsumeBool());
    }
}

PropertyList BuildSettingsLikeDictionary(FuzzedDataProvider& input) {
    auto dictionary = *ADeviceSettings().SettingsAsDict().AsDictionary();
    for (const char* key :
         {kPointerSensitivityKey, kScrollWheelSensitivityKey, kReverseScrollDirectionKey}) {
        if (input.ConsumeBool()) {
            dictionary.insert_or_assign(key, BuildValue(input, 1));
        }
    }
    const std::pair<const char*, std::size_t> lists[] = {
        {kPrimaryButtonMappingsKey, kNumPrimaryButtonMappings},
        {kSecondaryButtonMappingsKey, kNumSecondaryButtonMappings}};
    for (const auto& [key, count] : lists) {
        switch (input.ConsumeIntegralInRange(0, 3)) {
            case 0:
                break;
            case 1:
                dictionary.erase(key);
                break;
            case 2:
                dictionary.insert_or_assign(key, BuildValue(input, 1));
                break;
            default:
                dictionary.insert_or_assign(key, BuildMappingArray(input, count));
        }
    }
    return dictionary;
}
