#include "SettingsFile.h"

#include <cmath>
#include <exception>
#include <limits>
#include <pugixml.hpp>
#include <string>
#include <utility>

#include "ApplicationSupport.h"
#include "AtomicFile.h"
#include "BooleanText.h"
#include "IntegerText.h"
#include "SettingsFileFormat.h"
#include "XmlText.h"

namespace {

// Positions of the values among the children of the root element; element
// names are never compared when reading.
enum SettingsChild : std::size_t {
    kPointerSensitivityChild = 0,
    kScrollWheelSensitivityChild = 1,
    kPrimaryButtonMappingsChild = 2,
    kSecondaryButtonMappingsChild = 3,
    kReverseScrollWheelChild = 4,
};
enum ButtonMappingChild : std::size_t { kMapTypeChild = 0, kMacroKeysChild = 1 };

// A sensitivity read from the file outside 0 to 9 takes this value.
constexpr std::int32_t kOutOfRangeSensitivity = 5;

// The file lacks a node at a position the reader expects one.
struct MissingSettingsNode : std::exception {
    const char* what() const noexcept override { return "settings file node missing"; }
};

pugi::xml_node ChildAt(pugi::xml_node parent, std::size_t position) {
    std::size_t current = 0;
    for (pugi::xml_node child : parent.children()) {
        if (current++ == position) return child;
    }
    throw MissingSettingsNode{};
}

// The text of a node: its own for a text node, else that of all the text
// below it in document order.
std::string StringValue(pugi::xml_node node) {
    struct TextCollector : pugi::xml_tree_walker {
        std::string text;
        bool for_each(pugi::xml_node& descendant) override {
            if (descendant.type() == pugi::node_pcdata || descendant.type() == pugi::node_cdata) {
                text += descendant.value();
            }
            return true;
        }
    };
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) return node.value();
    TextCollector collector;
    node.traverse(collector);
    return collector.text;
}

// What a sensitivity reads back as. It is also what is written, so that the
// file holds the value that will be used rather than one that reads otherwise.
std::int32_t SensitivityAsRead(std::int32_t value) {
    return value < kMinSensitivity || value > kMaxSensitivity ? kOutOfRangeSensitivity : value;
}

// Truncation toward zero, saturating at the ends of the 32-bit range; NaN
// gives 0.
std::int32_t TruncatedTowardZero(double value) {
    if (std::isnan(value)) return 0;
    constexpr double kLowest = std::numeric_limits<std::int32_t>::lowest();
    constexpr double kHighest = std::numeric_limits<std::int32_t>::max();
    if (value <= kLowest) return std::numeric_limits<std::int32_t>::lowest();
    if (value >= kHighest) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

void AppendTextElement(pugi::xml_node parent, const char* name, const std::string& text) {
    parent.append_child(name).text().set(text.c_str());
}

// The pretty-printed document. A carriage return goes out as a character
// reference: a parser turns a literal one into a line feed.
std::string Serialized(const pugi::xml_document& document) {
    struct Writer : pugi::xml_writer {
        std::string text;
        void write(const void* data, std::size_t size) override {
            std::string_view rest(static_cast<const char*>(data), size);
            for (std::size_t cr = rest.find('\r'); cr != std::string_view::npos;
                 cr = rest.find('\r')) {
                text.append(rest.substr(0, cr));
                text += "&#13;";
                rest.remove_prefix(cr + 1);
            }
            text.append(rest);
        }
    };
    Writer writer;
    document.save(writer, "  ", pugi::format_default, pugi::encoding_utf8);
    return std::move(writer.text);
}

}  // namespace

ASettingsFile::ASettingsFile() {
    fXmlPath = GetDefaultXmlPath();
    Load();
}

ASettingsFile::ASettingsFile(std::filesystem::path xmlPath) : fXmlPath(std::move(xmlPath)) {
    Load();
}

ASettingsFile::~ASettingsFile() = default;

