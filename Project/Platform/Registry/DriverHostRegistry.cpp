#include "DriverHostRegistry.h"

#include <algorithm>
#include <cstring>

#include "BusPropertyList.h"

namespace platform {
namespace {

constexpr const char* kObjectManager = "org.freedesktop.DBus.ObjectManager";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr const char* kHIDSystemClass = "IOHIDSystem";

// One object of GetManagedObjects, as far as the registry needs it.
struct ManagedService {
    std::string path;
    std::string className;
    std::vector<std::string> classes;
    std::uint64_t registrationId = 0;
};

// Reads the service interface's a{sv} at the message's position.
bool ReadServiceProperties(sd_bus_message* message, ManagedService& service) {
    if (sd_bus_message_enter_container(message, 'a', "{sv}") <= 0) {
        return false;
    }
    while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
        const char* name = nullptr;
        if (sd_bus_message_read_basic(message, 's', &name) <= 0) {
            return false;
        }
        int read = 0;
        if (std::strcmp(name, "ClassName") == 0) {
            const char* text = nullptr;
            read = sd_bus_message_read(message, "v", "s", &text);
            if (read > 0) {
                service.className = text;
            }
        } else if (std::strcmp(name, "Classes") == 0) {
            read = sd_bus_message_enter_container(message, 'v', "as");
            if (read > 0) {
                sd_bus_message_enter_container(message, 'a', "s");
                const char* text = nullptr;
                while (sd_bus_message_read_basic(message, 's', &text) > 0) {
                    service.classes.emplace_back(text);
                }
                sd_bus_message_exit_container(message);
                read = sd_bus_message_exit_container(message);
            }
        } else if (std::strcmp(name, "RegistrationId") == 0) {
            read = sd_bus_message_read(message, "v", "t", &service.registrationId);
        } else {
            read = sd_bus_message_skip(message, "v");
        }
        if (read < 0 || sd_bus_message_exit_container(message) < 0) {
            return false;
        }
    }
    return sd_bus_message_exit_container(message) >= 0;
}

// The host's services that carry the service interface, from its object
// manager; none when the call fails.
std::optional<std::vector<ManagedService>> ManagedServices(BusConnection& bus) {
    BusMessage request =
        bus.NewCall(kDriverHostBusName, kDriverHostRootPath, kObjectManager, "GetManagedObjects");
    BusMessage reply = request ? bus.Call(request.get()) : nullptr;
    sd_bus_message* m = reply.get();
    if (!reply || sd_bus_message_enter_container(m, 'a', "{oa{sa{sv}}}") <= 0) {
        return std::nullopt;
    }
    std::vector<ManagedService> services;
    while (sd_bus_message_enter_container(m, 'e', "oa{sa{sv}}") > 0) {
        ManagedService service;
        const char* path = nullptr;
        if (sd_bus_message_read_basic(m, 'o', &path) <= 0 ||
            sd_bus_message_enter_container(m, 'a', "{sa{sv}}") <= 0) {
            return std::nullopt;
        }
        service.path = path;
        bool isService = false;
        while (sd_bus_message_enter_container(m, 'e', "sa{sv}") > 0) {
            const char* interface = nullptr;
            if (sd_bus_message_read_basic(m, 's', &interface) <= 0) {
                return std::nullopt;
            }
            if (std::strcmp(interface, kDriverHostServiceInterface) == 0) {
                isService = ReadServiceProperties(m, service);
            } else if (sd_bus_message_skip(m, "a{sv}") < 0) {
                return std::nullopt;
            }
            if (sd_bus_message_exit_container(m) < 0) {
                return std::nullopt;
            }
        }
        if (sd_bus_message_exit_container(m) < 0 || sd_bus_message_exit_container(m) < 0) {
            return std::nullopt;
        }
        if (isService) {
            services.push_back(std::move(service));
        }
    }
    return services;
}

}  // namespace

