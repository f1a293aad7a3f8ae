#pragma once

#include <linux/input.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace platform {

// Collects the events of one frame and writes them, closed by SYN_REPORT, in
// a single write to a virtual device's descriptor (uinput, or a socket in
// tests). Allocation-free; a frame longer than the buffer is flushed early.
class EventWriter {
public:
    explicit EventWriter(int descriptor) : fDescriptor(descriptor) {}

    void Add(std::uint16_t type, std::uint16_t code, std::int32_t value);
    // Ends the frame; writes nothing when the frame is empty.
    void Flush();
    // Presses or releases every key of the bit set; bit n is code first + n.
    void AddKeyChanges(std::uint16_t first, std::uint32_t from, std::uint32_t to);
    int Descriptor() const { return fDescriptor; }

private:
    void Write(std::size_t count);

    int fDescriptor;
    std::array<input_event, 16> fBuffer{};
    std::size_t fCount = 0;
};

}  // namespace platform
