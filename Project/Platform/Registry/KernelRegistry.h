#pragma once

#include <map>

#include "IOService.h"
#include "RegistryBackend.h"

namespace platform {

// The registry of the in-process kernel: services are the kernel's live
// IOService instances, reached by direct calls.
class KernelRegistry final : public RegistryBackend {
public:
    ~KernelRegistry() override;

    std::vector<ServiceId> ServicesOfClass(std::string_view className) override;
    std::optional<PropertyList> Properties(ServiceId service) override;
    IOReturn SetProperties(ServiceId service, const PropertyList& properties) override;
    std::optional<InterestId> AddInterest(ServiceId service, InterestSink sink) override;
    void RemoveInterest(InterestId interest) override;
    // Only the HID system's parameter connection can be opened.
    IOReturn Open(ServiceId service, std::uint32_t type) override;
    void Close(ServiceId service, std::uint32_t type) override;

    // Makes opening the HID system's connection fail (no permission).
    void SetOpenRefused(bool refused) { fOpenRefused = refused; }
    int OpenConnectionCount() const { return fOpenConnections; }

private:
    struct Interest {
        ServiceId service;
        IOService::InterestNotifierID notifier;
    };
    std::map<InterestId, Interest> fInterests;
    InterestId fNextInterest = 1;
    int fOpenConnections = 0;
    bool fOpenRefused = false;
};

}  // namespace platform
