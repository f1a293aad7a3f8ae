#include "EventWriter.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

void EventWriter::Add(std::uint16_t type, std::uint16_t code, std::int32_t value) {
    if (fCount == fBuffer.size() - 1) {
        // Keeps room for the closing SYN_REPORT.
        Write(fCount);
    }
    input_event& event = fBuffer[fCount++];
    event.type = type;
    event.code = code;
    event.value = value;
}

void EventWriter::AddKeyChanges(std::uint16_t first, std::uint32_t from, std::uint32_t to) {
    for (std::uint32_t changed = from ^ to; changed != 0; changed &= changed - 1) {
        const int bit = __builtin_ctz(changed);
        Add(EV_KEY, static_cast<std::uint16_t>(first + bit), (to >> bit) & 1U);
    }
}

void EventWriter::Flush() {
    if (fCount == 0) {
        return;
    }
    input_event& report = fBuffer[fCount++];
    report.type = EV_SYN;
    report.code = SYN_REPORT;
    report.value = 0;
    Write(fCount);
}

void EventWriter::Write(std::size_t count) {
    const auto* bytes = reinterpret_cast<const char*>(fBuffer.data());
    std::size_t left = count * sizeof(input_event);
    // A virtual device takes whole events; a full socket or a gone device
    // loses the frame rather than stalling the event path.
    while (left > 0) {
        const ssize_t written = write(fDescriptor, bytes, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            break;
        }
        bytes += written;
        left -= static_cast<std::size_t>(written);
    }
    fCount = 0;
}

}  // namespace platform
