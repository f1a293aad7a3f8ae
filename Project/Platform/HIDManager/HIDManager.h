#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "IOKitTypes.h"
#include "PropertyList.h"
#include "RunLoop.h"

namespace platform {

inline constexpr std::string_view kIOHIDVendorIDKey = "VendorID";
inline constexpr std::string_view kIOHIDProductIDKey = "ProductID";
inline constexpr IOOptionBits kIOHIDOptionsTypeNone = 0;

// A HID device as the manager reports it.
struct HIDDevice {
    std::uint64_t id = 0;  // unique per plug-in
    std::int32_t vendorId = 0;
    std::int32_t productId = 0;
};
using IOHIDDeviceRef = const HIDDevice*;
// No backend produces input values; the type exists so that the input-value
// callback can be registered and cleared.
struct HIDValue;
using IOHIDValueRef = const HIDValue*;

using IOHIDDeviceCallback = void (*)(void* context, IOReturn result, void* sender,
                                     IOHIDDeviceRef device);
using IOHIDValueCallback = void (*)(void* context, IOReturn result, void* sender,
                                    IOHIDValueRef value);

// Reports the devices that match its dictionaries: on open, those already
// present; later, each arrival and removal. Callbacks run from the run loop
// it is scheduled on, in the order things happened; a callback cleared (set
// to null) before delivery is not called.
class HIDManager;
// Releasing the manager is dropping the last reference; it stops reporting.
using IOHIDManagerRef = std::shared_ptr<HIDManager>;

IOHIDManagerRef IOHIDManagerCreate(CFAllocatorRef allocator, IOOptionBits options);
// An array of dictionaries; a device matches when it has every key of one of
// them with an equal value ("VendorID", "ProductID"). An empty dictionary
// matches every device; an empty array matches none.
void IOHIDManagerSetDeviceMatchingMultiple(const IOHIDManagerRef& manager,
                                           const PropertyList& multiple);
// Null clears the callback.
void IOHIDManagerRegisterDeviceMatchingCallback(const IOHIDManagerRef& manager,
                                                IOHIDDeviceCallback callback, void* context);
void IOHIDManagerRegisterDeviceRemovalCallback(const IOHIDManagerRef& manager,
                                               IOHIDDeviceCallback callback, void* context);
// Accepted and ignored: no backend produces input values.
void IOHIDManagerRegisterInputValueCallback(const IOHIDManagerRef& manager,
                                            IOHIDValueCallback callback, void* context);
void IOHIDManagerScheduleWithRunLoop(const IOHIDManagerRef& manager, CFRunLoopRef runLoop,
                                     CFRunLoopMode mode);
void IOHIDManagerUnscheduleFromRunLoop(const IOHIDManagerRef& manager, CFRunLoopRef runLoop,
                                       CFRunLoopMode mode);
// Starts reporting; the devices present are reported from the run loop.
IOReturn IOHIDManagerOpen(const IOHIDManagerRef& manager, IOOptionBits options);
// Stops reporting and drops the reports not yet delivered.
IOReturn IOHIDManagerClose(const IOHIDManagerRef& manager, IOOptionBits options);

// Where devices come from: the simulation's plug and unplug, or udev. The
// base keeps the listeners and tells them when the backend goes away.
class HIDDeviceBackend {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void DeviceArrived(const HIDDevice& device) = 0;
        virtual void DeviceRemoved(const HIDDevice& device) = 0;
        virtual void BackendGone() = 0;
    };
    HIDDeviceBackend() = default;
    HIDDeviceBackend(const HIDDeviceBackend&) = delete;
    HIDDeviceBackend& operator=(const HIDDeviceBackend&) = delete;
    virtual ~HIDDeviceBackend();
    virtual std::vector<HIDDevice> PresentDevices() const = 0;
    void AddListener(Listener* listener);
    void RemoveListener(Listener* listener);

protected:
    void NotifyArrived(const HIDDevice& device);
    void NotifyRemoved(const HIDDevice& device);

private:
    std::vector<Listener*> fListeners;
};

// Installs the backend; returns the previous one. Managers created earlier
// keep listening to the backend they were opened on until closed.
std::unique_ptr<HIDDeviceBackend> InstallHIDDeviceBackend(
    std::unique_ptr<HIDDeviceBackend> backend);

}  // namespace platform
