#include <cstdio>
#include <optional>
#include <string>

#include "AgentChannel.h"
#include "ButtonMenus.h"
#include "CommandLine.h"
#include "Commands.h"
#include "CtlBackends.h"
#include "CtlError.h"
#include "IntegerText.h"
#include "KeyStrokeRecording.h"
#include "KeyboardLayout.h"
#include "SettingsFile.h"
#include "SettingsFileCheck.h"
#include "SettingsReport.h"

namespace {

void Say(const CtlCommandLine& line, const std::string& text) {
    if (line.verbose) {
        std::printf("%s\n", text.c_str());
    }
}

// A whole number written in digits alone; a usage error otherwise.
int Number(const std::string& word, const std::string& what) {
    const std::optional<std::int32_t> number = PlainNumberOfText(word);
    if (!number) {
        UsageError("'" + word + "' is not " + what);
    }
    return *number;
}

struct Slot {
    std::int32_t index;
    bool isPrimary;

    std::string Name() const {
        return (isPrimary ? "button " : "secondary button ") + std::to_string(index + 1);
    }
};

Slot ButtonSlot(const CtlCommandLine& line) {
    return {Number(line.words.at(0), "a button number") - 1, !line.secondary};
}

// Why a button cannot be given the function, on the attached model or, when
// none is known, on either model; none when it can.
std::optional<std::string> ChoiceProblem(std::optional<AMouseButtons> attached, Slot slot,
                                         ButtonMappingType type) {
    const auto allowed = [&](AMouseButtons buttons) {
        return buttons.HasButton(slot.index, slot.isPrimary) &&
               MenuOffers(type, buttons.IsFullMenu(slot.index, slot.isPrimary));
    };
    if (attached ? allowed(*attached) : allowed({false}) || allowed({true})) {
        return std::nullopt;
    }
    const AMouseButtons buttons = attached.value_or(AMouseButtons{false});
    const std::string model = !attached          ? ""
                              : attached->isTarn ? " of the Tarn model"
                                                 : " of the six-button models";
    if (!buttons.HasButton(slot.index, slot.isPrimary)) {
        const int count =
            slot.isPrimary ? buttons.PrimaryButtonCount() : buttons.SecondaryButtonCount();
        return "there is no " + slot.Name() + " (the " +
               (slot.isPrimary ? "buttons" : "secondary buttons") + model + " are 1 to " +
               std::to_string(count) + ")";
    }
    const std::string label = AButtonMapping::buttonMappingChoiceLabelOfType(type);
    if (type == kSecondaryFunctionsMappingType) {
        return "\"" + label + "\" is for the last button only (" +
               (attached ? "button " + std::to_string(buttons.FullMenuButtonIndex() + 1) + model
                         : std::string("button 6, or 5 on the Tarn model")) +
               ")";
    }
    return "the button menus do not offer \"" + label + "\" on this system";
}

// Refuses a function that the settings window would not offer the button.
// Where the two models differ, the agent says which one is attached; with no
// mouse attached (or no agent), either model's offer will do.
void CheckChoice(const CtlCommandLine& line, const CtlBackends& backends, Slot slot,
                 ButtonMappingType type) {
    if (const std::optional<std::string> problem = ChoiceProblem(std::nullopt, slot, type)) {
        Refuse(*problem);
    }
    if (!ChoiceProblem(AMouseButtons{false}, slot, type) &&
        !ChoiceProblem(AMouseButtons{true}, slot, type)) {
        return;
    }
    const AgentAnswer answer =
        backends.HasSessionBus() ? AskAgent(kAgentAnswerTimeout) : AgentAnswer{};
    if (!answer.deviceAttached) {
        Say(line, std::string(!backends.HasSessionBus() ? "no session bus to ask the agent on"
                              : answer.answered         ? "no mouse is attached"
                                                        : "the agent did not answer") +
                      ": taken as either model allows");
        return;
    }
    if (const auto problem = ChoiceProblem(AMouseButtons{answer.isTarn}, slot, type)) {
        Refuse(*problem);
    }
}

// Writes the settings to their file, or says which file could not be written.
void Flush(ASettingsFile& settings) {
    try {
        settings.FlushXml();
    } catch (const PrefControllerError& error) {
        Refuse(settings.xmlPath().string() + ": cannot be written (" + error.cause().message() +
               ")");
    }
}

// The change takes effect as the settings window's does: the settings go to
// the file and, whole, to the agent.
void Store(const CtlCommandLine& line, const CtlBackends& backends, ASettingsFile& settings,
           const std::string& what) {
    Flush(settings);
    if (backends.HasSessionBus()) {
        SendSettingsToAgent(settings.SettingsAsDict());
    }
    Say(line, what + ": written to " + settings.xmlPath().string() +
                  (backends.HasSessionBus() ? ", sent to the agent"
                                            : "; no session bus, so the agent reads it at its "
                                              "next start"));
}

CtlBackends ChangeBackends() {
    return CtlBackends({.sessionBus = true});
}

int SetSensitivity(const CtlCommandLine& line, bool pointer) {
    ExpectWords(line, 2, 2);
    const int value = Number(line.words[1], "a sensitivity");
    if (value < kMinSensitivity || value > kMaxSensitivity) {
        Refuse("a sensitivity is " + std::to_string(kMinSensitivity) + " to " +
               std::to_string(kMaxSensitivity) + ", not " + line.words[1]);
    }
    const CtlBackends backends = ChangeBackends();
    ASettingsFile settings;
    pointer ? settings.SetPointerSensitivityValue(value)
            : settings.SetScrollWheelSensitivityValue(value);
    Store(line, backends, settings,
          std::string(pointer ? "pointer" : "scroll") + " sensitivity " + std::to_string(value));
    return kExitDone;
}

int SetReverse(const CtlCommandLine& line) {
    ExpectWords(line, 2, 2);
    if (line.words[1] != "on" && line.words[1] != "off") {
        UsageError("reverse scrolling is on or off, not '" + line.words[1] + "'");
    }
    const CtlBackends backends = ChangeBackends();
    ASettingsFile settings;
    settings.SetReverseScrollDirectionValue(line.words[1] == "on");
    Store(line, backends, settings, "reverse scrolling " + line.words[1]);
    return kExitDone;
}

void SetMapping(ASettingsFile& settings, Slot slot, ADeviceSettings::MappingRef mapping) {
    slot.isPrimary ? settings.SetPrimaryButtonMapping(std::move(mapping), slot.index)
                   : settings.SetSecondaryButtonMapping(std::move(mapping), slot.index);
}

int SetButton(const CtlCommandLine& line) {
    if (line.words.size() < 3) {
        ExpectWords(line, 3, 3);
    }
    const Slot slot{Number(line.words[1], "a button number") - 1, !line.secondary};
    // The label may come as several words ("Double Click" unquoted).
    std::string function = line.words[2];
    for (std::size_t i = 3; i < line.words.size(); ++i) {
        function += " " + line.words[i];
    }
    const std::optional<ButtonMappingType> type = MappingTypeNamed(function);
    if (!type) {
        Refuse("no button function is called '" + function + "'");
    }
    if (*type == kKeyStrokeRecordingMappingType) {
        Refuse("a recorded keystroke is given with halvorinctl record");
    }
    const CtlBackends backends = ChangeBackends();
    CheckChoice(line, backends, slot, *type);
    ASettingsFile settings;
    SetMapping(settings, slot, AButtonMapping::initWithType(*type, {}));
    Store(line, backends, settings,
          slot.Name() + " " + AButtonMapping::buttonMappingChoiceLabelOfType(*type));
    return kExitDone;
}

}  // namespace

