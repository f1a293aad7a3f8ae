#pragma once

#include <cstdint>

#include "IOTypes.h"

namespace platform {

// User-side handles are 32-bit names in the program's own name space.
using kern_return_t = std::int32_t;
using ::IOOptionBits;
using ::IOReturn;
using natural_t = std::uint32_t;
using mach_port_t = std::uint32_t;
using task_port_t = mach_port_t;
using io_object_t = mach_port_t;
using io_service_t = io_object_t;
using io_iterator_t = io_object_t;
using io_registry_entry_t = io_object_t;
using io_connect_t = io_object_t;

inline constexpr mach_port_t MACH_PORT_NULL = 0;
inline constexpr mach_port_t kIOMasterPortDefault = 0;
inline constexpr mach_port_t bootstrap_port = 0;

inline constexpr kern_return_t KERN_SUCCESS = 0;
// A handle that names nothing (never issued, or already released).
inline constexpr kern_return_t MACH_SEND_INVALID_DEST = 0x10000003;

// Status codes and the platform's own service messages, shared with the kernel side.
using ::kIOMessageServiceIsTerminated;
using ::kIOReturnBadArgument;
using ::kIOReturnError;
using ::kIOReturnNoDevice;
using ::kIOReturnNoMemory;
using ::kIOReturnNotAttached;
using ::kIOReturnNotFound;
using ::kIOReturnNotOpen;
using ::kIOReturnNotPermitted;
using ::kIOReturnSuccess;
using ::kIOReturnUnsupported;

// Connection type of the HID system's parameter connection.
inline constexpr std::uint32_t kIOHIDParamConnectType = 1;

// The agent's own task, for IOServiceOpen.
task_port_t mach_task_self();

}  // namespace platform
