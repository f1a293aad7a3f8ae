#include "Scenario.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "ButtonMapping.h"
#include "ButtonMenus.h"
#include "DeviceSettings.h"

namespace scenario {

namespace {

using Words = std::vector<std::string>;

// Splits at white space; a word in double quotes may hold spaces. A '#'
// outside quotes starts a comment.
Words SplitWords(const std::string& text, int lineNumber) {
    Words words;
    std::size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++at;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            const auto end = text.find('"', at + 1);
            if (end == std::string::npos) {
                throw ParseError(lineNumber, "unterminated quotes");
            }
            words.push_back(text.substr(at + 1, end - at - 1));
            at = end + 1;
        } else {
            auto end = text.find_first_of(" \t\r#", at);
            if (end == std::string::npos) {
                end = text.size();
            }
            words.push_back(text.substr(at, end - at));
            at = end;
        }
    }
    return words;
}

class LineReader {
public:
    LineReader(Words words, int lineNumber) : fWords(std::move(words)), fLine(lineNumber) {}

    [[noreturn]] void Fail(const std::string& reason) const { throw ParseError(fLine, reason); }

    bool AtEnd() const { return fNext >= fWords.size(); }

    const std::string& Word(const char* what) {
        if (AtEnd()) {
            Fail(std::string("missing ") + what);
        }
        return fWords[fNext++];
    }

    // A decimal or 0x-prefixed hexadecimal integer within [low, high].
    std::int64_t Integer(const char* what, std::int64_t low, std::int64_t high) {
        const std::string& word = Word(what);
        std::string_view digits = word;
        bool negative = false;
        if (!digits.empty() && digits.front() == '-') {
            negative = true;
            digits.remove_prefix(1);
        }
        int base = 10;
        if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
            base = 16;
            digits.remove_prefix(2);
        }
        std::uint64_t magnitude = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
        const bool fits =
            magnitude <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
            !fits) {
            Fail(std::string("bad ") + what + " '" + word + "'");
        }
        const std::int64_t value =
            negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
        if (value < low || value > high) {
            Fail(std::string(what) + " " + word + " out of range " + std::to_string(low) + " to " +
                 std::to_string(high));
        }
        return value;
    }

    double Real(const char* what, double low, double high) {
        const std::string& word = Word(what);
        double value = 0;
        const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (error != std::errc() || end != word.data() + word.size() || !std::isfinite(value) ||
            value < low || value > high) {
            Fail(std::string("bad ") + what + " '" + word + "'");
        }
        return value;
    }

    int Mouse() { return static_cast<int>(Integer("mouse number", 1, 1000)); }
    std::int32_t Coordinate(const char* what) {
        return static_cast<std::int32_t>(Integer(what, -1000000, 1000000));
    }
    // The driver's dispatch takes the whole 32 bits.
    std::uint32_t Buttons() {
        return static_cast<std::uint32_t>(Integer("buttons", 0, 0xFFFFFFFF));
    }

    // A catalogue row by number or by its label.
    std::int32_t MappingType() {
        const std::string& word = Word("button function");
        if (const std::optional<ButtonMappingType> type = MappingTypeNamed(word)) {
            return *type;
        }
        Fail("unknown button function '" + word + "'");
    }

    void End() {
        if (!AtEnd()) {
            Fail("unexpected '" + fWords[fNext] + "'");
        }
    }

private:
    Words fWords;
    int fLine;
    std::size_t fNext = 0;
};

PaneSet ParsePaneSet(LineReader& reader) {
    const std::string field = reader.Word("setting");
    if (field == "pointer" || field == "scroll") {
        const auto value = static_cast<std::int32_t>(reader.Integer("sensitivity", -1000, 1000));
        return {
            field == "pointer" ? PaneSet::Field::Pointer : PaneSet::Field::Scroll, 0, value, {}};
    }
    if (field == "reverse") {
        const std::string& flag = reader.Word("on or off");
        if (flag != "on" && flag != "off") {
            reader.Fail("reverse takes on or off, not '" + flag + "'");
        }
        return {PaneSet::Field::Reverse, 0, flag == "on" ? 1 : 0, {}};
    }
    if (field == "primary" || field == "secondary") {
        const bool primary = field == "primary";
        const int last = (primary ? kNumPrimaryButtonMappings : kNumSecondaryButtonMappings) - 1;
        PaneSet set{primary ? PaneSet::Field::Primary : PaneSet::Field::Secondary,
                    static_cast<int>(reader.Integer("button index", 0, last)),
                    0,
                    {}};
        set.value = reader.MappingType();
        if (!reader.AtEnd()) {
            set.macroKeys = reader.Word("macro keys");
        }
        return set;
    }
    if (field == "defaults") {
        return {PaneSet::Field::Defaults, 0, 0, {}};
    }
    reader.Fail("unknown setting '" + field + "'");
}

PaneChoose ParsePaneChoose(LineReader& reader) {
    const std::string kind = reader.Word("primary or secondary");
    if (kind != "primary" && kind != "secondary") {
        reader.Fail("choose takes primary or secondary, not '" + kind + "'");
    }
    const bool primary = kind == "primary";
    const int buttons = primary ? kNumPrimaryButtonMappings : kNumSecondaryButtonMappings;
    const auto button = static_cast<int>(reader.Integer("button", 1, buttons));
    return {primary, button, reader.Word("menu item")};
}

