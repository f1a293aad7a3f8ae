#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "IOKitTypes.h"
#include "PropertyList.h"

namespace platform {

// Identity of a service on the other side of the boundary (the kernel, or the
// driver host on Linux). Never reused within one backend.
using ServiceId = std::uint64_t;
using InterestId = std::uint64_t;

// Called by the service side for every message a service sends its clients.
using InterestSink = std::function<void(natural_t messageType, std::uintptr_t messageArgument)>;

// The registry as seen from user space, without the program's handles: the
// handle table and notification ports are common to every backend.
class RegistryBackend {
public:
    virtual ~RegistryBackend() = default;
    // The live services whose class (or a superclass) is `className`, in
    // registration order.
    virtual std::vector<ServiceId> ServicesOfClass(std::string_view className) = 0;
    // The entry's properties; none when the service is gone.
    virtual std::optional<PropertyList> Properties(ServiceId service) = 0;
    // Hands the properties to the service's property intake before returning.
    virtual IOReturn SetProperties(ServiceId service, const PropertyList& properties) = 0;
    // Subscribes to the service's general-interest messages.
    virtual std::optional<InterestId> AddInterest(ServiceId service, InterestSink sink) = 0;
    virtual void RemoveInterest(InterestId interest) = 0;
    // Opens a user client connection of the given type.
    virtual IOReturn Open(ServiceId service, std::uint32_t type) = 0;
    virtual void Close(ServiceId service, std::uint32_t type) = 0;
};

// Installs the backend; returns the previous one. Handles issued under the
// previous backend become invalid.
std::unique_ptr<RegistryBackend> InstallRegistryBackend(std::unique_ptr<RegistryBackend> backend);
RegistryBackend& CurrentRegistryBackend();

}  // namespace platform
