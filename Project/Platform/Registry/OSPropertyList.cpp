#include "OSPropertyList.h"

#include <cstdint>
#include <limits>

#include "OSArray.h"
#include "OSBoolean.h"
#include "OSDictionary.h"
#include "OSNumber.h"
#include "OSString.h"

namespace platform {
namespace {

// Deeper nesting is not a property list anyone sends; it also bounds the
// recursion on hostile (self-containing) collections.
constexpr int kMaxDepth = 32;

OSObject* Convert(const PropertyList& value, int depth);

OSObject* ConvertDictionary(const PropertyList::Dictionary& entries, int depth) {
    OSDictionary* dictionary = OSDictionary::withCapacity(static_cast<unsigned>(entries.size()));
    for (const auto& [key, entry] : entries) {
        OSObject* object = Convert(entry, depth + 1);
        if (object == nullptr) {
            dictionary->release();
            return nullptr;
        }
        dictionary->setObject(key, object);
        object->release();
    }
    return dictionary;
}

OSObject* ConvertArray(const PropertyList::Array& entries, int depth) {
    OSArray* array = OSArray::withCapacity(static_cast<unsigned>(entries.size()));
    for (const PropertyList& entry : entries) {
        OSObject* object = Convert(entry, depth + 1);
        if (object == nullptr) {
            array->release();
            return nullptr;
        }
        array->setObject(object);
        object->release();
    }
    return array;
}

OSObject* Convert(const PropertyList& value, int depth) {
    if (depth > kMaxDepth) {
        return nullptr;
    }
    switch (value.GetKind()) {
        case PropertyList::Kind::Dictionary:
            return ConvertDictionary(*value.AsDictionary(), depth);
        case PropertyList::Kind::Array:
            return ConvertArray(*value.AsArray(), depth);
        case PropertyList::Kind::String:
            return OSString::withCString(*value.AsString());
        case PropertyList::Kind::Integer: {
            std::int64_t number = *value.AsInteger();
            bool fits32 = number >= std::numeric_limits<std::int32_t>::min() &&
                          number <= std::numeric_limits<std::int32_t>::max();
            return OSNumber::withNumber(static_cast<std::uint64_t>(number), fits32 ? 32 : 64);
        }
        case PropertyList::Kind::Boolean:
            return OSBoolean::withBoolean(*value.AsBoolean());
        case PropertyList::Kind::Real:
            return nullptr;
    }
    return nullptr;
}

std::int64_t SignedValue(const OSNumber& number) {
    unsigned bits = number.numberOfBits();
    std::uint64_t value = number.unsigned64BitValue();
    if (bits >= 64 || bits == 0) {
        return static_cast<std::int64_t>(value);
    }
    std::uint64_t signBit = std::uint64_t{1} << (bits - 1);
    value &= (signBit << 1) - 1;
    return static_cast<std::int64_t>(value ^ signBit) - static_cast<std::int64_t>(signBit);
}

std::optional<PropertyList> Read(const OSObject* object, int depth) {
    if (object == nullptr || depth > kMaxDepth) {
        return std::nullopt;
    }
    if (const auto* dictionary = OSDynamicCast(OSDictionary, object)) {
        PropertyList::Dictionary entries;
        for (unsigned i = 0; i < dictionary->getCount(); ++i) {
            if (auto entry = Read(dictionary->getObjectAt(i), depth + 1)) {
                entries.insert_or_assign(dictionary->getKeyAt(i), std::move(*entry));
            }
        }
        return PropertyList(std::move(entries));
    }
    if (const auto* array = OSDynamicCast(OSArray, object)) {
        PropertyList::Array entries;
        for (unsigned i = 0; i < array->getCount(); ++i) {
            if (auto entry = Read(array->getObject(i), depth + 1)) {
                entries.push_back(std::move(*entry));
            }
        }
        return PropertyList(std::move(entries));
    }
    if (const auto* text = OSDynamicCast(OSString, object)) {
        return PropertyList(std::string(text->getCStringNoCopy(), text->getLength()));
    }
    if (const auto* number = OSDynamicCast(OSNumber, object)) {
        return PropertyList::MakeInteger(SignedValue(*number));
    }
    if (const auto* boolean = OSDynamicCast(OSBoolean, object)) {
        return PropertyList::MakeBoolean(boolean->getValue());
    }
    return std::nullopt;
}

}  // namespace

OSObject* CreateOSObject(const PropertyList& value) {
    return Convert(value, 0);
}

std::optional<PropertyList> CreatePropertyList(const OSObject* object) {
    return Read(object, 0);
}

}  // namespace platform