IOReturn StatusOfBusError(const std::string& errorName) {
    if (errorName == "org.freedesktop.DBus.Error.AccessDenied") {
        return kIOReturnNotPermitted;
    }
    if (errorName == "org.freedesktop.DBus.Error.InvalidArgs") {
        return kIOReturnBadArgument;
    }
    if (errorName == "org.freedesktop.DBus.Error.UnknownObject" ||
        errorName == "org.freedesktop.DBus.Error.ServiceUnknown" ||
        errorName == "org.freedesktop.DBus.Error.NameHasNoOwner") {
        return kIOReturnNoDevice;
    }
    return kIOReturnError;
}

DriverHostRegistry::DriverHostRegistry(BusConnection& systemBus,
                                       std::function<void(bool present)> hostChanged)
    : fBus(systemBus), fHostChanged(std::move(hostChanged)) {
    sd_bus_slot* slot = nullptr;
    if (sd_bus_match_signal(fBus.Get(), &slot, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                            "org.freedesktop.DBus", "NameOwnerChanged",
                            &DriverHostRegistry::NameOwnerChanged, this) >= 0) {
        fOwnerMatch.reset(slot);
    }
    // The host sends messages to subscribers only. Every signal's sender is
    // checked against the host's unique name (sd-bus cannot match a
    // well-known sender itself), so nobody else can pose as the host.
    if (sd_bus_match_signal(fBus.Get(), &slot, nullptr, nullptr, kDriverHostServiceInterface,
                            "Message", &DriverHostRegistry::MessageArrived, this) >= 0) {
        fMessageMatch.reset(slot);
    }
    if (sd_bus_match_signal(fBus.Get(), &slot, nullptr, kDriverHostRootPath, kObjectManager,
                            "InterfacesRemoved", &DriverHostRegistry::InterfacesRemoved,
                            this) >= 0) {
        fRemovedMatch.reset(slot);
    }
    if (sd_bus_match_signal(fBus.Get(), &slot, nullptr, kDriverHostRootPath, kObjectManager,
                            "InterfacesAdded", &DriverHostRegistry::InterfacesAdded, this) >= 0) {
        fAddedMatch.reset(slot);
    }
    fOwner = CurrentOwner();
    if (!fOwner.empty()) {
        CheckServing();
    }
}

void DriverHostRegistry::CheckServing() {
    if (fServing) {
        return;
    }
    const std::optional<std::vector<ManagedService>> services = ManagedServices(fBus);
    fServing = services &&
               std::any_of(services->begin(), services->end(), [](const ManagedService& service) {
                   return service.className != kHIDSystemClass;
               });
    if (fServing && fHostChanged) {
        fHostChanged(true);
    }
}

int DriverHostRegistry::InterfacesAdded(sd_bus_message* message, void* self, sd_bus_error*) {
    auto* registry = static_cast<DriverHostRegistry*>(self);
    const char* sender = sd_bus_message_get_sender(message);
    if (sender != nullptr && registry->fOwner == sender) {
        registry->CheckServing();
        if (registry->fServicesAdded) {
            registry->fServicesAdded();
        }
    }
    return 0;
}

DriverHostRegistry::~DriverHostRegistry() {
    for (const auto& entry : fServices) {
        if (entry.second.live && HasInterest(entry.first)) {
            Subscribe(entry.second.path, false);
        }
    }
}

bool DriverHostRegistry::HasInterest(ServiceId service) const {
    return std::any_of(fInterests.begin(), fInterests.end(),
                       [service](const auto& entry) { return entry.second.service == service; });
}

std::string DriverHostRegistry::CurrentOwner() {
    BusMessage request = fBus.NewCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                      "org.freedesktop.DBus", "GetNameOwner");
    if (!request || sd_bus_message_append(request.get(), "s", kDriverHostBusName) < 0) {
        return {};
    }
    BusMessage reply = fBus.Call(request.get());
    const auto owner = ReadBasic<const char*>(reply.get(), 's');
    return owner ? *owner : "";
}

ServiceId DriverHostRegistry::IdOf(const std::string& path, const std::string& className) {
    for (const auto& [id, service] : fServices) {
        if (service.live && service.path == path) {
            return id;
        }
    }
    const ServiceId id = fNextService++;
    fServices.emplace(id, Service{path, className});
    return id;
}

