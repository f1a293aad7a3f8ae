#pragma once

#include <memory>
#include <string_view>

class ADeviceManager;

// Observes the session's switches: resigning active is handled like a sleep,
// becoming active again like a wake.
class AUserSwitchManager {
public:
    // Registers for the two session notifications.
    static std::unique_ptr<AUserSwitchManager> init(ADeviceManager& manager);
    ~AUserSwitchManager();
    AUserSwitchManager(const AUserSwitchManager&) = delete;
    AUserSwitchManager& operator=(const AUserSwitchManager&) = delete;

    // Receives a session notification by name.
    void switchHandler(std::string_view notificationName);

private:
    explicit AUserSwitchManager(ADeviceManager& manager) : fManager(manager) {}

    ADeviceManager& fManager;
};
