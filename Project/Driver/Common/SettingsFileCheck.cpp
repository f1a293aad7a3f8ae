#include "SettingsFileCheck.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <span>
#include <vector>

#include "ButtonMapping.h"
#include "DeviceSettings.h"
#include "IntegerText.h"
#include "SettingsFileFormat.h"

namespace {

// A settings file is about two kilobytes; recordings make it longer, not
// this long.
constexpr std::uintmax_t kMaxSettingsFileBytes = 256 * 1024;

constexpr std::array<const char*, 5> kRootChildren = {
    kPointerSensitivityElement, kScrollWheelSensitivityElement, kPrimaryButtonMappingsElement,
    kSecondaryButtonMappingsElement, kReverseScrollWheelElement};

using Problem = std::optional<std::string>;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Decimal digits alone, blanks around them aside.
std::optional<int> PlainNumber(std::string_view text) {
    return PlainNumberOfText(Trimmed(text));
}

// "line N: what", N the line of the byte at `offset` in the file's text.
std::string AtOffset(std::string_view text, std::ptrdiff_t offset, const std::string& what) {
    const auto end = static_cast<std::ptrdiff_t>(
        std::clamp<std::ptrdiff_t>(offset, 0, static_cast<std::ptrdiff_t>(text.size())));
    return "line " + std::to_string(1 + std::count(text.begin(), text.begin() + end, '\n')) + ": " +
           what;
}

class Checker {
public:
    explicit Checker(std::string_view text) : fText(text) {}

    Problem Check(const pugi::xml_document& document) {
        const pugi::xml_node root = document.document_element();
        if (std::string_view(root.name()) != kSettingsElement) {
            return At(root, std::string("the root element is <") + root.name() + ">, not <" +
                                kSettingsElement + ">");
        }
        std::vector<pugi::xml_node> children;
        if (Problem problem = Elements(root, kRootChildren, children)) {
            return problem;
        }
        if (Problem problem = Sensitivity(children[0])) return problem;
        if (Problem problem = Sensitivity(children[1])) return problem;
        if (Problem problem = Mappings(children[2], kNumPrimaryButtonMappings)) return problem;
        if (Problem problem = Mappings(children[3], kNumSecondaryButtonMappings)) return problem;
        const std::optional<std::string> reverse = Text(children[4]);
        if (!reverse || (Trimmed(*reverse) != "0" && Trimmed(*reverse) != "1")) {
            return At(children[4], Quoted(children[4], reverse) + " is not 0 or 1");
        }
        return std::nullopt;
    }

private:
    std::string At(pugi::xml_node node, const std::string& what) const {
        return AtOffset(fText, node.offset_debug(), what);
    }

    static std::string Quoted(pugi::xml_node node, const std::optional<std::string>& text) {
        return std::string(node.name()) + " '" + (text ? std::string(Trimmed(*text)) : "...") + "'";
    }

    // The element's children, which must be elements of these names, in this
    // order.
    Problem Elements(pugi::xml_node parent, std::span<const char* const> names,
                     std::vector<pugi::xml_node>& children) const {
        const std::size_t count = names.size();
        for (pugi::xml_node child : parent.children()) {
            if (child.type() != pugi::node_element) {
                return At(child,
                          std::string("text where <") + parent.name() + "> holds only elements");
            }
            children.push_back(child);
        }
        if (children.size() != count) {
            return At(parent, "<" + std::string(parent.name()) + "> holds " +
                                  std::to_string(children.size()) + " elements, not " +
                                  std::to_string(count));
        }
        for (std::size_t i = 0; i < count; ++i) {
            const char* expected = names[i];
            if (std::string_view(children[i].name()) != expected) {
                return At(children[i], "<" + std::string(children[i].name()) + "> where <" +
                                           expected + "> belongs");
            }
        }
        return std::nullopt;
    }

    // The text of an element that holds text alone.
    static std::optional<std::string> Text(pugi::xml_node element) {
        std::string text;
        for (pugi::xml_node child : element.children()) {
            if (child.type() != pugi::node_pcdata && child.type() != pugi::node_cdata) {
                return std::nullopt;
            }
            text += child.value();
        }
        return text;
    }

    Problem Sensitivity(pugi::xml_node element) const {
        const std::optional<std::string> text = Text(element);
        const std::optional<int> value = text ? PlainNumber(*text) : std::nullopt;
        if (!value || *value < kMinSensitivity || *value > kMaxSensitivity) {
            return At(element, Quoted(element, text) + " is not " +
                                   std::to_string(kMinSensitivity) + " to " +
                                   std::to_string(kMaxSensitivity));
        }
        return std::nullopt;
    }

    Problem Mappings(pugi::xml_node list, int count) const {
        const std::vector<const char*> names(static_cast<std::size_t>(count),
                                             kButtonMappingElement);
        std::vector<pugi::xml_node> mappings;
        if (Problem problem = Elements(list, names, mappings)) {
            return problem;
        }
        for (pugi::xml_node mapping : mappings) {
            if (Problem problem = Mapping(mapping)) return problem;
        }
        return std::nullopt;
    }

    Problem Mapping(pugi::xml_node mapping) const {
        static constexpr const char* kNames[] = {kMapTypeElement, kMacroKeysElement};
        std::vector<pugi::xml_node> fields;
        if (Problem problem = Elements(mapping, kNames, fields)) {
            return problem;
        }
        const std::optional<std::string> idText = Text(fields[0]);
        const std::optional<int> id = idText ? PlainNumber(*idText) : std::nullopt;
        const auto row = id ? AButtonMapping::initWithMapId(*id, {}) : nullptr;
        if (!row || row->GetId() != *id) {
            return At(fields[0], Quoted(fields[0], idText) + " is no button function");
        }
        // A recording the sheet cannot read is kept as the settings file
        // keeps it (the sheet shows none), so that what an export writes an
        // import takes.
        if (!Text(fields[1])) {
            return At(fields[1], "macroKeys holds more than text");
        }
        return std::nullopt;
    }

    std::string_view fText;
};

}  // namespace

std::optional<std::string> SettingsFileProblem(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        return error ? "cannot be read: " + error.message() : "not a regular file";
    }
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size > kMaxSettingsFileBytes) {
        return error ? "cannot be read: " + error.message()
                     : "too large for a settings file (" + std::to_string(size) + " bytes)";
    }
    std::ifstream stream(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(stream)),
                           std::istreambuf_iterator<char>());
    if (!stream && !stream.eof()) {
        return "cannot be read: " + std::string(std::strerror(errno));
    }
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(
        text.data(), text.size(), kSettingsFileParseOptions, pugi::encoding_utf8);
    if (!parsed) {
        return AtOffset(text, parsed.offset,
                        std::string("not well-formed XML (") + parsed.description() + ")");
    }
    return Checker(text).Check(document);
}
