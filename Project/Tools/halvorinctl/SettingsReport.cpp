#include "SettingsReport.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "DeviceSettings.h"
#include "KeyStrokeRecording.h"

namespace {

// The recording sheet's pieces of a recorded keystroke; none for another
// function, nothing for a recording the sheet cannot read (it shows none).
std::optional<std::vector<std::string>> RecordedKeys(const AButtonMapping& mapping) {
    if (mapping.mapType() != kKeyStrokeRecordingMappingType) {
        return std::nullopt;
    }
    return AKeyStrokeRecording::RecordingPieces(mapping.macroKeys())
        .value_or(std::vector<std::string>{});
}

// Pieces two spaces apart, as the sheet shows keys typed one after another.
std::string SheetText(const std::vector<std::string>& pieces) {
    std::string text;
    for (const std::string& piece : pieces) {
        text += (text.empty() ? "" : "  ") + piece;
    }
    return text;
}

std::string FunctionText(const AButtonMapping& mapping) {
    std::string text = AButtonMapping::buttonMappingChoiceLabelOfType(mapping.mapType());
    if (const auto keys = RecordedKeys(mapping); keys && !keys->empty()) {
        text += ": " + SheetText(*keys);
    }
    return text;
}

nlohmann::ordered_json FunctionJson(int button, const AButtonMapping& mapping) {
    nlohmann::ordered_json function = {
        {"button", button},
        {"function", AButtonMapping::buttonMappingChoiceLabelOfType(mapping.mapType())},
        {"row", mapping.mapType()},
    };
    if (const auto keys = RecordedKeys(mapping)) {
        function["keys"] = *keys;
        function["macroKeys"] = mapping.macroKeys();
    }
    return function;
}

}  // namespace

std::string SettingsText(const ADeviceSettings& settings) {
    std::string text =
        "pointer sensitivity: " + std::to_string(settings.pointerSensitivity()) +
        "\nscroll sensitivity: " + std::to_string(settings.scrollWheelSensitivity()) +
        "\nreverse scrolling: " + (settings.reverseScrollDirection() ? "on" : "off") + "\n";
    for (int i = 0; i < kNumPrimaryButtonMappings; ++i) {
        text += "button " + std::to_string(i + 1) + ": " +
                FunctionText(*settings.PrimaryButtonMappingAtIndex(i)) + "\n";
    }
    for (int i = 0; i < kNumSecondaryButtonMappings; ++i) {
        text += "secondary button " + std::to_string(i + 1) + ": " +
                FunctionText(*settings.SecondaryButtonMappingAtIndex(i)) + "\n";
    }
    return text;
}

std::string SettingsJson(const ADeviceSettings& settings, const std::filesystem::path& file) {
    nlohmann::ordered_json buttons = nlohmann::ordered_json::array();
    for (int i = 0; i < kNumPrimaryButtonMappings; ++i) {
        buttons.push_back(FunctionJson(i + 1, *settings.PrimaryButtonMappingAtIndex(i)));
    }
    nlohmann::ordered_json secondary = nlohmann::ordered_json::array();
    for (int i = 0; i < kNumSecondaryButtonMappings; ++i) {
        secondary.push_back(FunctionJson(i + 1, *settings.SecondaryButtonMappingAtIndex(i)));
    }
    const nlohmann::ordered_json json = {
        {"settingsFile", file.string()},
        {"pointerSensitivity", settings.pointerSensitivity()},
        {"scrollSensitivity", settings.scrollWheelSensitivity()},
        {"reverseScrolling", settings.reverseScrollDirection()},
        {"buttons", std::move(buttons)},
        {"secondaryButtons", std::move(secondary)},
    };
    // Text that is not UTF-8 (a hand-edited recording) is replaced, not fatal.
    return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}
