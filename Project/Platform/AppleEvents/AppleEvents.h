#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "ProcessManager.h"

namespace platform {

// Requests sent to another application: an event class and identifier
// addressed to a process.

using DescType = std::uint32_t;
using AEEventClass = std::uint32_t;
using AEEventID = std::uint32_t;
using AEReturnID = std::int16_t;
using AETransactionID = std::int32_t;
using AESendMode = std::int32_t;
using AESendPriority = std::int16_t;

// The four-character code of text such as "aevt".
constexpr std::uint32_t FourCharCode(std::string_view code) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = (value << 8) | static_cast<unsigned char>(i < code.size() ? code[i] : ' ');
    }
    return value;
}

inline constexpr DescType typeProcessSerialNumber = FourCharCode("psn ");
inline constexpr AEEventClass kCoreEventClass = FourCharCode("aevt");
inline constexpr AEEventID kAERestart = FourCharCode("rest");

inline constexpr AEReturnID kAutoGenerateReturnID = -1;
inline constexpr AETransactionID kAnyTransactionID = 0;
inline constexpr AESendMode kAENoReply = 1;
inline constexpr AESendPriority kAENormalPriority = 0;

inline constexpr OSErr connectionInvalid = -609;
inline constexpr OSErr errAEEventNotHandled = -1708;
inline constexpr OSErr errAETimeout = -1712;
inline constexpr OSErr errAEEventFailed = -10000;
inline constexpr OSErr errAEPrivilegeError = -10004;

struct AEDesc {
    DescType descriptorType = 0;
    std::vector<std::uint8_t> data;
};
using AEAddressDesc = AEDesc;

struct AppleEvent {
    AEEventClass eventClass = 0;
    AEEventID eventID = 0;
    AEAddressDesc target;
    AEReturnID returnID = kAutoGenerateReturnID;
    AETransactionID transactionID = kAnyTransactionID;
};

OSErr AECreateDesc(DescType typeCode, const void* dataPtr, std::size_t dataSize, AEDesc* result);
OSErr AECreateAppleEvent(AEEventClass theAEEventClass, AEEventID theAEEventID,
                         const AEAddressDesc* target, AEReturnID returnID,
                         AETransactionID transactionID, AppleEvent* result);
// Delivers the event; timeOutInTicks counts sixtieths of a second.
OSErr AESend(const AppleEvent& theAppleEvent, AESendMode sendMode, AESendPriority sendPriority,
             long timeOutInTicks);

class AppleEventBackend {
public:
    virtual ~AppleEventBackend() = default;
    virtual OSErr Send(const AppleEvent& event, AESendMode sendMode, AESendPriority sendPriority,
                       long timeOutInTicks) = 0;
};

// Replaces the backend; returns the previous one. The default is the Linux one.
std::unique_ptr<AppleEventBackend> InstallAppleEventBackend(
    std::unique_ptr<AppleEventBackend> backend);

}  // namespace platform
