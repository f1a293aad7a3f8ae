#include "BusPropertyList.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace platform {
namespace {

constexpr std::string_view kTooDeep = "nested too deep";
constexpr std::string_view kTooManyElements = "too many elements in a container";
constexpr std::string_view kTooManyValues = "too many values";
constexpr std::string_view kStringTooLong = "string too long";

// Counts what a value spends of the bounds; shared by writing and reading so
// that the two agree on every edge.
class Budget {
public:
    std::string_view SpendValue() {
        return ++fValues > kBusPropertyListMaxValues ? kTooManyValues : std::string_view();
    }
    static std::string_view CheckDepth(int depth) {
        return depth > kBusPropertyListMaxDepth ? kTooDeep : std::string_view();
    }
    static std::string_view CheckElements(std::size_t count) {
        return count > kBusPropertyListMaxElements ? kTooManyElements : std::string_view();
    }
    static std::string_view CheckString(std::size_t bytes) {
        return bytes > kBusPropertyListMaxStringBytes ? kStringTooLong : std::string_view();
    }

private:
    std::size_t fValues = 0;
};

class Writer {
public:
    explicit Writer(sd_bus_message* message) : fMessage(message) {}

    // `depth`: containers around the value.
    int Variant(const PropertyList& value, int depth) {
        int r = sd_bus_message_open_container(fMessage, 'v', Signature(value));
        if (r < 0) return r;
        r = Value(value, depth);
        return r < 0 ? r : sd_bus_message_close_container(fMessage);
    }

    // A bare dictionary counts as a value, as it does when read back.
    int Contents(const PropertyList::Dictionary& dictionary) {
        return fBudget.SpendValue().empty() ? Dictionary(dictionary, 0) : -E2BIG;
    }

    int Dictionary(const PropertyList::Dictionary& dictionary, int depth) {
        if (!Budget::CheckDepth(depth + 1).empty() ||
            !Budget::CheckElements(dictionary.size()).empty()) {
            return -E2BIG;
        }
        int r = sd_bus_message_open_container(fMessage, 'a', "{sv}");
        for (auto it = dictionary.begin(); r >= 0 && it != dictionary.end(); ++it) {
            if (!Budget::CheckString(it->first.size()).empty()) return -E2BIG;
            r = sd_bus_message_open_container(fMessage, 'e', "sv");
            if (r >= 0) r = sd_bus_message_append_basic(fMessage, 's', it->first.c_str());
            if (r >= 0) r = Variant(it->second, depth + 1);
            if (r >= 0) r = sd_bus_message_close_container(fMessage);
        }
        return r < 0 ? r : sd_bus_message_close_container(fMessage);
    }

    int Value(const PropertyList& value, int depth) {
        if (!fBudget.SpendValue().empty()) return -E2BIG;
        switch (value.GetKind()) {
            case PropertyList::Kind::Dictionary:
                return Dictionary(*value.AsDictionary(), depth);
            case PropertyList::Kind::Array: {
                const PropertyList::Array& array = *value.AsArray();
                if (!Budget::CheckDepth(depth + 1).empty() ||
                    !Budget::CheckElements(array.size()).empty()) {
                    return -E2BIG;
                }
                int r = sd_bus_message_open_container(fMessage, 'a', "v");
                for (auto it = array.begin(); r >= 0 && it != array.end(); ++it) {
                    r = Variant(*it, depth + 1);
                }
                return r < 0 ? r : sd_bus_message_close_container(fMessage);
            }
            case PropertyList::Kind::String: {
                const std::string& text = *value.AsString();
                if (!Budget::CheckString(text.size()).empty()) return -E2BIG;
                // D-Bus strings end at the first NUL; one inside would be cut silently.
                if (text.find('\0') != std::string::npos) return -EINVAL;
                return sd_bus_message_append_basic(fMessage, 's', text.c_str());
            }
            case PropertyList::Kind::Integer: {
                std::int64_t integer = *value.AsInteger();
                return sd_bus_message_append_basic(fMessage, 'x', &integer);
            }
            case PropertyList::Kind::Real: {
                double real = *value.AsReal();
                return sd_bus_message_append_basic(fMessage, 'd', &real);
            }
            case PropertyList::Kind::Boolean: {
                int boolean = *value.AsBoolean() ? 1 : 0;
                return sd_bus_message_append_basic(fMessage, 'b', &boolean);
            }
        }
        return -EINVAL;
    }

private:
    static const char* Signature(const PropertyList& value) {
        switch (value.GetKind()) {
            case PropertyList::Kind::Dictionary:
                return "a{sv}";
            case PropertyList::Kind::Array:
                return "av";
            case PropertyList::Kind::String:
                return "s";
            case PropertyList::Kind::Integer:
                return "x";
            case PropertyList::Kind::Real:
                return "d";
            case PropertyList::Kind::Boolean:
                return "b";
        }
        return "";
    }

