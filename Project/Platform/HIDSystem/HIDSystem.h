#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "IOKitTypes.h"
#include "VirtualKeyCodes.h"

namespace platform {

// Event types of the system event stream.
inline constexpr std::uint32_t NX_LMOUSEDOWN = 1;
inline constexpr std::uint32_t NX_LMOUSEUP = 2;
inline constexpr std::uint32_t NX_RMOUSEDOWN = 3;
inline constexpr std::uint32_t NX_RMOUSEUP = 4;
inline constexpr std::uint32_t NX_MOUSEMOVED = 5;
inline constexpr std::uint32_t NX_KEYDOWN = 10;
inline constexpr std::uint32_t NX_KEYUP = 11;
inline constexpr std::uint32_t NX_FLAGSCHANGED = 12;

// Modifier flag bits.
inline constexpr std::uint32_t NX_SHIFTMASK = kModifierFlagShift;
inline constexpr std::uint32_t NX_CONTROLMASK = kModifierFlagControl;
inline constexpr std::uint32_t NX_ALTERNATEMASK = kModifierFlagOption;
inline constexpr std::uint32_t NX_COMMANDMASK = kModifierFlagCommand;
inline constexpr std::uint32_t NX_SECONDARYFNMASK = kModifierFlagFunction;

// Post option: the event's flags become the global modifier state.
inline constexpr IOOptionBits kIOHIDSetGlobalEventFlags = 1;
inline constexpr std::uint32_t kNXEventDataVersion = 2;

struct IOGPoint {
    std::int16_t x = 0;
    std::int16_t y = 0;
    bool operator==(const IOGPoint&) const = default;
};

// The event data record. Both sub-records are kept side by side (not
// overlaid) so that an all-zero record is simply value-initialised.
struct NXEventData {
    struct Mouse {
        std::uint8_t subx = 0;
        std::uint8_t suby = 0;
        std::int16_t eventNum = 0;
        std::int32_t click = 0;  // click count of the click state
        std::uint8_t pressure = 0;
        std::uint8_t buttonNumber = 0;
        std::uint8_t subType = 0;
        bool operator==(const Mouse&) const = default;
    } mouse;
    struct Key {
        std::uint16_t origCharSet = 0;
        std::int16_t repeat = 0;
        std::uint16_t charSet = 0;
        std::uint16_t charCode = 0;
        std::uint16_t keyCode = 0;  // virtual key code
        std::uint16_t origCharCode = 0;
        std::uint32_t keyboardType = 0;
        bool operator==(const Key&) const = default;
    } key;
    bool operator==(const NXEventData&) const = default;
};

// One IOHIDPostEvent call, as made.
struct HIDPostedEvent {
    std::uint32_t eventType = 0;
    IOGPoint location;
    NXEventData eventData;
    std::uint32_t eventDataVersion = 0;
    IOOptionBits eventFlags = 0;
    IOOptionBits options = 0;
    bool operator==(const HIDPostedEvent&) const = default;
};

inline constexpr std::string_view kIOHIDMouseAccelerationType = "HIDMouseAcceleration";
inline constexpr std::string_view kIOHIDMouseScrollAccelerationType = "HIDMouseScrollAcceleration";

// Injects one event into the system event stream, in posting order. Needs an
// open parameter connection (kIOHIDParamConnectType) to "IOHIDSystem".
kern_return_t IOHIDPostEvent(io_connect_t connect, std::uint32_t eventType, IOGPoint location,
                             const NXEventData* eventData, std::uint32_t eventDataVersion,
                             IOOptionBits eventFlags, IOOptionBits options);
// Sets a system HID parameter such as "HIDMouseAcceleration".
kern_return_t IOHIDSetAccelerationWithKey(io_connect_t connect, std::string_view key,
                                          double acceleration);

// Where the events and parameters go once the connection was checked.
class HIDSystemBackend {
public:
    virtual ~HIDSystemBackend() = default;
    virtual IOReturn PostEvent(const HIDPostedEvent& event) = 0;
    virtual IOReturn SetAcceleration(std::string_view key, double acceleration) = 0;
};

// Installs the backend; returns the previous one (none by default: the calls
// then fail with kIOReturnNotAttached).
std::unique_ptr<HIDSystemBackend> InstallHIDSystemBackend(
    std::unique_ptr<HIDSystemBackend> backend);

}  // namespace platform
