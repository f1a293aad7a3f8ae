#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "HostMessageQueue.h"
#include "IOTypes.h"
#include "OrvandelDriver.h"

namespace platform {

using MessageKinds = std::vector<std::pair<HostMessage::Kind, std::uint32_t>>;

inline MessageKinds KindsOf(const std::vector<HostMessage>& messages) {
    MessageKinds kinds;
    for (const HostMessage& message : messages) {
        kinds.emplace_back(message.kind, message.type);
    }
    return kinds;
}

// What the bus side hears of an instance that ends while a button is down.
inline const MessageKinds kLifeEndingMidPress = {
    {HostMessage::Kind::Added, 0},
    {HostMessage::Kind::Message, com_halvorin_OrvandelDriver::kMessageAllButtonsReleased},
    {HostMessage::Kind::Message, kIOMessageServiceIsTerminated},
    {HostMessage::Kind::Removed, 0}};

}  // namespace platform
