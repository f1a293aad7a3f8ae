#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "OSObject.h"

// A collection of objects by string key, in insertion order. The dictionary
// retains what it holds and releases it when the entry is replaced or removed
// or the dictionary is freed.
class OSDictionary : public OSObject {
    OSDeclareDefaultStructors(OSDictionary);

public:
    OSDictionary() = default;
    static OSDictionary* withCapacity(unsigned capacity);
    // A new dictionary holding the same objects (a shallow copy); an empty one for null.
    static OSDictionary* withDictionary(const OSDictionary* source);

    unsigned getCount() const { return static_cast<unsigned>(fEntries.size()); }
    // The object under key, not retained for the caller; null when missing.
    OSObject* getObject(std::string_view key) const;
    // Adds or replaces; false (and nothing changed) for a null object.
    bool setObject(std::string_view key, OSObject* object);
    // Adds or replaces with a new number of that width.
    void setNumber(std::string_view key, std::uint64_t value, unsigned numberOfBits);
    void removeObject(std::string_view key);

    // Iteration in insertion order, index below getCount().
    const char* getKeyAt(unsigned index) const { return fEntries[index].first.c_str(); }
    OSObject* getObjectAt(unsigned index) const { return fEntries[index].second; }

protected:
    ~OSDictionary() override;

private:
    std::vector<std::pair<std::string, OSObject*>> fEntries;
};