int ShowCommand(const CtlCommandLine& line) {
    ExpectWords(line, 0, 0);
    ExpectOptions(line, true, false);
    const ASettingsFile settings;
    const std::string text = line.json ? SettingsJson(settings.deviceSettings(), settings.xmlPath())
                                       : SettingsText(settings.deviceSettings());
    std::fputs(text.c_str(), stdout);
    return kExitDone;
}

int SetCommand(const CtlCommandLine& line) {
    ExpectWords(line, 1, 64);
    const std::string& what = line.words[0];
    ExpectOptions(line, false, what == "button");
    if (what == "pointer" || what == "scroll") {
        return SetSensitivity(line, what == "pointer");
    }
    if (what == "reverse") {
        return SetReverse(line);
    }
    if (what == "button") {
        return SetButton(line);
    }
    UsageError("set: no setting is called '" + what + "' (pointer, scroll, reverse, button)");
}

int RecordCommand(const CtlCommandLine& line) {
    ExpectWords(line, 2, 256);
    ExpectOptions(line, false, true);
    const Slot slot = ButtonSlot(line);
    AKeyStrokeRecording recording;
    for (std::size_t i = 1; i < line.words.size(); ++i) {
        std::string error;
        const std::optional<AKeyStrokeWord> word = ParseKeyStrokeWord(line.words[i], error);
        if (!word) {
            Refuse(error);
        }
        TypeKeyStrokeWord(
            *word, [&](std::uint32_t flags) { recording.flagsChanged(flags); },
            [&](std::uint16_t keyCode, std::uint32_t flags) {
                recording.keyDown({keyCode, flags, CharactersIgnoringModifiers(keyCode), false});
            });
    }
    if (!recording.HasValidRecording()) {
        Refuse(kInvalidRecordingMessage);
    }
    const CtlBackends backends = ChangeBackends();
    CheckChoice(line, backends, slot, kKeyStrokeRecordingMappingType);
    ASettingsFile settings;
    SetMapping(
        settings, slot,
        AButtonMapping::initWithType(kKeyStrokeRecordingMappingType, recording.KeyCodesString()));
    Store(line, backends, settings, slot.Name() + " records " + recording.KeyCodesString());
    return kExitDone;
}

int RestoreDefaultsCommand(const CtlCommandLine& line) {
    ExpectWords(line, 0, 0);
    ExpectOptions(line, false, false);
    const CtlBackends backends = ChangeBackends();
    ASettingsFile settings;
    settings.RestoreDefaultValues();
    Store(line, backends, settings, "defaults restored");
    return kExitDone;
}

int ExportCommand(const CtlCommandLine& line) {
    ExpectWords(line, 1, 1);
    ExpectOptions(line, false, false);
    const std::filesystem::path file = std::filesystem::absolute(line.words[0]);
    std::error_code error;
    if (!std::filesystem::is_directory(file.parent_path(), error)) {
        Refuse(file.parent_path().string() + ": no such folder");
    }
    const ASettingsFile settings;
    ASettingsFile exported(file);
    exported.RestoreFromDictionary(settings.SettingsAsDict());
    Flush(exported);
    Say(line, "settings written to " + line.words[0]);
    return kExitDone;
}

int ImportCommand(const CtlCommandLine& line) {
    ExpectWords(line, 1, 1);
    ExpectOptions(line, false, false);
    if (const std::optional<std::string> problem = SettingsFileProblem(line.words[0])) {
        Refuse(line.words[0] + ": " + *problem);
    }
    const ASettingsFile imported(line.words[0]);
    const CtlBackends backends = ChangeBackends();
    ASettingsFile settings;
    settings.RestoreFromDictionary(imported.SettingsAsDict());
    Store(line, backends, settings, "settings from " + line.words[0]);
    return kExitDone;
}
