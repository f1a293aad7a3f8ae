// Feeds arbitrary property-list values to ADeviceSettings::RestoreFromDictionary
// and checks that the record still holds 6 primary and 4 secondary catalogue
// mappings, and that its dictionary form restores to an equal record.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "DeviceSettings.h"
#include "FuzzedPropertyList.h"

namespace {

using platform::PropertyList;

void CheckMapping(const ADeviceSettings::MappingRef& mapping) {
    if (!mapping || mapping->mapType() < 0 || mapping->mapType() >= kNumButtonMappingTypes) {
        std::abort();
    }
}

void CheckInvariant(const ADeviceSettings& settings) {
    for (int i = 0; i < kNumPrimaryButtonMappings; ++i) {
        CheckMapping(settings.PrimaryButtonMappingAtIndex(i));
    }
    for (int i = 0; i < kNumSecondaryButtonMappings; ++i) {
        CheckMapping(settings.SecondaryButtonMappingAtIndex(i));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    PropertyList value;
    switch (input.ConsumeIntegralInRange(0, 2)) {
        case 0:
            value = BuildSettingsLikeDictionary(input);
            break;
        case 1:
            value = BuildDictionary(input, 0);
            break;
        default:
            value = BuildValue(input, 0);
    }
    (void)value.Describe();

    ADeviceSettings settings;
    settings.RestoreFromDictionary(value);
    CheckInvariant(settings);

    ADeviceSettings restored;
    restored.RestoreFromDictionary(settings.SettingsAsDict());
    if (!(restored == settings)) {
        std::abort();
    }
    return 0;
}
