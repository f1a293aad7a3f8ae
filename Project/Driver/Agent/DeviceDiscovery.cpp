#include "DeviceDiscovery.h"

#include <algorithm>
#include <optional>

#include "AgentConstants.h"
#include "AgentSettings.h"
#include "AgentState.h"
#include "ButtonActions.h"
#include "DeviceManager.h"
#include "PaneNotifications.h"
#include "SettingsDelivery.h"

namespace {

// Reads a number property of a registry entry as a signed 64-bit integer.
std::optional<std::int64_t> ReadNumber(const platform::PropertyList& properties,
                                       std::string_view key) {
    const platform::PropertyList* value = properties.Find(key);
    return value != nullptr ? value->AsInteger() : std::nullopt;
}

std::optional<platform::PropertyList> ReadProperties(platform::io_object_t handle) {
    platform::PropertyList properties;
    if (platform::IORegistryEntryCreateCFProperties(
            handle, &properties, platform::kCFAllocatorDefault, 0) != platform::kIOReturnSuccess ||
        properties.AsDictionary() == nullptr) {
        return std::nullopt;
    }
    return properties;
}

bool IsServedMouse(const platform::PropertyList& properties) {
    const auto vendorId = ReadNumber(properties, platform::kIOHIDVendorIDKey);
    const auto productId = ReadNumber(properties, platform::kIOHIDProductIDKey);
    if (!vendorId || !productId || *vendorId != kVendorId) {
        return false;
    }
    return std::find(kOrvandelProductIds.begin(), kOrvandelProductIds.end(), *productId) !=
           kOrvandelProductIds.end();
}

bool IsListed(platform::io_object_t service) {
    for (int i = 0; i < sNumDevices; ++i) {
        if (service == ADeviceManager::GetOrvandelObjectAtIndex(i)) {
            return true;
        }
    }
    return false;
}

// The list holds one reference for each driver instance it names.
void ClearEntry(int i) {
    if (sOrvandelObject[i] != 0) {
        platform::IOObjectRelease(sOrvandelObject[i]);
        sOrvandelObject[i] = 0;
    }
}

void ClearEntries() {
    for (int i = 0; i < kMaxDevices; ++i) {
        ClearEntry(i);
    }
    sNumDevices = 0;
}

void FillEntry(int i, platform::io_object_t handle) {
    ClearEntry(i);
    sOrvandelObject[i] = handle;
    sDevicePids[i] = GetDevicePid(handle);
}

// Mice of the family the HID manager reports present, listed or not (a third
// one is not). Counted from its callbacks; it reports them all again when it
// is opened anew, so a Detach starts the count over.
std::int32_t sAttachedMice = 0;

// Refills the list from the registry after a removal. The removal callback
// does not say which mouse went, so the entries are rebuilt: entries 0 to
// count - 1 then hold driver instances that are registered. The count is one
// below the old one, or the number of mice still attached when that is more
// (a third mouse that was not listed while two were takes the freed entry).
// It never follows the registered instances: the departing mouse's instance
// may still be registered when its removal is reported.
// Returns whether an instance that was not listed before is listed now.
bool RebuildDeviceList(std::int32_t remaining) {
    const auto previous = sOrvandelObject;
    const std::int32_t previousCount = sNumDevices;
    // Keep the old references until the new ones are taken, so that a mouse
    // still present keeps its handle.
    for (auto handle : previous) {
        if (handle != 0) {
            platform::IOObjectRetain(handle);
        }
    }
    ClearEntries();
    sDevicePids = {};
    const std::int32_t count = std::clamp(std::max(remaining, sAttachedMice), 0, kMaxDevices);
    for (int i = 0; i < count; ++i) {
        const platform::io_object_t handle = FindOrvandel();
        if (handle == 0) {
            break;
        }
        FillEntry(i, handle);
        // In use from now on, so that FindOrvandel skips it.
        sNumDevices = i + 1;
    }
    sNumDevices = count;

    bool newcomer = false;
    for (int i = 0; i < sNumDevices; ++i) {
        const auto end = previous.begin() + previousCount;
        newcomer |=
            sOrvandelObject[i] != 0 && std::find(previous.begin(), end, sOrvandelObject[i]) == end;
    }
    for (auto handle : previous) {
        if (handle != 0) {
            platform::IOObjectRelease(handle);
        }
    }
    return newcomer;
}

}  // namespace

