#include "PropertyList.h"

#include <charconv>
#include <cmath>
#include <ostream>
#include <variant>

namespace platform {

// Alternatives in the order of Kind.
struct PropertyList::Node {
    std::variant<Dictionary, Array, std::string, std::int64_t, double, bool> content;
};

namespace {

bool RealsEqual(double left, double right) {
    return left == right || (std::isnan(left) && std::isnan(right));
}

void AppendQuoted(std::string& out, std::string_view text) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    out += '"';
    for (char character : text) {
        const auto byte = static_cast<unsigned char>(character);
        switch (character) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20 || byte == 0x7f) {
                    out += "\\x";
                    out += kHexDigits[byte >> 4];
                    out += kHexDigits[byte & 0x0f];
                } else {
                    out += character;
                }
        }
    }
    out += '"';
}

void AppendReal(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "nan";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return;
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    out += text;
    if (text.find_first_of(".e") == std::string_view::npos) {
        out += ".0";
    }
}

void AppendDescription(std::string& out, const PropertyList& value);

void AppendDictionary(std::string& out, const PropertyList::Dictionary& dictionary) {
    out += '{';
    const char* separator = "";
    for (const auto& [key, entry] : dictionary) {
        out += separator;
        AppendQuoted(out, key);
        out += ": ";
        AppendDescription(out, entry);
        separator = ", ";
    }
    out += '}';
}

void AppendArray(std::string& out, const PropertyList::Array& array) {
    out += '[';
    const char* separator = "";
    for (const auto& element : array) {
        out += separator;
        AppendDescription(out, element);
        separator = ", ";
    }
    out += ']';
}

void AppendDescription(std::string& out, const PropertyList& value) {
    switch (value.GetKind()) {
        case PropertyList::Kind::Dictionary:
            AppendDictionary(out, *value.AsDictionary());
            break;
        case PropertyList::Kind::Array:
            AppendArray(out, *value.AsArray());
            break;
        case PropertyList::Kind::String:
            AppendQuoted(out, *value.AsString());
            break;
        case PropertyList::Kind::Integer:
            out += std::to_string(*value.AsInteger());
            break;
        case PropertyList::Kind::Real:
            AppendReal(out, *value.AsReal());
            break;
        case PropertyList::Kind::Boolean:
            out += *value.AsBoolean() ? "true" : "false";
            break;
    }
}

}  // namespace

template <typename T>
std::shared_ptr<const PropertyList::Node> PropertyList::MakeNode(T value) {
    return std::make_shared<const Node>(Node{std::move(value)});
}

PropertyList::PropertyList() {
    static const auto kEmptyDictionary = MakeNode(Dictionary{});
    fNode = kEmptyDictionary;
}

PropertyList::PropertyList(std::shared_ptr<const Node> node) : fNode(std::move(node)) {}

PropertyList::PropertyList(Dictionary dictionary) : fNode(MakeNode(std::move(dictionary))) {}

PropertyList::PropertyList(Array array) : fNode(MakeNode(std::move(array))) {}

PropertyList::PropertyList(std::string text) : fNode(MakeNode(std::move(text))) {}

PropertyList::PropertyList(std::string_view text) : PropertyList(std::string(text)) {}

PropertyList::PropertyList(const char* text) : PropertyList(std::string(text)) {}

PropertyList PropertyList::MakeInteger(std::int64_t value) {
    return PropertyList(MakeNode(value));
}

PropertyList PropertyList::MakeReal(double value) {
    return PropertyList(MakeNode(value));
}

PropertyList PropertyList::MakeBoolean(bool value) {
    return PropertyList(MakeNode(value));
}

PropertyList::Kind PropertyList::GetKind() const {
    return static_cast<Kind>(fNode->content.index());
}

const PropertyList::Dictionary* PropertyList::AsDictionary() const {
    return std::get_if<Dictionary>(&fNode->content);
}

const PropertyList::Array* PropertyList::AsArray() const {
    return std::get_if<Array>(&fNode->content);
}

const std::string* PropertyList::AsString() const {
    return std::get_if<std::string>(&fNode->content);
}

std::optional<std::int64_t> PropertyList::AsInteger() const {
    const auto* value = std::get_if<std::int64_t>(&fNode->content);
    return value ? std::optional(*value) : std::nullopt;
}

std::optional<double> PropertyList::AsReal() const {
    const auto* value = std::get_if<double>(&fNode->content);
    return value ? std::optional(*value) : std::nullopt;
}

std::optional<bool> PropertyList::AsBoolean() const {
    const auto* value = std::get_if<bool>(&fNode->content);
    return value ? std::optional(*value) : std::nullopt;
}

const PropertyList* PropertyList::Find(std::string_view key) const {
    const auto* dictionary = AsDictionary();
    if (!dictionary) {
        return nullptr;
    }
    const auto entry = dictionary->find(key);
    return entry == dictionary->end() ? nullptr : &entry->second;
}

bool PropertyList::operator==(const PropertyList& other) const {
    if (fNode == other.fNode) {
        return true;
    }
    const auto* left = std::get_if<double>(&fNode->content);
    const auto* right = std::get_if<double>(&other.fNode->content);
    if (left && right) {
        return RealsEqual(*left, *right);
    }
    return fNode->content == other.fNode->content;
}

std::string PropertyList::Describe() const {
    std::string out;
    AppendDescription(out, *this);
    return out;
}

std::ostream& operator<<(std::ostream& stream, const PropertyList& value) {
    return stream << value.Describe();
}

}  // namespace platform
