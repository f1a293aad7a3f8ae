#pragma once

#include <string>
#include <string_view>

#include "OSObject.h"

// An immutable string.
class OSString : public OSObject {
    OSDeclareDefaultStructors(OSString);

public:
    OSString() = default;
    static OSString* withCString(std::string_view text);

    const char* getCStringNoCopy() const { return fText.c_str(); }
    unsigned getLength() const { return static_cast<unsigned>(fText.size()); }
    bool isEqualTo(std::string_view text) const { return fText == text; }

private:
    std::string fText;
};
