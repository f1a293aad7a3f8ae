#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "IOKitTypes.h"
#include "PropertyList.h"
#include "RunLoop.h"

namespace platform {

// Master port of the registry (the default one always works).
kern_return_t IOMasterPort(mach_port_t bootstrapPort, mach_port_t* masterPort);

// A matching dictionary {"IOProviderClass": className}; none for an empty
// or unusable name.
std::optional<PropertyList> IOServiceMatching(std::string_view className);
// Iterator over the live services of the dictionary's "IOProviderClass", in
// registration order. An empty iterator when there are none.
kern_return_t IOServiceGetMatchingServices(mach_port_t masterPort, const PropertyList& matching,
                                           io_iterator_t* existing);
// The iterator's next service with one reference for the caller; 0 at the end.
io_object_t IOIteratorNext(io_iterator_t iterator);
// Drops one reference of any handle.
kern_return_t IOObjectRelease(io_object_t object);
// Adds one reference.
kern_return_t IOObjectRetain(io_object_t object);

// The entry's registry properties as a dictionary. Fails for 0, released or
// gone entries (and then leaves `properties` untouched).
kern_return_t IORegistryEntryCreateCFProperties(io_registry_entry_t entry, PropertyList* properties,
                                                CFAllocatorRef allocator, IOOptionBits options);
// Hands the properties to the entry's property intake (the driver instance's
// setProperties) before returning; returns what the intake returned.
kern_return_t IORegistryEntrySetCFProperties(io_registry_entry_t entry,
                                             const PropertyList& properties);

// A port that carries notifications to the run loop: each message becomes one
// work item of its run loop source.
class IONotificationPort;
using IONotificationPortRef = IONotificationPort*;
IONotificationPortRef IONotificationPortCreate(mach_port_t masterPort);
CFRunLoopSourceRef IONotificationPortGetRunLoopSource(IONotificationPortRef notify);
// Destroys the port: pending messages are dropped, notifications on it stop.
void IONotificationPortDestroy(IONotificationPortRef notify);

inline constexpr std::string_view kIOGeneralInterest = "IOGeneralInterest";
using IOServiceInterestCallback = void (*)(void* refCon, io_service_t service,
                                           natural_t messageType, void* messageArgument);
// Delivers every message the service sends to its clients (and the
// platform's own, such as kIOMessageServiceIsTerminated) through the port.
// Releasing `notification` stops delivery, also of messages already queued.
kern_return_t IOServiceAddInterestNotification(IONotificationPortRef notifyPort,
                                               io_service_t service, std::string_view interestType,
                                               IOServiceInterestCallback callback, void* refCon,
                                               io_object_t* notification);

// Opens a user client connection of the given type to the service.
kern_return_t IOServiceOpen(io_service_t service, task_port_t owningTask, std::uint32_t type,
                            io_connect_t* connect);
// Closes the connection and drops the caller's reference to its handle.
kern_return_t IOServiceClose(io_connect_t connect);

}  // namespace platform