Command ParsePane(LineReader& reader) {
    const std::string what = reader.Word("pane action");
    if (what == "show") {
        return PaneShow{};
    }
    if (what == "set") {
        return ParsePaneSet(reader);
    }
    if (what == "restore") {
        return PaneSet{PaneSet::Field::Defaults, 0, 0, {}};
    }
    if (what == "choose") {
        return ParsePaneChoose(reader);
    }
    if (what == "record") {
        PaneRecord record{{reader.Word("key")}};
        while (!reader.AtEnd()) {
            record.keys.push_back(reader.Word("key"));
        }
        return record;
    }
    if (what == "ok" || what == "clear" || what == "cancel") {
        using Button = PaneSheetButton::Button;
        return PaneSheetButton{what == "ok" ? Button::Ok
                               : what == "clear" ? Button::Clear
                                                 : Button::Cancel};
    }
    if (what == "hint") {
        if (reader.Word("ok") != "ok") {
            reader.Fail("hint takes ok [dontshow]");
        }
        bool dontShow = false;
        if (!reader.AtEnd()) {
            if (reader.Word("dontshow") != "dontshow") {
                reader.Fail("hint takes ok [dontshow]");
            }
            dontShow = true;
        }
        return PaneHintOk{dontShow};
    }
    if (what == "send") {
        return PaneSend{reader.AtEnd() ? std::string() : reader.Word("settings file")};
    }
    if (what == "hide") {
        return PaneHide{};
    }
    reader.Fail("unknown pane action '" + what + "'");
}

Command ParseSession(LineReader& reader) {
    const std::string what = reader.Word("resign or activate");
    if (what == "resign") {
        return SessionResign{};
    }
    if (what == "activate") {
        return SessionActivate{};
    }
    reader.Fail("session takes resign or activate, not '" + what + "'");
}

Command ParseCommand(LineReader& reader, const std::string& verb) {
    if (verb == "plug") {
        Plug plug{static_cast<std::int32_t>(reader.Integer("product id", 0, 0xFFFF))};
        if (!reader.AtEnd()) {
            if (reader.Word("delay") != "delay") {
                reader.Fail("plug takes a product id and, optionally, delay <seconds>");
            }
            plug.driverDelay = reader.Real("delay", 0, 60);
        }
        return plug;
    }
    if (verb == "unplug") {
        return Unplug{reader.Mouse()};
    }
    if (verb == "move" || verb == "moveto") {
        const int mouse = reader.Mouse();
        const std::int32_t x = reader.Coordinate(verb == "move" ? "dx" : "x");
        const std::int32_t y = reader.Coordinate(verb == "move" ? "dy" : "y");
        const std::uint32_t buttons = reader.AtEnd() ? 0 : reader.Buttons();
        if (verb == "move") {
            return RelativeReport{mouse, x, y, buttons};
        }
        return AbsoluteReport{mouse, x, y, buttons};
    }
    if (verb == "buttons") {
        const int mouse = reader.Mouse();
        return RelativeReport{mouse, 0, 0, reader.Buttons()};
    }
    if (verb == "scroll") {
        ScrollReport scroll{reader.Mouse(), reader.Coordinate("delta"), 0, 0};
        if (!reader.AtEnd()) {
            scroll.delta2 = reader.Coordinate("delta");
        }
        if (!reader.AtEnd()) {
            scroll.delta3 = reader.Coordinate("delta");
        }
        return scroll;
    }
    if (verb == "type") {
        TypeKeys keys;
        do {
            keys.keyCodes.push_back(
                static_cast<std::uint32_t>(reader.Integer("key code", 0, 0xFFFF)));
        } while (!reader.AtEnd());
        return keys;
    }
    if (verb == "advance") {
        return Advance{reader.Real("seconds", 0, 1e6)};
    }
    if (verb == "pointer") {
        const double x = reader.Real("x", -1e6, 1e6);
        return PointerAt{x, reader.Real("y", -1e6, 1e6)};
    }
    if (verb == "sleep") {
        return Sleep{};
    }
    if (verb == "wake") {
        return Wake{};
    }
    if (verb == "session") {
        return ParseSession(reader);
    }
    if (verb == "pane") {
        return ParsePane(reader);
    }
    if (verb == "interrupt") {
        return Interrupt{};
    }
    reader.Fail("unknown command '" + verb + "'");
}

}  // namespace

ParseError::ParseError(int line, const std::string& reason)
    : std::runtime_error("line " + std::to_string(line) + ": " + reason), fLine(line) {}

Command ParseLine(const std::string& text, int lineNumber) {
    LineReader reader(SplitWords(text, lineNumber), lineNumber);
    const std::string verb = reader.Word("command");
    Command command = ParseCommand(reader, verb);
    reader.End();
    return command;
}

std::vector<Line> Parse(std::istream& input) {
    std::vector<Line> lines;
    std::string text;
    int number = 0;
    while (std::getline(input, text)) {
        ++number;
        if (SplitWords(text, number).empty()) {
            continue;
        }
        lines.push_back({number, ParseLine(text, number)});
    }
    return lines;
}

}  // namespace scenario
