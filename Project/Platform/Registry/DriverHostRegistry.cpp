#include "DriverHostRegistry.h"

#include <algorithm>
#include <cstring>

#include "BusPropertyList.h"
#include "Logging.h"
#include "VariantDictionary.h"

namespace platform {
namespace {

constexpr const char* kObjectManager = "org.freedesktop.DBus.ObjectManager";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr const char* kHIDSystemClass = "IOHIDSystem";

using Service = DriverHostRegistry::Service;

// Reads the service interface's a{sv} at the message's position.
bool ReadServiceProperties(sd_bus_message* message, Service& service) {
    return ReadVariantDictionary(message, [&](const char* name) {
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
        } else if (std::strcmp(name, "ProductID") == 0) {
            read = sd_bus_message_read(message, "v", "u", &service.productId);
        }
        return read;
    });
}

// One object, "oa{sa{sv}}" at the message's position: a service when it
// carries the service interface.
std::optional<Service> ReadObject(sd_bus_message* m) {
    Service service;
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
    if (sd_bus_message_exit_container(m) < 0 || !isService) {
        return std::nullopt;
    }
    return service;
}

// How the log names the mouse behind a driver instance.
std::string MouseName(const Service& service) {
    const std::string model = service.productId == 405 ? "the Tarn model" : "a six-button model";
    return "mouse " + std::to_string(service.productId) + " (" + model + ", driver instance " +
           std::to_string(service.registrationId) + ")";
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
                                       std::function<void(bool present)> hostChanged,
                                       Narration narration)
    : fBus(systemBus),
      fHostChanged(std::move(hostChanged)),
      fNarration(narration),
      fHost(systemBus.Get(), kDriverHostBusName,
            [this](const std::string&, const std::string& owner) { HostChanged(owner); }) {
    // The host sends messages to subscribers only; the senders of these
    // signals are checked against the host's unique name, as anyone may
    // send anyone a signal.
    sd_bus_slot* slot = nullptr;
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
    if (IsHostPresent()) {
        Log("Found the driver host on the system bus");
        Mirror();
    }
}

DriverHostRegistry::~DriverHostRegistry() {
    for (auto& [id, service] : fServices) {
        if (service.live && service.subscribed) {
            Subscribe(service, false);
        }
    }
}

void DriverHostRegistry::Log(const std::string& line) const {
    if (fNarration == Narration::Logged) {
        SystemLog(line);
    }
}

void DriverHostRegistry::Mirror() {
    BusMessage request =
        fBus.NewCall(kDriverHostBusName, kDriverHostRootPath, kObjectManager, "GetManagedObjects");
    BusMessage reply = request ? fBus.Call(request.get()) : nullptr;
    sd_bus_message* m = reply.get();
    if (!reply || sd_bus_message_enter_container(m, 'a', "{oa{sa{sv}}}") <= 0) {
        return;
    }
    std::vector<std::string> present;
    while (sd_bus_message_enter_container(m, 'e', "oa{sa{sv}}") > 0) {
        if (std::optional<Service> service = ReadObject(m)) {
            present.push_back(service->path);
            Add(std::move(*service));
        }
        if (sd_bus_message_exit_container(m) < 0) {
            return;
        }
    }
    // Gone, though the signal that says so may still be on its way.
    for (auto& [id, service] : fServices) {
        if (std::find(present.begin(), present.end(), service.path) == present.end()) {
            End(service, false);
        }
    }
    CheckServing();
}

void DriverHostRegistry::Add(Service service) {
    for (const auto& [id, known] : fServices) {
        if (known.live && known.path == service.path) {
            return;
        }
    }
    fServices.emplace(fNextService++, std::move(service));
}

void DriverHostRegistry::CheckServing() {
    if (fServing) {
        return;
    }
    fServing = std::any_of(fServices.begin(), fServices.end(), [](const auto& entry) {
        return entry.second.live && entry.second.className != kHIDSystemClass;
    });
    if (fServing && fHostChanged) {
        fHostChanged(true);
    }
}

int DriverHostRegistry::InterfacesAdded(sd_bus_message* message, void* self, sd_bus_error*) {
    auto* registry = static_cast<DriverHostRegistry*>(self);
    if (!registry->fHost.IsFromOwner(message)) {
        return 0;
    }
    if (std::optional<Service> service = ReadObject(message)) {
        registry->Add(std::move(*service));
        registry->CheckServing();
        if (registry->fServicesAdded) {
            registry->fServicesAdded();
        }
    }
    return 0;
}

bool DriverHostRegistry::HasInterest(ServiceId service) const {
    return std::any_of(fInterests.begin(), fInterests.end(),
                       [service](const auto& entry) { return entry.second.service == service; });
}

std::string DriverHostRegistry::PathOf(ServiceId service) const {
    const auto found = fServices.find(service);
    return found != fServices.end() && found->second.live ? found->second.path : "";
}

std::vector<ServiceId> DriverHostRegistry::ServicesOfClass(std::string_view className) {
    // The HID system lives as long as the host; driver instances come and go
    // faster than the signals that announce them may have been read (the
    // agent looks for a new one while blocking its loop), so the host is asked.
    if (className != kHIDSystemClass && IsHostPresent()) {
        Mirror();
    }
    std::vector<ServiceId> ids;
    for (const auto& [id, service] : fServices) {
        if (service.live && std::find(service.classes.begin(), service.classes.end(), className) !=
                                service.classes.end()) {
            ids.push_back(id);
        }
    }
    std::sort(ids.begin(), ids.end(), [this](ServiceId a, ServiceId b) {
        return fServices.at(a).registrationId < fServices.at(b).registrationId;
    });
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
    if (status == kIOReturnSuccess && fServices.at(service).className != kHIDSystemClass) {
        Log("Sent the settings to " + MouseName(fServices.at(service)));
    }
    return status ? static_cast<IOReturn>(*status) : kIOReturnError;
}

bool DriverHostRegistry::Subscribe(Service& service, bool subscribe) {
    BusMessage request =
        fBus.NewCall(kDriverHostBusName, service.path.c_str(), kDriverHostServiceInterface,
                     subscribe ? "Subscribe" : "Unsubscribe");
    if (!request || !fBus.Call(request.get())) {
        return false;
    }
    service.subscribed = subscribe;
    Log((subscribe ? "Attached to " : "Detached from ") + MouseName(service));
    return true;
}

std::optional<InterestId> DriverHostRegistry::AddInterest(ServiceId service, InterestSink sink) {
    const auto found = fServices.find(service);
    if (found == fServices.end() || !found->second.live) {
        return std::nullopt;
    }
    if (!found->second.subscribed && !Subscribe(found->second, true)) {
        return std::nullopt;
    }
    const InterestId id = fNextInterest++;
    fInterests.emplace(id, Interest{service, std::move(sink)});
    return id;
}

void DriverHostRegistry::RemoveInterest(InterestId interest) {
    if (fInterests.erase(interest) == 0 || fUnsubscribeQueued) {
        return;
    }
    // Interests are often dropped to be added again right away: the
    // subscription goes only if nothing took it up again by then.
    fUnsubscribeQueued = true;
    fBus.Source()->Post([this, alive = std::weak_ptr<bool>(fAlive)] {
        if (!alive.expired()) {
            fUnsubscribeQueued = false;
            UnsubscribeUnwanted();
        }
    });
}

void DriverHostRegistry::UnsubscribeUnwanted() {
    for (auto& [id, service] : fServices) {
        if (service.live && service.subscribed && !HasInterest(id)) {
            Subscribe(service, false);
        }
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
    const char* path = sd_bus_message_get_path(message);
    std::uint32_t type = 0;
    std::uint64_t argument = 0;
    if (!registry->fHost.IsFromOwner(message) || path == nullptr ||
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
    const auto path = ReadBasic<const char*>(message, 'o');
    if (!registry->fHost.IsFromOwner(message) || !path) {
        return 0;
    }
    for (auto& [id, service] : registry->fServices) {
        if (service.live && service.path == *path) {
            // The host told the subscribers of the instance's end already.
            registry->End(service, false);
        }
    }
    return 0;
}

void DriverHostRegistry::End(Service& service, bool tellInterests) {
    if (!service.live) {
        return;
    }
    service.live = false;
    if (service.subscribed) {
        service.subscribed = false;
        Log("Detached from " + MouseName(service));
    }
    if (!tellInterests) {
        return;
    }
    std::vector<InterestSink> sinks;
    for (const auto& [id, interest] : fInterests) {
        if (&fServices.at(interest.service) == &service) {
            sinks.push_back(interest.sink);
        }
    }
    for (const InterestSink& sink : sinks) {
        sink(kIOMessageServiceIsTerminated, 0);
    }
}

void DriverHostRegistry::HostChanged(const std::string& newOwner) {
    const bool wasServing = fServing;
    fServing = false;
    // Every service of the old host has ended, whether or not its last
    // message made it.
    for (auto& [id, service] : fServices) {
        End(service, true);
    }
    if (wasServing && fHostChanged) {
        fHostChanged(false);
    }
    if (newOwner.empty()) {
        Log("Lost the driver host");
        return;
    }
    Log("Found the driver host on the system bus");
    Mirror();
}

}  // namespace platform
