#pragma once

#include <cstdint>

#include "OSObject.h"

// An integer of 8, 16, 32 or 64 bits. The value is kept masked to its width;
// the signed views reinterpret the kept bits without sign extension from a
// narrower width, as the kernel's numbers do.
class OSNumber : public OSObject {
    OSDeclareDefaultStructors(OSNumber);

public:
    OSNumber() = default;
    // numberOfBits outside 1..64 is taken as 64.
    static OSNumber* withNumber(std::uint64_t value, unsigned numberOfBits);

    unsigned numberOfBits() const { return fNumberOfBits; }
    std::uint8_t unsigned8BitValue() const { return static_cast<std::uint8_t>(fValue); }
    std::uint16_t unsigned16BitValue() const { return static_cast<std::uint16_t>(fValue); }
    std::uint32_t unsigned32BitValue() const { return static_cast<std::uint32_t>(fValue); }
    std::uint64_t unsigned64BitValue() const { return fValue; }
    std::int32_t signed32BitValue() const { return static_cast<std::int32_t>(fValue); }
    std::int64_t signed64BitValue() const { return static_cast<std::int64_t>(fValue); }

private:
    std::uint64_t fValue = 0;
    unsigned fNumberOfBits = 64;
};
