#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// A blocking alert at stop level, without icon, sound or localisation, with
// one button.
struct StopAlert {
    std::string header;
    std::string message;
    std::string button;
};

class UserAttentionBackend {
public:
    virtual ~UserAttentionBackend() = default;
    virtual void Beep() = 0;
    // Returns once the user has dismissed the alert.
    virtual void RunStopAlert(const StopAlert& alert) = 0;
};

void NSBeep();
void RunStopAlert(const StopAlert& alert);

// Records what the user would have heard and seen; an alert is dismissed at
// once.
class SimulatedUserAttention final : public UserAttentionBackend {
public:
    struct Event {
        bool beep = false;
        StopAlert alert;  // when not a beep
    };
    void Beep() override;
    void RunStopAlert(const StopAlert& alert) override;

    const std::vector<Event>& Events() const { return fEvents; }
    void SetObserver(std::function<void(const Event&)> observer) {
        fObserver = std::move(observer);
    }

private:
    void Record(Event event);

    std::vector<Event> fEvents;
    std::function<void(const Event&)> fObserver;
};

// Installs the backend; returns the previous one. Until one is installed the
// beeps and alerts are recorded by a simulated backend.
std::unique_ptr<UserAttentionBackend> InstallUserAttentionBackend(
    std::unique_ptr<UserAttentionBackend> backend);

}  // namespace platform