std::string DriverHostRegistry::PathOf(ServiceId service) const {
    const auto found = fServices.find(service);
    return found != fServices.end() && found->second.live ? found->second.path : "";
}

std::vector<ServiceId> DriverHostRegistry::ServicesOfClass(std::string_view className) {
    std::optional<std::vector<ManagedService>> services = ManagedServices(fBus);
    if (!services) {
        return {};
    }
    std::sort(services->begin(), services->end(),
              [](const ManagedService& a, const ManagedService& b) {
                  return a.registrationId < b.registrationId;
              });
    std::vector<ServiceId> ids;
    for (const ManagedService& service : *services) {
        if (std::find(service.classes.begin(), service.classes.end(), className) !=
            service.classes.end()) {
            ids.push_back(IdOf(service.path, service.className));
        }
    }
    return ids;
}

std::optional<PropertyList> DriverHostRegistry::Properties(ServiceId service) {
    const std::string path = PathOf(service);
    if (path.empty()) {
        return std::nullopt;
    }
    BusMessage request = fBus.NewCall(kDriverHostBusName, path.c_str(), kProperties, "GetAll");
    if (!request || sd_bus_message_append(request.get(), "s", kDriverHostServiceInterface) < 0) {
        return std::nullopt;
    }
    BusMessage reply = fBus.Call(request.get());
    sd_bus_message* m = reply.get();
    if (!reply || sd_bus_message_enter_container(m, 'a', "{sv}") <= 0) {
        return std::nullopt;
    }
    // The registry properties, with the ids the host publishes beside them.
    std::optional<PropertyList> properties;
    std::optional<std::uint32_t> vendor;
    std::optional<std::uint32_t> product;
    while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
        const auto name = ReadBasic<const char*>(m, 's');
        if (!name) {
            return std::nullopt;
        }
        if (std::strcmp(*name, "Properties") == 0) {
            BusPropertyListResult read = ReadPropertyList(m);
            if (!read.Ok() || read.value.AsDictionary() == nullptr) {
                return std::nullopt;
            }
            properties = std::move(read.value);
        } else if (std::strcmp(*name, "VendorID") == 0 || std::strcmp(*name, "ProductID") == 0) {
            std::uint32_t id = 0;
            if (sd_bus_message_read(m, "v", "u", &id) <= 0) {
                return std::nullopt;
            }
            (std::strcmp(*name, "VendorID") == 0 ? vendor : product) = id;
        } else if (sd_bus_message_skip(m, "v") < 0) {
            return std::nullopt;
        }
        if (sd_bus_message_exit_container(m) < 0) {
            return std::nullopt;
        }
    }
    if (!properties) {
        return std::nullopt;
    }
    PropertyList::Dictionary dictionary = *properties->AsDictionary();
    if (vendor) {
        dictionary.try_emplace("VendorID", PropertyList::MakeInteger(*vendor));
    }
    if (product) {
        dictionary.try_emplace("ProductID", PropertyList::MakeInteger(*product));
    }
    return PropertyList(std::move(dictionary));
}

IOReturn DriverHostRegistry::SetProperties(ServiceId service, const PropertyList& properties) {
    const std::string path = PathOf(service);
    if (path.empty()) {
        return kIOReturnNoDevice;
    }
    BusMessage request = fBus.NewCall(kDriverHostBusName, path.c_str(), kDriverHostServiceInterface,
                                      "SetProperties");
    if (!request || AppendPropertyList(request.get(), properties) < 0) {
        return kIOReturnBadArgument;
    }
    std::string error;
    BusMessage reply = fBus.Call(request.get(), &error);
    if (!reply) {
        return StatusOfBusError(error);
    }
    const auto status = ReadBasic<std::int32_t>(reply.get(), 'i');
    return status ? static_cast<IOReturn>(*status) : kIOReturnError;
}

bool DriverHostRegistry::Subscribe(const std::string& path, bool subscribe) {
    BusMessage request = fBus.NewCall(kDriverHostBusName, path.c_str(), kDriverHostServiceInterface,
                                      subscribe ? "Subscribe" : "Unsubscribe");
    return request && fBus.Call(request.get());
}

