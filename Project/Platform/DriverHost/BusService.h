#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "AccelerationGain.h"
#include "CallerAuthorization.h"
#include "HostMessageQueue.h"
#include "PostedEvents.h"

struct sd_bus;
struct sd_bus_message;
struct sd_bus_slot;

namespace platform {

inline constexpr const char* kDriverBusName = "org.halvorin.Driver1";
inline constexpr const char* kDriverRootPath = "/org/halvorin/Driver1";
inline constexpr const char* kServicePathPrefix = "/org/halvorin/Driver1/service";
inline constexpr const char* kHIDSystemPath = "/org/halvorin/Driver1/HIDSystem";
inline constexpr const char* kServiceInterface = "org.halvorin.Driver1.Service";
inline constexpr const char* kHIDSystemInterface = "org.halvorin.Driver1.HIDSystem";

// The registry and the HID system on the system bus: one object per driver
// instance and one for the HID system, under an object manager. Every call
// that changes something is checked first (arguments, then the caller's
// authorisation) and changes nothing when refused; each client's calls take
// effect in the order it made them. Messages of an instance go to its
// subscribers only; a client that leaves the bus loses its subscriptions, its
// unchecked calls and whatever it held down.
//
// Threads: runs on the bus side only; it meets the event side through the
// message queue, the live-service registry and the atomics of the driver and
// of the gains.
class BusService {
public:
    BusService(sd_bus* bus, HostMessageQueue& messages, AccelerationGains& gains,
               PostedEvents& posted);
    ~BusService();
    BusService(const BusService&) = delete;
    BusService& operator=(const BusService&) = delete;

    // Publishes the objects and takes the bus name; a negative errno on failure.
    int Start();
    // Takes what the event side queued: new instances, messages, ends.
    void DrainMessages();

    // One published object (an instance, or the HID system with id 0).
    struct Record {
        BusService* owner = nullptr;
        std::uint64_t id = 0;
        std::string path;
        std::vector<std::string> classes;  // the class, then its superclasses
        std::uint32_t vendorId = 0;
        std::uint32_t productId = 0;
        std::set<std::string> subscribers;
    };

    // For the bus callbacks.
    Record* FindRecord(const char* path);
    std::vector<std::string> InstancePaths() const;
    void Authorise(sd_bus_message* call, const char* action,
                   std::function<void(sd_bus_message* call)> granted);
    void ClientLeft(const std::string& name);
    AccelerationGains& Gains() { return fGains; }
    PostedEvents& Posted() { return fPosted; }

private:
    struct PendingCall {
        sd_bus_message* call;
        std::string action;
        std::function<void(sd_bus_message*)> granted;
    };

    void CheckNext(const std::string& client);
    void Added(std::uint64_t id);
    void Removed(std::uint64_t id);
    void Deliver(const HostMessage& message);

    sd_bus* fBus;
    HostMessageQueue& fMessages;
    AccelerationGains& fGains;
    PostedEvents& fPosted;
    CallerAuthorization fAuthorization;
    Record fHIDSystem;
    std::map<std::uint64_t, std::unique_ptr<Record>> fInstances;
    // Calls waiting for their check, per client; the first is being checked.
    std::map<std::string, std::deque<PendingCall>> fPending;
    std::vector<sd_bus_slot*> fSlots;
};

}  // namespace platform
