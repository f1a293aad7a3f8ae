#include "HIDManager.h"

#include <algorithm>
#include <utility>

#include "SimulatedHIDDevices.h"

namespace platform {
namespace {

std::unique_ptr<HIDDeviceBackend>& Backend() {
    static std::unique_ptr<HIDDeviceBackend> backend = std::make_unique<SimulatedHIDDevices>();
    return backend;
}

bool Matches(const PropertyList& dictionary, const HIDDevice& device) {
    const PropertyList::Dictionary* entries = dictionary.AsDictionary();
    if (entries == nullptr) {
        return false;
    }
    for (const auto& [key, wanted] : *entries) {
        std::optional<std::int64_t> value = wanted.AsInteger();
        if (key == kIOHIDVendorIDKey && value == device.vendorId) {
            continue;
        }
        if (key == kIOHIDProductIDKey && value == device.productId) {
            continue;
        }
        return false;
    }
    return true;
}

}  // namespace

HIDDeviceBackend::~HIDDeviceBackend() {
    for (Listener* listener : std::vector<Listener*>(fListeners)) {
        listener->BackendGone();
    }
}

void HIDDeviceBackend::AddListener(Listener* listener) {
    fListeners.push_back(listener);
}

void HIDDeviceBackend::RemoveListener(Listener* listener) {
    std::erase(fListeners, listener);
}

// Listeners may come and go while being told.
void HIDDeviceBackend::NotifyArrived(const HIDDevice& device) {
    for (Listener* listener : std::vector<Listener*>(fListeners)) {
        listener->DeviceArrived(device);
    }
}

void HIDDeviceBackend::NotifyRemoved(const HIDDevice& device) {
    for (Listener* listener : std::vector<Listener*>(fListeners)) {
        listener->DeviceRemoved(device);
    }
}

class HIDManager final : public HIDDeviceBackend::Listener {
public:
    HIDManager() : fSource(CreateRunLoopSource()) {}
    ~HIDManager() override {
        Close();
        fSource->Invalidate();
    }

    void SetMatching(const PropertyList& multiple) {
        fMatching.clear();
        if (const PropertyList::Array* dictionaries = multiple.AsArray()) {
            fMatching = *dictionaries;
        }
    }
    void SetMatchingCallback(IOHIDDeviceCallback callback, void* context) {
        fMatchingCallback = {callback, context};
    }
    void SetRemovalCallback(IOHIDDeviceCallback callback, void* context) {
        fRemovalCallback = {callback, context};
    }
    void Schedule(RunLoop* loop, CFRunLoopMode mode) { loop->AddSource(fSource, mode); }
    void Unschedule(RunLoop* loop, CFRunLoopMode mode) { loop->RemoveSource(fSource, mode); }

    IOReturn Open() {
        if (fBackend != nullptr) {
            return kIOReturnSuccess;
        }
        fBackend = Backend().get();
        fBackend->AddListener(this);
        for (const HIDDevice& device : fBackend->PresentDevices()) {
            DeviceArrived(device);
        }
        return kIOReturnSuccess;
    }

    IOReturn Close() {
        if (fBackend == nullptr) {
            return kIOReturnNotOpen;
        }
        fBackend->RemoveListener(this);
        BackendGone();
        return kIOReturnSuccess;
    }

    void DeviceArrived(const HIDDevice& device) override {
        if (std::any_of(fMatching.begin(), fMatching.end(),
                        [&](const PropertyList& d) { return Matches(d, device); })) {
            fMatched.push_back(device.id);
            Report(device, &HIDManager::fMatchingCallback);
        }
    }

    void DeviceRemoved(const HIDDevice& device) override {
        if (std::erase(fMatched, device.id) > 0) {
            Report(device, &HIDManager::fRemovalCallback);
        }
    }

    // Reports not yet delivered belong to the old generation and are dropped.
    void BackendGone() override {
        fBackend = nullptr;
        fMatched.clear();
        ++fGeneration;
    }

private:
    struct Callback {
        IOHIDDeviceCallback function = nullptr;
        void* context = nullptr;
    };

    // The callback is read at delivery, so that clearing it stops reports
    // already queued.
    void Report(const HIDDevice& device, Callback HIDManager::*which) {
        fSource->Post([this, device, which, generation = fGeneration] {
            Callback callback = this->*which;
            if (generation == fGeneration && callback.function != nullptr) {
                callback.function(callback.context, kIOReturnSuccess, this, &device);
            }
        });
    }

    CFRunLoopSourceRef fSource;
    std::vector<PropertyList> fMatching;
    std::vector<std::uint64_t> fMatched;
    Callback fMatchingCallback;
    Callback fRemovalCallback;
    HIDDeviceBackend* fBackend = nullptr;
    std::uint64_t fGeneration = 0;
};

IOHIDManagerRef IOHIDManagerCreate(CFAllocatorRef, IOOptionBits) {
    return std::make_shared<HIDManager>();
}

void IOHIDManagerSetDeviceMatchingMultiple(const IOHIDManagerRef& manager,
                                           const PropertyList& multiple) {
    if (manager) {
        manager->SetMatching(multiple);
    }
}

void IOHIDManagerRegisterDeviceMatchingCallback(const IOHIDManagerRef& manager,
                                                IOHIDDeviceCallback callback, void* context) {
    if (manager) {
        manager->SetMatchingCallback(callback, context);
    }
}

void IOHIDManagerRegisterDeviceRemovalCallback(const IOHIDManagerRef& manager,
                                               IOHIDDeviceCallback callback, void* context) {
    if (manager) {
        manager->SetRemovalCallback(callback, context);
    }
}

void IOHIDManagerRegisterInputValueCallback(const IOHIDManagerRef&, IOHIDValueCallback, void*) {}

void IOHIDManagerScheduleWithRunLoop(const IOHIDManagerRef& manager, CFRunLoopRef runLoop,
                                     CFRunLoopMode mode) {
    if (manager && runLoop != nullptr) {
        manager->Schedule(runLoop, mode);
    }
}

void IOHIDManagerUnscheduleFromRunLoop(const IOHIDManagerRef& manager, CFRunLoopRef runLoop,
                                       CFRunLoopMode mode) {
    if (manager && runLoop != nullptr) {
        manager->Unschedule(runLoop, mode);
    }
}

IOReturn IOHIDManagerOpen(const IOHIDManagerRef& manager, IOOptionBits) {
    return manager ? manager->Open() : kIOReturnBadArgument;
}

IOReturn IOHIDManagerClose(const IOHIDManagerRef& manager, IOOptionBits) {
    return manager ? manager->Close() : kIOReturnBadArgument;
}

std::unique_ptr<HIDDeviceBackend> InstallHIDDeviceBackend(
    std::unique_ptr<HIDDeviceBackend> backend) {
    return std::exchange(Backend(), std::move(backend));
}

}  // namespace platform