    sd_bus_message* fMessage;
    Budget fBudget;
};

const char* SkipReadableElement(const char* signature);

// The end of the one complete readable type starting at `signature`, or
// nullptr when that type holds something a property list cannot.
const char* SkipReadableType(const char* signature) {
    switch (*signature) {
        case 'y':
        case 'n':
        case 'q':
        case 'i':
        case 'u':
        case 'x':
        case 't':
        case 'b':
        case 'd':
        case 's':
        case 'v':
            return signature + 1;
        case 'a':
            return SkipReadableElement(signature + 1);
        default:
            return nullptr;
    }
}

// Same for an array's element, which may be a dictionary entry.
const char* SkipReadableElement(const char* signature) {
    if (*signature != '{') return SkipReadableType(signature);
    if (signature[1] != 's') return nullptr;
    const char* end = SkipReadableType(signature + 2);
    return end != nullptr && *end == '}' ? end + 1 : nullptr;
}

bool IsWhole(const char* end) {
    return end != nullptr && *end == '\0';
}

class Reader {
public:
    explicit Reader(sd_bus_message* message) : fMessage(message) {}

    // The next argument, which must be of the type `expected` ('v' or 'a').
    BusPropertyListResult Top(char expected) {
        char type = 0;
        const char* contents = nullptr;
        int r = sd_bus_message_peek_type(fMessage, &type, &contents);
        PropertyList value;
        if (r < 0) {
            Fail(r, "unreadable message");
        } else if (r == 0 || type != expected || (expected == 'a' && contents[0] != '{')) {
            Fail(-EINVAL, "not a property list");
        } else if (expected == 'a' && !IsWhole(SkipReadableElement(contents))) {
            Fail(-EINVAL, "unsupported type");
        } else {
            Value(type, contents, 0, value);
        }
        if (fError != 0) return {PropertyList(), fError, fReason};
        return {std::move(value), 0, {}};
    }

private:
    bool Fail(int error, std::string_view reason) {
        if (fError == 0) {
            fError = error;
            fReason = reason;
        }
        return false;
    }
    bool Bound(std::string_view exceeded) { return exceeded.empty() || Fail(-E2BIG, exceeded); }
    bool Check(int r) { return r >= 0 || Fail(r, "malformed message"); }

    template <typename T>
    bool Integer(char type, PropertyList& out) {
        T number{};
        if (!Check(sd_bus_message_read_basic(fMessage, type, &number))) return false;
        if constexpr (std::is_same_v<T, std::uint64_t>) {
            if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                return Fail(-EINVAL, "integer out of range");
            }
        }
        out = PropertyList::MakeInteger(static_cast<std::int64_t>(number));
        return true;
    }

    bool String(std::string& out) {
        const char* text = nullptr;
        if (!Check(sd_bus_message_read_basic(fMessage, 's', &text))) return false;
        std::size_t length = strnlen(text, kBusPropertyListMaxStringBytes + 1);
        if (!Bound(Budget::CheckString(length))) return false;
        out.assign(text, length);
        return true;
    }

