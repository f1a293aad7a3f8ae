#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ButtonMapping.h"

// The pane's button menus and what each model's buttons may be given, for
// every program that offers those choices (the pane, the command-line client).
//
// Two kinds of menu: a full menu (the last button of the model, which alone
// may carry "Secondary Functions") whose item i is row i; a reduced one (every
// other button) without "Secondary Functions" (row 26), whose item i is row i
// up to 25 and row i + 1 above. From 10.7 on both leave out "Activate Spaces".

// The six-button models and the Tarn model; the pane learns which from the
// agent's "IsTarn".
struct AMouseButtons {
    bool isTarn = false;

    int PrimaryButtonCount() const { return isTarn ? 5 : 6; }
    int SecondaryButtonCount() const { return isTarn ? 3 : 4; }
    // Index of the last button, whose menu is the full one.
    std::int32_t FullMenuButtonIndex() const { return isTarn ? 4 : 5; }
    bool HasButton(std::int32_t buttonIndex, bool isPrimary) const {
        return buttonIndex >= 0 &&
               buttonIndex < (isPrimary ? PrimaryButtonCount() : SecondaryButtonCount());
    }
    bool IsFullMenu(std::int32_t buttonIndex, bool isPrimary) const {
        return isPrimary && buttonIndex == FullMenuButtonIndex();
    }
};

// The rows a menu lists, in item order.
std::vector<ButtonMappingType> MenuMappingTypes(bool fullMenu);
// Their labels, the menu's item titles.
std::vector<std::string> MenuLabels(bool fullMenu);
// The row of a menu item.
ButtonMappingType MappingTypeOfMenuItem(std::uint32_t item, bool fullMenu);
// The item that shows a row: row - 1 above row 26 in a reduced menu, else
// the row (row 26 itself maps to item 26 there, which the pane never offers).
std::uint32_t MenuItemOfMappingType(ButtonMappingType type, bool fullMenu);
// Whether the menu lists the row.
bool MenuOffers(ButtonMappingType type, bool fullMenu);

// A row by its label (letter case aside) or by its number 0 to 41.
std::optional<ButtonMappingType> MappingTypeNamed(std::string_view labelOrRow);
