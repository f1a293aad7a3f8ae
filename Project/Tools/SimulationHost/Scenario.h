#pragma once

#include <cstdint>
#include <istream>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

// A scenario: what happens to the simulated machine, one command per line.
// The language is described in README.md.
namespace scenario {

struct Plug {
    std::int32_t productId;
    double driverDelay = 0.0;  // seconds until the driver instance exists
};
struct Unplug {
    int mouse;  // 1 for the first mouse plugged in, and so on
};
struct RelativeReport {
    int mouse;
    std::int32_t dx;
    std::int32_t dy;
    std::uint32_t buttons;
};
struct AbsoluteReport {
    int mouse;
    std::int32_t x;
    std::int32_t y;
    std::uint32_t buttons;
};
struct ScrollReport {
    int mouse;
    std::int32_t delta1;
    std::int32_t delta2;
    std::int32_t delta3;
};
struct TypeKeys {
    std::vector<std::uint32_t> keyCodes;
};
struct Advance {
    double seconds;
};
struct PointerAt {
    double x;
    double y;
};
struct Sleep {};
struct Wake {};
struct SessionResign {};
struct SessionActivate {};
// The pane is shown (it announces itself one second later).
struct PaneShow {};
// A user's change in the pane: a sensitivity or direction control, a function
// chosen in a button menu (a recording with its macro keys is typed into the
// recording sheet and confirmed), or Restore Defaults.
struct PaneSet {
    enum class Field { Pointer, Scroll, Reverse, Primary, Secondary, Defaults };
    Field field;
    int index = 0;           // button index of Primary / Secondary
    std::int32_t value = 0;  // sensitivity, flag, or catalogue row
    std::string macroKeys;   // recorded keystroke of row 15
};
// A user's choice in a button menu, by item title or by item row.
struct PaneChoose {
    bool primary = true;
    int button = 1;  // 1 to 6, or 1 to 4 for a secondary function
    std::string item;
};
// Keys typed into the recording sheet: "Cmd+c", "Return", "Shift+Opt+Tab".
struct PaneRecord {
    std::vector<std::string> keys;
};
// A button of the recording sheet.
struct PaneSheetButton {
    enum class Button { Ok, Clear, Cancel } button;
};
// OK on the hint sheet, with or without "do not show again" ticked.
struct PaneHintOk {
    bool dontShow = false;
};
// Sends the pane's record, or the record of a settings file.
struct PaneSend {
    std::string file;  // empty: the pane's record
};
// The pane is hidden: it writes its record to the settings file.
struct PaneHide {};
struct Interrupt {};

using Command = std::variant<Plug, Unplug, RelativeReport, AbsoluteReport, ScrollReport, TypeKeys,
                             Advance, PointerAt, Sleep, Wake, SessionResign, SessionActivate,
                             PaneShow, PaneSet, PaneChoose, PaneRecord, PaneSheetButton,
                             PaneHintOk, PaneSend, PaneHide, Interrupt>;

struct Line {
    int number;
    Command command;
};

// A line that is not a command; what() names the line number.
class ParseError : public std::runtime_error {
public:
    ParseError(int line, const std::string& reason);
    int Line() const { return fLine; }

private:
    int fLine;
};

// Reads a whole scenario; throws ParseError at the first bad line.
std::vector<Line> Parse(std::istream& input);
// One line (no comment, not blank); throws ParseError.
Command ParseLine(const std::string& text, int lineNumber);

}  // namespace scenario