platform::kern_return_t FindDevices(platform::io_iterator_t* iterator) {
    const auto matching = platform::IOServiceMatching(kOrvandelDriverClassName);
    if (!matching) {
        return platform::kIOReturnNoDevice;
    }
    return platform::IOServiceGetMatchingServices(platform::kIOMasterPortDefault, *matching,
                                                  iterator);
}

platform::io_object_t FindOrvandel() {
    platform::io_iterator_t iterator = 0;
    if (FindDevices(&iterator) != platform::kIOReturnSuccess) {
        return 0;
    }
    platform::io_object_t result = 0;
    while (platform::io_object_t service = platform::IOIteratorNext(iterator)) {
        const auto properties = ReadProperties(service);
        if (properties && IsServedMouse(*properties) && !IsListed(service)) {
            result = service;
            break;
        }
        platform::IOObjectRelease(service);
    }
    platform::IOObjectRelease(iterator);
    return result;
}

std::int32_t GetDevicePid(platform::io_object_t handle) {
    const auto properties = ReadProperties(handle);
    if (!properties) {
        return 0;
    }
    const auto productId = ReadNumber(*properties, platform::kIOHIDProductIDKey);
    return productId ? static_cast<std::int32_t>(*productId) : 0;
}

void EmptyDeviceList() {
    ClearEntries();
    sAttachedMice = 0;
}

void HandleDeviceMatchingCallback(void* /*context*/, platform::IOReturn /*result*/,
                                  void* /*sender*/, platform::IOHIDDeviceRef /*device*/) {
    ++sAttachedMice;
    const std::int32_t n = sNumDevices;
    // The list has room for two mice; a third one is not served until a
    // listed one goes away (see RebuildDeviceList).
    if (n >= kMaxDevices) {
        return;
    }
    if (sOrvandelObject[n] == 0) {
        for (int attempt = 0; attempt < kDriverSearchAttempts && sOrvandelObject[n] == 0;
             ++attempt) {
            FillEntry(n, FindOrvandel());
            platform::NSThreadSleepForTimeInterval(kDriverSearchInterval);
        }
    }
    const bool isTarn = ADeviceManager::IsTarnMouse(sOrvandelObject[n]);
    if (n == 0) {
        PostDeviceAttached(isTarn);
    }
    sNumDevices = n + 1;
    // Listening first: every message after the new settings reaches the agent.
    RegisterForDriverNotifications();
    SendSettingsUpdateToDriver(AgentSettingsRecord());
    ApplySensitivities();
}

void HandleDeviceRemovalCallback(void* /*context*/, platform::IOReturn /*result*/, void* /*sender*/,
                                 platform::IOHIDDeviceRef /*device*/) {
    sAttachedMice = std::max(sAttachedMice - 1, 0);
    if (sNumDevices <= 0) {
        return;
    }
    const bool newcomer = RebuildDeviceList(sNumDevices - 1);
    if (sNumDevices == 0) {
        PostNoDevicesAttached();
    }
    RegisterForDriverNotifications();
    if (newcomer) {
        SendSettingsUpdateToDriver(AgentSettingsRecord());
    }
}

platform::PropertyList ADeviceManager::CreateDeviceMatchingDictionary(std::int32_t productId) {
    platform::PropertyList::Dictionary matching;
    matching.emplace(platform::kIOHIDVendorIDKey, platform::PropertyList::MakeInteger(kVendorId));
    matching.emplace(platform::kIOHIDProductIDKey, platform::PropertyList::MakeInteger(productId));
    return platform::PropertyList(std::move(matching));
}

std::int32_t ADeviceManager::GetNumOrvandels() {
    return sNumDevices;
}

platform::io_object_t ADeviceManager::GetOrvandelObjectAtIndex(int i) {
    if (static_cast<unsigned>(i) < static_cast<unsigned>(sNumDevices) && i < kMaxDevices) {
        return sOrvandelObject[i];
    }
    return 0;
}

bool ADeviceManager::IsTarnMouse(platform::io_object_t handle) {
    // An empty entry keeps the product id of the mouse it held before a
    // detach; no handle names no mouse, so it is never the Tarn model.
    if (handle == 0) {
        return false;
    }
    for (int i = 0; i < kMaxDevices; ++i) {
        if (sOrvandelObject[i] == handle) {
            return sDevicePids[i] == kTarnProductId;
        }
    }
    return false;
}

bool ADeviceManager::HasTarnMouse() {
    return IsTarnMouse(sOrvandelObject[0]) || IsTarnMouse(sOrvandelObject[1]);
}
