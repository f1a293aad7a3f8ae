#pragma once

#include "OSObject.h"

// A truth value. Unlike a number, code that reads numbers does not accept it.
class OSBoolean : public OSObject {
    OSDeclareDefaultStructors(OSBoolean);

public:
    OSBoolean() = default;
    static OSBoolean* withBoolean(bool value);

    bool isTrue() const { return fValue; }
    bool isFalse() const { return !fValue; }
    bool getValue() const { return fValue; }

private:
    bool fValue = false;
};
