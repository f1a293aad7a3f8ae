#include "AppleEvents.h"

#include <utility>

#include "LinuxAppleEvents.h"

namespace platform {
namespace {

std::unique_ptr<AppleEventBackend>& Current() {
    static std::unique_ptr<AppleEventBackend> backend = std::make_unique<LinuxAppleEventBackend>();
    return backend;
}

}  // namespace

OSErr AECreateDesc(DescType typeCode, const void* dataPtr, std::size_t dataSize, AEDesc* result) {
    if (result == nullptr || (dataPtr == nullptr && dataSize != 0)) return paramErr;
    const auto* bytes = static_cast<const std::uint8_t*>(dataPtr);
    *result = {typeCode, std::vector<std::uint8_t>(bytes, bytes + dataSize)};
    return noErr;
}

OSErr AECreateAppleEvent(AEEventClass theAEEventClass, AEEventID theAEEventID,
                         const AEAddressDesc* target, AEReturnID returnID,
                         AETransactionID transactionID, AppleEvent* result) {
    if (target == nullptr || result == nullptr) return paramErr;
    *result = {theAEEventClass, theAEEventID, *target, returnID, transactionID};
    return noErr;
}

OSErr AESend(const AppleEvent& theAppleEvent, AESendMode sendMode, AESendPriority sendPriority,
             long timeOutInTicks) {
    return Current()->Send(theAppleEvent, sendMode, sendPriority, timeOutInTicks);
}

std::unique_ptr<AppleEventBackend> InstallAppleEventBackend(
    std::unique_ptr<AppleEventBackend> backend) {
    return std::exchange(Current(), std::move(backend));
}

}  // namespace platform
