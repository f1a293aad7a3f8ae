#pragma once

#include <cstdint>

// Scalar types and status codes of the kernel stand-ins. The user side
// shares the status codes and message types, as both sides of IOKit do.

using IOReturn = std::int32_t;
using IOOptionBits = std::uint32_t;

inline constexpr IOReturn kIOReturnSuccess = 0;
inline constexpr IOReturn kIOReturnError = static_cast<IOReturn>(0xe00002bcU);
inline constexpr IOReturn kIOReturnNoMemory = static_cast<IOReturn>(0xe00002bdU);
inline constexpr IOReturn kIOReturnNoDevice = static_cast<IOReturn>(0xe00002c0U);
inline constexpr IOReturn kIOReturnBadArgument = static_cast<IOReturn>(0xe00002c2U);
inline constexpr IOReturn kIOReturnUnsupported = static_cast<IOReturn>(0xe00002c7U);
inline constexpr IOReturn kIOReturnNotOpen = static_cast<IOReturn>(0xe00002cdU);
inline constexpr IOReturn kIOReturnNotAttached = static_cast<IOReturn>(0xe00002d9U);
inline constexpr IOReturn kIOReturnNotPermitted = static_cast<IOReturn>(0xe00002e2U);
inline constexpr IOReturn kIOReturnNotFound = static_cast<IOReturn>(0xe00002f0U);

// Sent by the platform to a service's interest clients when the service goes away.
inline constexpr std::uint32_t kIOMessageServiceIsTerminated = 0xe0000010U;

// The interest type of the messages a service sends with messageClients.
inline constexpr const char* kIOGeneralInterest = "IOGeneralInterest";

// A 64-bit event timestamp in two halves.
struct UnsignedWide {
    std::uint32_t hi = 0;
    std::uint32_t lo = 0;

    friend bool operator==(const UnsignedWide&, const UnsignedWide&) = default;
};

// The rectangle an absolute pointing device reports in.
struct IOGBounds {
    std::int16_t minx = 0;
    std::int16_t maxx = 0;
    std::int16_t miny = 0;
    std::int16_t maxy = 0;

    friend bool operator==(const IOGBounds&, const IOGBounds&) = default;
};
