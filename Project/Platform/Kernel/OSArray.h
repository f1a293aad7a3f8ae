#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "OSObject.h"

// An ordered collection of objects. The array retains what it holds and
// releases it when the object is removed or the array is freed.
class OSArray : public OSObject {
    OSDeclareDefaultStructors(OSArray);

public:
    OSArray() = default;
    static OSArray* withCapacity(unsigned capacity);
    // A new array of 32-bit numbers.
    static OSArray* withNumbers(std::span<const std::uint32_t> values);

    unsigned getCount() const { return static_cast<unsigned>(fObjects.size()); }
    // The object at index, not retained for the caller; null beyond the end.
    OSObject* getObject(unsigned index) const;
    // Appends; false (and nothing added) for null.
    bool setObject(OSObject* object);
    void removeObject(unsigned index);

protected:
    ~OSArray() override;

private:
    std::vector<OSObject*> fObjects;
};
