#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <string>

#include "HIDSystem.h"
#include "SimulatedMachine.h"

namespace platform {
namespace {

template <typename... Arguments>
std::string Format(const char* format, Arguments... arguments) {
    char buffer[256];
    int length = std::snprintf(buffer, sizeof buffer, format, arguments...);
    return std::string(
        buffer, static_cast<std::size_t>(std::max(0, std::min<int>(length, sizeof buffer - 1))));
}

// Newlines would break the one-line format.
std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            line += "\\n";
        } else {
            line += c;
        }
    }
    while (line.size() >= 2 && line.ends_with("\\n")) {
        line.resize(line.size() - 2);
    }
    return line;
}

std::string Describe(const MouseChange& change) {
    static constexpr const char* kWords[] = {"plug", "unplug", "driver-start", "driver-stop"};
    return Format("%s mouse=%" PRIu64 " vendor=%" PRId32 " product=%" PRId32,
                  kWords[static_cast<int>(change.change)], change.mouse, change.vendorId,
                  change.productId);
}

std::string Describe(const DriverMessage& message) {
    return Format("message mouse=%" PRIu64 " type=0x%" PRIx32, message.mouse, message.messageType);
}

std::string DescribePosted(const SystemEvent& event) {
    switch (event.type) {
        case NX_KEYDOWN:
        case NX_KEYUP:
            return Format("%s key=%u flags=0x%" PRIx64 " version=%" PRIu32 " options=%" PRIu32
                          " posted",
                          event.type == NX_KEYDOWN ? "key-down" : "key-up", event.keyCode,
                          event.flags, event.eventDataVersion, event.options);
        case NX_FLAGSCHANGED:
            return Format("flags-changed flags=0x%" PRIx64 " version=%" PRIu32 " options=%" PRIu32
                          " posted",
                          event.flags, event.eventDataVersion, event.options);
        case NX_LMOUSEDOWN:
        case NX_LMOUSEUP:
            return Format("%s x=%d y=%d click=%" PRId32 " flags=0x%" PRIx64 " version=%" PRIu32
                          " options=%" PRIu32 " posted",
                          event.type == NX_LMOUSEDOWN ? "mouse-down" : "mouse-up", event.x, event.y,
                          event.click, event.flags, event.eventDataVersion, event.options);
        default:
            return Format("event type=%" PRIu32 " key=%u x=%d y=%d flags=0x%" PRIx64
                          " version=%" PRIu32 " options=%" PRIu32 " posted",
                          event.type, event.keyCode, event.x, event.y, event.flags,
                          event.eventDataVersion, event.options);
    }
}

std::string Describe(const SystemEvent& event) {
    using Origin = SimulatedEventStream::Origin;
    switch (event.origin) {
        case Origin::Pointer:
            return Format("%s mouse=%" PRIu64 " %s=%" PRId32 " %s=%" PRId32 " buttons=0x%02" PRIx32,
                          event.absolute ? "position" : "pointer", event.mouse,
                          event.absolute ? "x" : "dx", event.delta1, event.absolute ? "y" : "dy",
                          event.delta2, event.buttons);
        case Origin::Scroll:
            return Format("scroll mouse=%" PRIu64 " d1=%" PRId32 " d2=%" PRId32 " d3=%" PRId32,
                          event.mouse, event.delta1, event.delta2, event.delta3);
        case Origin::Posted:
            return DescribePosted(event);
        case Origin::Keyboard:
            break;
    }
    const char* word = event.type == NX_KEYDOWN ? "key-down"
                       : event.type == NX_KEYUP ? "key-up"
                                                : "flags-changed";
    return Format("%s key=%u flags=0x%" PRIx64 " keyboard", word, event.keyCode, event.flags);
}

std::string Describe(const HIDAcceleration& acceleration) {
    return "acceleration " + acceleration.key + Format("=%g", acceleration.value);
}

std::string Describe(const DistributedNotification& notification) {
    return "notification name=" + notification.name +
           " object=" + (notification.object ? *notification.object : std::string("-")) +
           " userInfo=" + (notification.userInfo ? notification.userInfo->Describe() : "-") +
           " immediate=" + (notification.deliverImmediately ? "yes" : "no");
}

std::string Describe(const PowerEvent& power) {
    return Format("%s message=0x%" PRIx32, power.acknowledged ? "power-ack" : "power",
                  power.messageType);
}

std::string Describe(const SessionEvent& session) {
    return session.active ? "session active" : "session inactive";
}

std::string Describe(const SignalEvent& signal) {
    return Format("signal %d", signal.signalNumber);
}

std::string Describe(const ProcessExit& exit) {
    return Format("exit status=%d", exit.status);
}

std::string Describe(const TapTimeout&) {
    return "tap-timeout";
}

std::string Describe(const LogLine& line) {
    return (line.standardError ? "stderr " : "syslog ") + OneLine(line.text);
}

}  // namespace

std::string FormatMachineEvent(const MachineEvent& event) {
    return Format("%.3f ", event.time) +
           std::visit([](const auto& detail) { return Describe(detail); }, event.detail);
}

}  // namespace platform
