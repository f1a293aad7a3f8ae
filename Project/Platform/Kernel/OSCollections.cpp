#include <algorithm>

#include "OSArray.h"
#include "OSBoolean.h"
#include "OSDictionary.h"
#include "OSNumber.h"
#include "OSString.h"

OSDefineMetaClassAndStructors(OSString, OSObject);
OSDefineMetaClassAndStructors(OSNumber, OSObject);
OSDefineMetaClassAndStructors(OSBoolean, OSObject);
OSDefineMetaClassAndStructors(OSArray, OSObject);
OSDefineMetaClassAndStructors(OSDictionary, OSObject);

OSString* OSString::withCString(std::string_view text) {
    auto* string = new OSString;
    string->fText = text;
    return string;
}

OSNumber* OSNumber::withNumber(std::uint64_t value, unsigned numberOfBits) {
    auto* number = new OSNumber;
    number->fNumberOfBits = (numberOfBits >= 1 && numberOfBits <= 64) ? numberOfBits : 64;
    number->fValue = number->fNumberOfBits == 64
                         ? value
                         : value & ((std::uint64_t{1} << number->fNumberOfBits) - 1);
    return number;
}

OSBoolean* OSBoolean::withBoolean(bool value) {
    auto* boolean = new OSBoolean;
    boolean->fValue = value;
    return boolean;
}

OSArray* OSArray::withCapacity(unsigned capacity) {
    auto* array = new OSArray;
    array->fObjects.reserve(capacity);
    return array;
}

OSArray* OSArray::withNumbers(std::span<const std::uint32_t> values) {
    OSArray* array = withCapacity(static_cast<unsigned>(values.size()));
    for (std::uint32_t value : values) {
        OSNumber* number = OSNumber::withNumber(value, 32);
        array->setObject(number);
        number->release();
    }
    return array;
}

OSArray::~OSArray() {
    for (OSObject* object : fObjects) {
        object->release();
    }
}

OSObject* OSArray::getObject(unsigned index) const {
    return index < fObjects.size() ? fObjects[index] : nullptr;
}

bool OSArray::setObject(OSObject* object) {
    if (object == nullptr) {
        return false;
    }
    object->retain();
    fObjects.push_back(object);
    return true;
}

void OSArray::removeObject(unsigned index) {
    if (index < fObjects.size()) {
        fObjects[index]->release();
        fObjects.erase(fObjects.begin() + index);
    }
}

OSDictionary* OSDictionary::withCapacity(unsigned capacity) {
    auto* dictionary = new OSDictionary;
    dictionary->fEntries.reserve(capacity);
    return dictionary;
}

OSDictionary* OSDictionary::withDictionary(const OSDictionary* source) {
    OSDictionary* dictionary = withCapacity(source == nullptr ? 0 : source->getCount());
    if (source != nullptr) {
        for (const auto& [key, object] : source->fEntries) {
            dictionary->setObject(key, object);
        }
    }
    return dictionary;
}

OSDictionary::~OSDictionary() {
    for (auto& entry : fEntries) {
        entry.second->release();
    }
}

OSObject* OSDictionary::getObject(std::string_view key) const {
    auto found = std::find_if(fEntries.begin(), fEntries.end(),
                              [&](const auto& entry) { return entry.first == key; });
    return found == fEntries.end() ? nullptr : found->second;
}

bool OSDictionary::setObject(std::string_view key, OSObject* object) {
    if (object == nullptr) {
        return false;
    }
    object->retain();
    auto found = std::find_if(fEntries.begin(), fEntries.end(),
                              [&](const auto& entry) { return entry.first == key; });
    if (found == fEntries.end()) {
        fEntries.emplace_back(std::string(key), object);
    } else {
        found->second->release();
        found->second = object;
    }
    return true;
}

void OSDictionary::setNumber(std::string_view key, std::uint64_t value, unsigned numberOfBits) {
    OSNumber* number = OSNumber::withNumber(value, numberOfBits);
    setObject(key, number);
    number->release();
}

void OSDictionary::removeObject(std::string_view key) {
    auto found = std::find_if(fEntries.begin(), fEntries.end(),
                              [&](const auto& entry) { return entry.first == key; });
    if (found != fEntries.end()) {
        found->second->release();
        fEntries.erase(found);
    }
}