std::filesystem::path ASettingsFile::DefaultXmlPath() {
    const std::filesystem::path folder = platform::ApplicationSupportFolder();
    return folder.empty() ? folder : folder / kSettingsFolderName / kSettingsFileName;
}

std::filesystem::path ASettingsFile::GetDefaultXmlPath() {
    std::filesystem::path path = DefaultXmlPath();
    if (path.empty()) {
        throw PrefControllerError(kCouldNotLocateConfigFileReason,
                                  std::make_error_code(std::errc::no_such_file_or_directory));
    }
    if (auto error = platform::EnsureFolderExists(path.parent_path())) {
        throw PrefControllerError(kCouldNotLocateConfigFileReason, error);
    }
    return path;
}

void ASettingsFile::Load() {
    std::error_code ignored;
    if (!std::filesystem::exists(fXmlPath, ignored)) return;
    if (!InitXml(true)) {
        RestoreDefaultValues();
        ReleaseXml();
        return;
    }
    try {
        const pugi::xml_node root = fXmlDocument->document_element();
        fDeviceSettings.setPointerSensitivity(SensitivityAsRead(
            IntegerValueOfText(StringValue(ChildAt(root, kPointerSensitivityChild)))));
        fDeviceSettings.setScrollWheelSensitivity(SensitivityAsRead(
            IntegerValueOfText(StringValue(ChildAt(root, kScrollWheelSensitivityChild)))));
        const pugi::xml_node primary = ChildAt(root, kPrimaryButtonMappingsChild);
        for (std::uint32_t i = 0; i < kNumPrimaryButtonMappings; ++i) {
            CreateButtonMappingFromXml(ChildAt(primary, i), i, true);
        }
        const pugi::xml_node secondary = ChildAt(root, kSecondaryButtonMappingsChild);
        for (std::uint32_t i = 0; i < kNumSecondaryButtonMappings; ++i) {
            CreateButtonMappingFromXml(ChildAt(secondary, i), i, false);
        }
        fDeviceSettings.setReverseScrollDirection(
            BooleanValueOfText(StringValue(ChildAt(root, kReverseScrollWheelChild))));
    } catch (const MissingSettingsNode&) {
        RestoreDefaultValues();
    }
    ReleaseXml();
}

bool ASettingsFile::InitXml(bool readFile) {
    ReleaseXml();
    fXmlDocument = std::make_unique<pugi::xml_document>();
    if (readFile) {
        // Only a regular file is read: a device or a pipe could block.
        std::error_code ignored;
        if (!std::filesystem::is_regular_file(fXmlPath, ignored)) return false;
        return static_cast<bool>(
            fXmlDocument->load_file(fXmlPath.c_str(), kSettingsFileParseOptions));
    }
    pugi::xml_node declaration = fXmlDocument->append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    fXmlDocument->append_child(kSettingsElement);
    return true;
}

void ASettingsFile::ReleaseXml() {
    fXmlDocument.reset();
}

void ASettingsFile::CreateButtonMappingFromXml(pugi::xml_node element, std::uint32_t buttonIndex,
                                               bool isPrimary) {
    const std::int32_t mapId = IntegerValueOfText(StringValue(ChildAt(element, kMapTypeChild)));
    // A lenient parse can yield what XML 1.0 forbids (from a character
    // reference); it is left out as it would be when written.
    MappingRef mapping = AButtonMapping::initWithMapId(
        mapId, XmlText(StringValue(ChildAt(element, kMacroKeysChild))));
    const auto index = static_cast<std::int32_t>(buttonIndex);
    if (isPrimary) {
        fDeviceSettings.SetPrimaryButtonMapping(std::move(mapping), index);
    } else {
        fDeviceSettings.SetSecondaryButtonMapping(std::move(mapping), index);
    }
}