    // `depth`: containers around the value.
    bool Value(char type, const char* contents, int depth, PropertyList& out) {
        // A variant only wraps the value it holds, which is counted instead.
        if (type != 'v' && !Bound(fBudget.SpendValue())) return false;
        switch (type) {
            case 'y':
                return Integer<std::uint8_t>(type, out);
            case 'n':
                return Integer<std::int16_t>(type, out);
            case 'q':
                return Integer<std::uint16_t>(type, out);
            case 'i':
                return Integer<std::int32_t>(type, out);
            case 'u':
                return Integer<std::uint32_t>(type, out);
            case 'x':
                return Integer<std::int64_t>(type, out);
            case 't':
                return Integer<std::uint64_t>(type, out);
            case 'b': {
                int boolean = 0;
                if (!Check(sd_bus_message_read_basic(fMessage, 'b', &boolean))) return false;
                out = PropertyList::MakeBoolean(boolean != 0);
                return true;
            }
            case 'd': {
                double real = 0;
                if (!Check(sd_bus_message_read_basic(fMessage, 'd', &real))) return false;
                out = PropertyList::MakeReal(real);
                return true;
            }
            case 's': {
                std::string text;
                if (!String(text)) return false;
                out = PropertyList(std::move(text));
                return true;
            }
            case 'v':
                return Variant(contents, depth, out);
            case 'a':
                return contents[0] == '{' ? Dictionary(contents, depth, out)
                                          : Array(contents, depth, out);
            default:
                return Fail(-EINVAL, "unsupported type");
        }
    }

    bool Variant(const char* contents, int depth, PropertyList& out) {
        if (!IsWhole(SkipReadableType(contents)) || contents[0] == 'v') {
            return Fail(-EINVAL, "unsupported type");
        }
        if (!Check(sd_bus_message_enter_container(fMessage, 'v', contents))) return false;
        char type = 0;
        const char* inner = nullptr;
        if (!Check(sd_bus_message_peek_type(fMessage, &type, &inner))) return false;
        return Value(type, inner, depth, out) && Check(sd_bus_message_exit_container(fMessage));
    }

    // Calls `element` for each element of the array whose element signature
    // is `contents`, within the bounds.
    template <typename Element>
    bool EachElement(const char* contents, int depth, Element element) {
        if (!Bound(Budget::CheckDepth(depth + 1))) return false;
        if (!Check(sd_bus_message_enter_container(fMessage, 'a', contents))) return false;
        for (std::size_t count = 1;; ++count) {
            char type = 0;
            const char* inner = nullptr;
            int r = sd_bus_message_peek_type(fMessage, &type, &inner);
            if (!Check(r)) return false;
            if (r == 0) break;
            if (!Bound(Budget::CheckElements(count)) || !element(type, inner)) return false;
        }
        return Check(sd_bus_message_exit_container(fMessage));
    }

    bool Array(const char* contents, int depth, PropertyList& out) {
        PropertyList::Array array;
        bool ok = EachElement(contents, depth, [&](char type, const char* inner) {
            PropertyList element;
            if (!Value(type, inner, depth + 1, element)) return false;
            array.push_back(std::move(element));
            return true;
        });
        if (ok) out = PropertyList(std::move(array));
        return ok;
    }

    bool Dictionary(const char* contents, int depth, PropertyList& out) {
        PropertyList::Dictionary dictionary;
        bool ok = EachElement(contents, depth, [&](char, const char* entry) {
            std::string key;
            char type = 0;
            const char* inner = nullptr;
            PropertyList value;
            if (!Check(sd_bus_message_enter_container(fMessage, 'e', entry)) || !String(key) ||
                !Check(sd_bus_message_peek_type(fMessage, &type, &inner)) ||
                !Value(type, inner, depth + 1, value) ||
                !Check(sd_bus_message_exit_container(fMessage))) {
                return false;
            }
            if (!dictionary.emplace(std::move(key), std::move(value)).second) {
                return Fail(-EINVAL, "duplicate key");
            }
            return true;
        });
        if (ok) out = PropertyList(std::move(dictionary));
        return ok;
    }

    sd_bus_message* fMessage;
    Budget fBudget;
    int fError = 0;
    std::string_view fReason;
};

}  // namespace

int AppendPropertyList(sd_bus_message* message, const PropertyList& value) {
    return Writer(message).Variant(value, 0);
}

int AppendPropertyListContents(sd_bus_message* message,
                               const PropertyList::Dictionary& dictionary) {
    return Writer(message).Contents(dictionary);
}

BusPropertyListResult ReadPropertyList(sd_bus_message* message) {
    return Reader(message).Top('v');
}

BusPropertyListResult ReadDictionary(sd_bus_message* message) {
    return Reader(message).Top('a');
}

}  // namespace platform
