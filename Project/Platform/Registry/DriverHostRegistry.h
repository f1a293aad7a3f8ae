#pragma once

#include <functional>
#include <map>
#include <string>

#include "BusConnection.h"
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
class DriverHostRegistry final : public RegistryBackend {
public:
    // `hostChanged(serving)` is told when the host goes away, and when it
    // serves again (or for the first time).
    DriverHostRegistry(BusConnection& systemBus, std::function<void(bool present)> hostChanged);
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

    bool IsHostPresent() const { return !fOwner.empty(); }
    bool IsServing() const { return fServing; }
    // The object path behind a live service; empty when gone.
    std::string PathOf(ServiceId service) const;

private:
    struct Service {
        std::string path;
        std::string className;
        bool live = true;
    };
    struct Interest {
        ServiceId service;
        InterestSink sink;
    };

    ServiceId IdOf(const std::string& path, const std::string& className);
    bool HasInterest(ServiceId service) const;
    std::string CurrentOwner();
    void HostChanged(const std::string& newOwner);
    // False when the host refused or did not answer.
    bool Subscribe(const std::string& path, bool subscribe);
    static int NameOwnerChanged(sd_bus_message* message, void* self, sd_bus_error* error);
    static int MessageArrived(sd_bus_message* message, void* self, sd_bus_error* error);
    static int InterfacesRemoved(sd_bus_message* message, void* self, sd_bus_error* error);
    static int InterfacesAdded(sd_bus_message* message, void* self, sd_bus_error* error);
    // Whether the host now has a driver instance; tells hostChanged the first time.
    void CheckServing();

    BusConnection& fBus;
    std::function<void(bool)> fHostChanged;
    std::function<void()> fServicesAdded;
    std::string fOwner;  // the host's unique name; empty while it is away
    std::map<ServiceId, Service> fServices;
    std::map<InterestId, Interest> fInterests;
    ServiceId fNextService = 1;
    InterestId fNextInterest = 1;
    BusSlot fOwnerMatch;
    BusSlot fMessageMatch;
    BusSlot fRemovedMatch;
    BusSlot fAddedMatch;
    bool fServing = false;
};

// The status a failed call on the host stands for.
IOReturn StatusOfBusError(const std::string& errorName);

}  // namespace platform
