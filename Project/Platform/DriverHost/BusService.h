#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "AccelerationGain.h"
#include "CallReply.h"
#include "ClientAuthority.h"
#include "HeapTrim.h"
#include "HostMessageQueue.h"
#include "PostedEvents.h"
#include "RefusalLog.h"

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
// The caller has too much work waiting for its authorisation; nothing changed.
inline constexpr const char* kLimitsExceededError = "org.halvorin.Driver1.Error.LimitsExceeded";

// The registry and the HID system on the system bus: one object per driver
// instance and one for the HID system, under an object manager. Every call
// that changes something is checked first (the caller's authorisation, then
// its arguments) and changes nothing when refused; each client's calls take
// effect in the order it made them. A call that lets go of keys the caller
// holds needs no authorisation. Messages of an instance go to its
// subscribers only, and button messages only while the subscriber's user
// holds the active local session. A client that leaves the bus loses its
// subscriptions, its waiting calls and whatever it held down; a client whose
// session stops being active lets go of what it held.
//
// What waits for an authorisation answer is bounded per client, per user
// and in all, and kept without the call's arguments in their bus form; the
// excess is refused at once with kLimitsExceededError.
//
// Threads: runs on the bus side only; it meets the event side through the
// message queue, the live-service registry and the atomics of the driver and
// of the gains.
class BusService {
public:
    using Action = ClientAuthority::Action;
    // A recorded keystroke posts a few dozen events while its first check
    // is on its way; the bounds leave room for that.
    static constexpr std::size_t kMaxWaitingPerClient = 64;
    static constexpr std::size_t kMaxWaitingPerUser = 256;
    static constexpr std::size_t kMaxWaiting = 4096;
    static constexpr std::size_t kMaxWaitingBytesPerClient = 64 * 1024;
    static constexpr std::size_t kMaxWaitingBytes = 2 * 1024 * 1024;

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

    // What a call does once allowed, with the answer to give.
    using Work = std::function<void(const CallReply& reply)>;
    struct Prepared {
        std::size_t bytes = 0;  // what its arguments take while it waits
        Work work;
    };
    // Reads the call's arguments; a negative errno (with `error` set) when unusable.
    using Prepare = std::function<int(Prepared& prepared, sd_bus_error* error)>;

    // For the bus callbacks.
    Record* FindRecord(const char* path);
    std::vector<std::string> InstancePaths() const;
    // Runs the call once its caller may do `action` (none: nothing to
    // authorise), in the order of the caller's calls. A caller known to be
    // refused is refused before its arguments are read. Returns what the
    // method handler returns.
    int Submit(sd_bus_message* call, std::optional<Action> action, sd_bus_error* error,
               const Prepare& prepare);
    void ClientLeft(const std::string& name);
    AccelerationGains& Gains() { return fGains; }
    PostedEvents& Posted() { return fPosted; }
    // What happens to a posted event; counts a press refused for its pace.
    IOReturn Play(const std::string& client, const PostedAction& action);
    // One line in the host's log about what a client did.
    void Note(const std::string& client, const std::string& what);

private:
    struct Waiting {
        CallReply reply;
        std::optional<Action> action;
        std::size_t bytes;
        Work work;
    };

    // Decides the client's waiting calls in order, as far as answers allow.
    void Settle(const std::string& client);
    bool HasRoom(const std::string& client, std::size_t bytes) const;
    // Calls waiting across the user's connections.
    std::size_t WaitingOfUser(uid_t uid) const;
    void Drop(std::map<std::string, std::deque<Waiting>>::iterator waiting);
    void SessionLost(const std::string& client);
    void Added(std::uint64_t id);
    void Removed(std::uint64_t id);
    void Deliver(const HostMessage& message);

    sd_bus* fBus;
    HostMessageQueue& fMessages;
    AccelerationGains& fGains;
    PostedEvents& fPosted;
    ClientAuthority fAuthority;
    RefusalLog fRefusals;
    HeapTrim fHeapTrim;
    Record fHIDSystem;
    std::map<std::uint64_t, std::unique_ptr<Record>> fInstances;
    // Calls waiting for their check, per client, in the order made.
    std::map<std::string, std::deque<Waiting>> fWaiting;
    std::size_t fWaitingCount = 0;
    std::size_t fWaitingBytes = 0;
    std::vector<sd_bus_slot*> fSlots;
};

}  // namespace platform
