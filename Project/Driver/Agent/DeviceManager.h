#pragma once

#include <cstdint>
#include <memory>

class ASettingsFile;

#include "IOKitTypes.h"
#include "PropertyList.h"
#include "Registry.h"
#include "UserSwitchManager.h"

// Owns the agent's connections: the settings-file object, the HID manager, the
// HID parameter connection, the driver notification port, the power
// registration and the user-switch observer. One instance per process.
class ADeviceManager {
public:
    static ADeviceManager* GetDeviceManager();

    virtual ~ADeviceManager();
    ADeviceManager(const ADeviceManager&) = delete;
    ADeviceManager& operator=(const ADeviceManager&) = delete;

    // Makes every connection; also the whole of a wake.
    void Setup();
    // Drops what Setup made, except the driver notification port.
    void Detach();
    platform::kern_return_t OpenHidConnection();

    void RegisterPowerManagement();
    void UnregisterPowerManagement();
    static void PowerManagementCallback(void* refCon, platform::io_service_t service,
                                        platform::natural_t messageType, void* messageArgument);
    void PrepareForSleep();
    void WakeUp();
    // The session switch handler's way in: another user took the screen, or
    // this user is back.
    void SessionResigned();
    void SessionBecameActive();

    ASettingsFile* GetSettings() const;
    platform::io_connect_t GetHidConnection() const;
    platform::io_connect_t GetPowerRootPort() const { return fPowerRootPort; }

    void RegisterPreferencesChangedNotification();
    void RegisterPreferencesPanelStartedNotification();
    void UnregisterPreferencesChangedNotification();
    void UnregisterPreferencesPanelStartedNotification();

    // Distributed-notification handlers of the pane's two notifications.
    static void PreferencesChangeNotificationCallback(const platform::PropertyList& userInfo);
    static void PreferencesPanelStartedNotificationCallback();

    static platform::PropertyList CreateDeviceMatchingDictionary(std::int32_t productId);

    // Device list queries.
    static std::int32_t GetNumOrvandels();
    static platform::io_object_t GetOrvandelObjectAtIndex(int i);
    static bool IsTarnMouse(platform::io_object_t handle);
    static bool HasTarnMouse();

    static void SetMouseSensitivity(double value);
    static void SetScrollWheelSensitivity(double value);

    // Destroys the singleton, if there is one (see ResetAgentState).
    static void DestroyDeviceManager();

private:
    ADeviceManager();

    static ADeviceManager* sDeviceManager;

    std::unique_ptr<AUserSwitchManager> fUserSwitchManager;
    platform::IONotificationPortRef fPowerNotifyPort = nullptr;
    platform::io_object_t fPowerNotifier = 0;
    platform::io_connect_t fPowerRootPort = 0;
    // Whether Setup ran without a Detach since: a second Setup detaches first.
    bool fIsSetUp = false;
    // The two reasons to stay detached. A sleep and a session switch that
    // overlap (a text console is switched away during a sleep) set up once,
    // when the last of them ends.
    bool fAsleep = false;
    bool fSwitchedOut = false;
};

extern ADeviceManager* gDeviceManager;
