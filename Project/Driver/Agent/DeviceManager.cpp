#include "DeviceManager.h"

#include <string>

#include "AgentConstants.h"
#include "AgentSettings.h"
#include "AgentState.h"
#include "ButtonActions.h"
#include "DeviceDiscovery.h"
#include "HIDManager.h"
#include "Logging.h"
#include "PaneNotifications.h"
#include "Power.h"

namespace {

// What OpenHidConnection reports when there is no usable HID system service
// (the kernel's generic failure status).
constexpr platform::kern_return_t kHidConnectionFailed = 5;

}  // namespace

ADeviceManager* gDeviceManager = nullptr;
ADeviceManager* ADeviceManager::sDeviceManager = nullptr;

ADeviceManager* ADeviceManager::GetDeviceManager() {
    if (sDeviceManager == nullptr) {
        sDeviceManager = new ADeviceManager();
    }
    return sDeviceManager;
}

void ADeviceManager::DestroyDeviceManager() {
    delete sDeviceManager;
    sDeviceManager = nullptr;
}

ADeviceManager::ADeviceManager() {
    Setup();
    RegisterPowerManagement();
    fUserSwitchManager = AUserSwitchManager::init(*this);
}

ADeviceManager::~ADeviceManager() {
    UnregisterPowerManagement();
    Detach();
    sHidManagerRef.reset();
    sDeviceSettings.reset();
    fUserSwitchManager.reset();
    if (sDeviceManager == this) {
        sDeviceManager = nullptr;
    }
}

void ADeviceManager::Setup() {
    // A wake whose sleep the agent never heard of (it started while the
    // system went to sleep) reaches Setup while set up: drop the first set of
    // connections so that the pane observers and the HID manager exist once.
    if (fIsSetUp) {
        Detach();
    }
    fIsSetUp = true;

    sDeviceSettings = CreateSettingsFileKeeping(std::move(sDeviceSettings));

    sHidManagerRef = platform::IOHIDManagerCreate(platform::kCFAllocatorDefault,
                                                  platform::kIOHIDOptionsTypeNone);

    if (OpenHidConnection() == platform::kIOReturnSuccess) {
        RegisterPreferencesChangedNotification();
        RegisterPreferencesPanelStartedNotification();

        platform::PropertyList::Array matching;
        for (std::int32_t productId : kOrvandelProductIds) {
            matching.push_back(CreateDeviceMatchingDictionary(productId));
        }
        platform::IOHIDManagerSetDeviceMatchingMultiple(sHidManagerRef,
                                                        platform::PropertyList(matching));
        platform::IOHIDManagerRegisterDeviceMatchingCallback(sHidManagerRef,
                                                             HandleDeviceMatchingCallback, nullptr);
        platform::IOHIDManagerRegisterDeviceRemovalCallback(sHidManagerRef,
                                                            HandleDeviceRemovalCallback, nullptr);
        platform::IOHIDManagerScheduleWithRunLoop(sHidManagerRef, platform::CFRunLoopGetCurrent(),
                                                  platform::kCFRunLoopDefaultMode);
        platform::IOHIDManagerOpen(sHidManagerRef, platform::kIOHIDOptionsTypeNone);
    }

    if (sDriverNotificationPort != nullptr) {
        platform::CFRunLoopRemoveSource(
            platform::CFRunLoopGetCurrent(),
            platform::IONotificationPortGetRunLoopSource(sDriverNotificationPort),
            platform::kCFRunLoopDefaultMode);
        platform::IONotificationPortDestroy(sDriverNotificationPort);
    }
    sDriverNotificationPort = platform::IONotificationPortCreate(platform::kIOMasterPortDefault);
    platform::CFRunLoopAddSource(
        platform::CFRunLoopGetCurrent(),
        platform::IONotificationPortGetRunLoopSource(sDriverNotificationPort),
        platform::kCFRunLoopDefaultMode);
}

void ADeviceManager::Detach() {
    fIsSetUp = false;
    UnregisterPreferencesChangedNotification();
    UnregisterPreferencesPanelStartedNotification();

    if (sHidManagerRef) {
        platform::IOHIDManagerRegisterInputValueCallback(sHidManagerRef, nullptr, nullptr);
        platform::IOHIDManagerRegisterDeviceMatchingCallback(sHidManagerRef, nullptr, nullptr);
        platform::IOHIDManagerRegisterDeviceRemovalCallback(sHidManagerRef, nullptr, nullptr);
        platform::IOHIDManagerUnscheduleFromRunLoop(sHidManagerRef, platform::CFRunLoopGetCurrent(),
                                                    platform::kCFRunLoopDefaultMode);
        platform::IOHIDManagerClose(sHidManagerRef, platform::kIOHIDOptionsTypeNone);
    }

    if (sHidConnection != 0) {
        platform::IOServiceClose(sHidConnection);
        platform::IOObjectRelease(sHidConnection);
        sHidConnection = 0;
    }

    EmptyDeviceList();
}

