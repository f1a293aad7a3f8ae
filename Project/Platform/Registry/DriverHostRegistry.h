#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "BusConnection.h"
#include "BusNameOwner.h"
#include "RegistryBackend.h"

namespace platform {

inline constexpr const char* kDriverHostBusName = "org.halvorin.Driver1";
inline constexpr const char* kDriverHostRootPath = "/org/halvorin/Driver1";
inline constexpr const char* kDriverHostServiceInterface = "org.halvorin.Driver1.Service";

// The registry of the driver host, reached over the system bus: services are
// the host's objects that carry the service interface. The host going away
// ends every service (their interests are told kIOMessageServiceIsTerminated)
// and a host that comes back is a new registry with new services. The host
// counts as serving once it has a driver instance besides its HID system, as
// its instances appear only after its name.
//
// The host is whoever owns its name as the bus driver says; only that unique
// name's signals are believed. Its objects are asked for once when it appears
// and then followed through its object manager's signals.
//
// A service is subscribed to while it has an interest. Dropping the last
// interest lets go of the subscription only at the end of the run loop's
// turn, so that renewing interests (drop, then add again) loses no message.
// The agent's registry also says in the system log what it does.
class DriverHostRegistry final : public RegistryBackend {
public:
    // Whether the system log hears when the host is found and lost, each
    // mouse attached and detached (product and model) and each settings push:
    // the agent's story, not every client's.
    enum class Narration { Quiet, Logged };

    // `hostChanged(serving)` is told when the host goes away, and when it
    // serves again (or for the first time).
    DriverHostRegistry(BusConnection& systemBus, std::function<void(bool present)> hostChanged,
                       Narration narration = Narration::Quiet);
    ~DriverHostRegistry() override;

    std::vector<ServiceId> ServicesOfClass(std::string_view className) override;
    std::optional<PropertyList> Properties(ServiceId service) override;
    IOReturn SetProperties(ServiceId service, const PropertyList& properties) override;
    std::optional<InterestId> AddInterest(ServiceId service, InterestSink sink) override;
    void RemoveInterest(InterestId interest) override;
    // Only the HID system's parameter connection can be opened.
    IOReturn Open(ServiceId service, std::uint32_t type) override;
    void Close(ServiceId service, std::uint32_t type) override;

    // `added` is told whenever the host announces new objects (a driver
    // instance for a mouse plugged in), after the host's start has been told.
    void OnServicesAdded(std::function<void()> added) { fServicesAdded = std::move(added); }

    bool IsHostPresent() const { return !fHost.Owner().empty(); }
    bool IsServing() const { return fServing; }
    // The object path behind a live service; empty when gone.
    std::string PathOf(ServiceId service) const;

    // One object of the host, as its object manager describes it.
    struct Service {
        std::string path;
        std::string className;
        std::vector<std::string> classes;
        std::uint64_t registrationId = 0;
        std::uint32_t productId = 0;
        bool live = true;
        bool subscribed = false;
    };

private:
    struct Interest {
        ServiceId service;
        InterestSink sink;
    };

    void Add(Service service);
    bool HasInterest(ServiceId service) const;
    void HostChanged(const std::string& newOwner);
    // Every object of the host that has just appeared.
    void Mirror();
    void Log(const std::string& line) const;
    // Ends a live service; its interests hear of it when told to.
    void End(Service& service, bool tellInterests);
    // False when the host refused or did not answer.
    bool Subscribe(Service& service, bool subscribe);
    void UnsubscribeUnwanted();
    static int MessageArrived(sd_bus_message* message, void* self, sd_bus_error* error);
    static int InterfacesRemoved(sd_bus_message* message, void* self, sd_bus_error* error);
    static int InterfacesAdded(sd_bus_message* message, void* self, sd_bus_error* error);
    // Whether the host now has a driver instance; tells hostChanged the first time.
    void CheckServing();

    BusConnection& fBus;
    std::function<void(bool)> fHostChanged;
    std::function<void()> fServicesAdded;
    Narration fNarration;
    std::map<ServiceId, Service> fServices;
    std::map<InterestId, Interest> fInterests;
    ServiceId fNextService = 1;
    InterestId fNextInterest = 1;
    BusSlot fMessageMatch;
    BusSlot fRemovedMatch;
    BusSlot fAddedMatch;
    bool fServing = false;
    bool fUnsubscribeQueued = false;
    // Work queued on the bus's source asks this whether the registry still lives.
    std::shared_ptr<bool> fAlive = std::make_shared<bool>(true);
    // Last, so that its first answer finds everything else in place.
    BusNameOwner fHost;
};

// The status a failed call on the host stands for.
IOReturn StatusOfBusError(const std::string& errorName);

}  // namespace platform