void ASettingsFile::FlushXml() {
    InitXml(false);
    pugi::xml_node root = fXmlDocument->document_element();
    AppendTextElement(root, kPointerSensitivityElement,
                      std::to_string(SensitivityAsRead(fDeviceSettings.pointerSensitivity())));
    AppendTextElement(root, kScrollWheelSensitivityElement,
                      std::to_string(SensitivityAsRead(fDeviceSettings.scrollWheelSensitivity())));
    pugi::xml_node primary = root.append_child(kPrimaryButtonMappingsElement);
    for (std::int32_t i = 0; i < kNumPrimaryButtonMappings; ++i) {
        AddButtonMappingElement(*fDeviceSettings.PrimaryButtonMappingAtIndex(i), primary);
    }
    pugi::xml_node secondary = root.append_child(kSecondaryButtonMappingsElement);
    for (std::int32_t i = 0; i < kNumSecondaryButtonMappings; ++i) {
        AddButtonMappingElement(*fDeviceSettings.SecondaryButtonMappingAtIndex(i), secondary);
    }
    AppendTextElement(root, kReverseScrollWheelElement,
                      std::to_string(fDeviceSettings.reverseScrollDirection() ? 1 : 0));
    const std::string text = Serialized(*fXmlDocument);
    ReleaseXml();
    // The folder is made again should it have gone since construction, so
    // that a long-running owner can still save.
    std::error_code error = platform::EnsureFolderExists(fXmlPath.parent_path());
    if (!error) error = platform::WriteFileAtomically(fXmlPath, text);
    if (error) throw PrefControllerError(kErrorSavingPreferencesReason, error);
}

void ASettingsFile::AddButtonMappingElement(const AButtonMapping& mapping, pugi::xml_node parent) {
    pugi::xml_node element = parent.append_child(kButtonMappingElement);
    AppendTextElement(element, kMapTypeElement, std::to_string(mapping.GetId()));
    AppendTextElement(element, kMacroKeysElement, XmlText(mapping.macroKeys()));
}

void ASettingsFile::RestoreDefaultValues() {
    fDeviceSettings.RestoreDefaultValues();
}

std::int32_t ASettingsFile::PointerSensitivityValue() const {
    return fDeviceSettings.pointerSensitivity();
}

std::int32_t ASettingsFile::ScrollWheelSensitivityValue() const {
    return fDeviceSettings.scrollWheelSensitivity();
}

void ASettingsFile::SetPointerSensitivityValue(double value) {
    fDeviceSettings.setPointerSensitivity(TruncatedTowardZero(value));
}

void ASettingsFile::SetScrollWheelSensitivityValue(double value) {
    fDeviceSettings.setScrollWheelSensitivity(TruncatedTowardZero(value));
}

bool ASettingsFile::ReverseScrollDirectionValue() const {
    return fDeviceSettings.reverseScrollDirection();
}

void ASettingsFile::SetReverseScrollDirectionValue(bool value) {
    fDeviceSettings.setReverseScrollDirection(value);
}

ASettingsFile::MappingRef ASettingsFile::PrimaryButtonMappingAtIndex(std::int32_t index) const {
    return fDeviceSettings.PrimaryButtonMappingAtIndex(index);
}

void ASettingsFile::SetPrimaryButtonMapping(MappingRef mapping, std::int32_t index) {
    fDeviceSettings.SetPrimaryButtonMapping(std::move(mapping), index);
}

ASettingsFile::MappingRef ASettingsFile::SecondaryButtonMappingAtIndex(std::int32_t index) const {
    return fDeviceSettings.SecondaryButtonMappingAtIndex(index);
}

void ASettingsFile::SetSecondaryButtonMapping(MappingRef mapping, std::int32_t index) {
    fDeviceSettings.SetSecondaryButtonMapping(std::move(mapping), index);
}

platform::PropertyList ASettingsFile::SettingsAsDict() const {
    return fDeviceSettings.SettingsAsDict();
}

void ASettingsFile::RestoreFromDictionary(const platform::PropertyList& dictionary) {
    fDeviceSettings.RestoreFromDictionary(dictionary);
}