platform::kern_return_t ADeviceManager::OpenHidConnection() {
    platform::mach_port_t masterPort = 0;
    if (platform::kern_return_t result =
            platform::IOMasterPort(platform::MACH_PORT_NULL, &masterPort);
        result != platform::kIOReturnSuccess) {
        return result;
    }
    const auto matching = platform::IOServiceMatching(kHidSystemClassName);
    if (!matching) {
        return kHidConnectionFailed;
    }
    platform::io_iterator_t iterator = 0;
    if (platform::kern_return_t result =
            platform::IOServiceGetMatchingServices(masterPort, *matching, &iterator);
        result != platform::kIOReturnSuccess) {
        platform::StandardError("IOServiceGetMatchingServices returned " + std::to_string(result) +
                                "\n");
        return kHidConnectionFailed;
    }
    const platform::io_service_t service = platform::IOIteratorNext(iterator);
    platform::IOObjectRelease(iterator);
    if (service == 0) {
        return platform::kIOReturnSuccess;
    }
    const platform::kern_return_t result = platform::IOServiceOpen(
        service, platform::mach_task_self(), platform::kIOHIDParamConnectType, &sHidConnection);
    platform::IOObjectRelease(service);
    if (result != platform::kIOReturnSuccess) {
        if (sHidConnection != 0) {
            platform::IOObjectRelease(sHidConnection);
        }
        sHidConnection = 0;
        return kHidConnectionFailed;
    }
    return platform::kIOReturnSuccess;
}

void ADeviceManager::RegisterPowerManagement() {
    fPowerRootPort = platform::IORegisterForSystemPower(this, &fPowerNotifyPort,
                                                        PowerManagementCallback, &fPowerNotifier);
    if (fPowerRootPort != 0) {
        platform::CFRunLoopAddSource(platform::CFRunLoopGetCurrent(),
                                     platform::IONotificationPortGetRunLoopSource(fPowerNotifyPort),
                                     platform::kCFRunLoopDefaultMode);
    }
}

void ADeviceManager::UnregisterPowerManagement() {
    if (fPowerRootPort == 0) {
        return;
    }
    platform::CFRunLoopRemoveSource(platform::CFRunLoopGetCurrent(),
                                    platform::IONotificationPortGetRunLoopSource(fPowerNotifyPort),
                                    platform::kCFRunLoopDefaultMode);
    platform::IODeregisterForSystemPower(&fPowerNotifier);
    platform::IOServiceClose(fPowerRootPort);
    platform::IOObjectRelease(fPowerRootPort);
    platform::IONotificationPortDestroy(fPowerNotifyPort);
    fPowerNotifyPort = nullptr;
    fPowerRootPort = 0;
}

void ADeviceManager::PowerManagementCallback(void* refCon, platform::io_service_t /*service*/,
                                             platform::natural_t messageType,
                                             void* messageArgument) {
    auto* manager = static_cast<ADeviceManager*>(refCon);
    if (messageType == platform::kIOMessageSystemHasPoweredOn) {
        manager->fAsleep = false;
        if (!manager->fSwitchedOut) {
            manager->Setup();
        }
    } else if (messageType == platform::kIOMessageSystemWillSleep) {
        manager->fAsleep = true;
        manager->PrepareForSleep();
    }
    platform::IOAllowPowerChange(manager->fPowerRootPort,
                                 reinterpret_cast<std::intptr_t>(messageArgument));
}

void ADeviceManager::PrepareForSleep() {
    PostNoDevicesAttached();
    // The button's release would come after the connection is gone and
    // could no longer clear the global flags: a stuck modifier after wake.
    ReleaseHeldModifiers();
    Detach();
    FlushSettingsFile(sDeviceSettings.get());
}

void ADeviceManager::WakeUp() {
    Setup();
}

void ADeviceManager::SessionResigned() {
    fSwitchedOut = true;
    PrepareForSleep();
}

void ADeviceManager::SessionBecameActive() {
    fSwitchedOut = false;
    if (!fAsleep) {
        WakeUp();
    }
}

ASettingsFile* ADeviceManager::GetSettings() const {
    return sDeviceSettings.get();
}

platform::io_connect_t ADeviceManager::GetHidConnection() const {
    return sHidConnection;
}
