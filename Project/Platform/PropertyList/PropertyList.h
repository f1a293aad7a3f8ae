#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A property-list value of the user side: a dictionary with string keys, an
// array, a string, an integer, a real (floating) number or a boolean. It
// carries the settings dictionary, the driver property dictionary and the
// user info of notifications.
//
// A value is immutable and its content is shared between copies, so copying
// costs one reference count. Build containers as Dictionary / Array first and
// wrap them. Typed accessors never throw: they return nullptr or std::nullopt
// when the value is of another kind. Integers and reals are distinct kinds
// (Integer 1 is neither Real 1.0 nor Boolean true).
//
// A default-constructed value is the empty dictionary.
//
// Text rendering (Describe, operator<<), one line, deterministic:
//   dictionary  {"key": value, "other": value}   keys in ascending byte order;
//               {} when empty
//   array       [value, value]                    in order; [] when empty
//   string      "text"  with \" \\ \n \r \t escaped, other bytes below 0x20 and
//               0x7f as \xHH (two upper-case hex digits); other bytes as they are
//   integer     decimal: 5, -12
//   real        shortest text that reads back to the same double, always with a
//               '.' or an exponent so it cannot be taken for an integer:
//               5.0, 0.25, -0.0, 1e+20; nan, inf, -inf for the special values
//   boolean     true, false
class PropertyList {
public:
    using Dictionary = std::map<std::string, PropertyList, std::less<>>;
    using Array = std::vector<PropertyList>;

    enum class Kind { Dictionary, Array, String, Integer, Real, Boolean };

    PropertyList();
    PropertyList(Dictionary dictionary);
    PropertyList(Array array);
    PropertyList(std::string text);
    PropertyList(std::string_view text);
    PropertyList(const char* text);

    static PropertyList MakeInteger(std::int64_t value);
    static PropertyList MakeReal(double value);
    static PropertyList MakeBoolean(bool value);

    Kind GetKind() const;

    const Dictionary* AsDictionary() const;
    const Array* AsArray() const;
    const std::string* AsString() const;
    std::optional<std::int64_t> AsInteger() const;
    std::optional<double> AsReal() const;
    std::optional<bool> AsBoolean() const;

    // The entry under key when this is a dictionary that has one; else nullptr.
    const PropertyList* Find(std::string_view key) const;

    // Same kind and same content, recursively. Reals compare by value, except
    // that NaN equals NaN, so that equality stays an equivalence.
    bool operator==(const PropertyList& other) const;

    std::string Describe() const;

private:
    struct Node;
    template <typename T>
    static std::shared_ptr<const Node> MakeNode(T value);
    explicit PropertyList(std::shared_ptr<const Node> node);

    std::shared_ptr<const Node> fNode;
};

std::ostream& operator<<(std::ostream& stream, const PropertyList& value);

}  // namespace platform