std::optional<InterestId> DriverHostRegistry::AddInterest(ServiceId service, InterestSink sink) {
    const std::string path = PathOf(service);
    if (path.empty()) {
        return std::nullopt;
    }
    if (!HasInterest(service) && !Subscribe(path, true)) {
        return std::nullopt;
    }
    const InterestId id = fNextInterest++;
    fInterests.emplace(id, Interest{service, std::move(sink)});
    return id;
}

void DriverHostRegistry::RemoveInterest(InterestId interest) {
    const auto found = fInterests.find(interest);
    if (found == fInterests.end()) {
        return;
    }
    const ServiceId service = found->second.service;
    fInterests.erase(found);
    if (const std::string path = PathOf(service); !HasInterest(service) && !path.empty()) {
        Subscribe(path, false);
    }
}

IOReturn DriverHostRegistry::Open(ServiceId service, std::uint32_t type) {
    const auto found = fServices.find(service);
    if (found == fServices.end() || !found->second.live) {
        return kIOReturnNoDevice;
    }
    return found->second.className == kHIDSystemClass && type == kIOHIDParamConnectType
               ? kIOReturnSuccess
               : kIOReturnUnsupported;
}

void DriverHostRegistry::Close(ServiceId, std::uint32_t) {}

int DriverHostRegistry::MessageArrived(sd_bus_message* message, void* self, sd_bus_error*) {
    auto* registry = static_cast<DriverHostRegistry*>(self);
    const char* sender = sd_bus_message_get_sender(message);
    const char* path = sd_bus_message_get_path(message);
    std::uint32_t type = 0;
    std::uint64_t argument = 0;
    if (sender == nullptr || path == nullptr || registry->fOwner != sender ||
        sd_bus_message_read(message, "ut", &type, &argument) <= 0) {
        return 0;
    }
    // Sinks may add or remove interests while being told.
    std::vector<InterestSink> sinks;
    for (const auto& [id, interest] : registry->fInterests) {
        if (registry->PathOf(interest.service) == path) {
            sinks.push_back(interest.sink);
        }
    }
    for (const InterestSink& sink : sinks) {
        sink(type, static_cast<std::uintptr_t>(argument));
    }
    return 0;
}

int DriverHostRegistry::InterfacesRemoved(sd_bus_message* message, void* self, sd_bus_error*) {
    auto* registry = static_cast<DriverHostRegistry*>(self);
    const char* sender = sd_bus_message_get_sender(message);
    const auto path = ReadBasic<const char*>(message, 'o');
    if (sender == nullptr || registry->fOwner != sender || !path) {
        return 0;
    }
    for (auto& [id, service] : registry->fServices) {
        if (service.path == *path) {
            service.live = false;
        }
    }
    return 0;
}

int DriverHostRegistry::NameOwnerChanged(sd_bus_message* message, void* self, sd_bus_error*) {
    const char* name = nullptr;
    const char* oldOwner = nullptr;
    const char* newOwner = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &oldOwner, &newOwner) <= 0 ||
        std::strcmp(name, kDriverHostBusName) != 0) {
        return 0;
    }
    static_cast<DriverHostRegistry*>(self)->HostChanged(newOwner);
    return 0;
}

void DriverHostRegistry::HostChanged(const std::string& newOwner) {
    if (newOwner == fOwner) {
        return;
    }
    const bool wasPresent = !fOwner.empty();
    const bool wasServing = fServing;
    fOwner = newOwner;
    fServing = false;
    if (wasPresent) {
        // Every service of the old host has ended, whether or not its last
        // message made it.
        std::vector<InterestSink> sinks;
        for (const auto& [id, interest] : fInterests) {
            if (fServices[interest.service].live) {
                sinks.push_back(interest.sink);
            }
        }
        for (auto& [id, service] : fServices) {
            service.live = false;
        }
        for (const InterestSink& sink : sinks) {
            sink(kIOMessageServiceIsTerminated, 0);
        }
        if (wasServing && fHostChanged) {
            fHostChanged(false);
        }
    }
    if (!fOwner.empty()) {
        CheckServing();
    }
}

}  // namespace platform
