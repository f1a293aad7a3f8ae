#include "ButtonMenus.h"

#include <algorithm>

#include "SystemVersion.h"

namespace {

constexpr std::uint32_t kLastUnshiftedItem = 25;

bool SameLetters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

}  // namespace

std::vector<ButtonMappingType> MenuMappingTypes(bool fullMenu) {
    const ButtonMappingType last = SystemVersion::isLionOrGreater() ? kActivateSpacesMappingType - 1
                                                                    : kActivateSpacesMappingType;
    std::vector<ButtonMappingType> types;
    for (ButtonMappingType type = 0; type <= last; ++type) {
        if (fullMenu || type != kSecondaryFunctionsMappingType) {
            types.push_back(type);
        }
    }
    return types;
}

std::vector<std::string> MenuLabels(bool fullMenu) {
    std::vector<std::string> labels;
    for (const ButtonMappingType type : MenuMappingTypes(fullMenu)) {
        labels.push_back(AButtonMapping::buttonMappingChoiceLabelOfType(type));
    }
    return labels;
}

ButtonMappingType MappingTypeOfMenuItem(std::uint32_t item, bool fullMenu) {
    return static_cast<ButtonMappingType>(!fullMenu && item > kLastUnshiftedItem ? item + 1 : item);
}

std::uint32_t MenuItemOfMappingType(ButtonMappingType type, bool fullMenu) {
    return static_cast<std::uint32_t>(!fullMenu && type > kSecondaryFunctionsMappingType ? type - 1
                                                                                         : type);
}

bool MenuOffers(ButtonMappingType type, bool fullMenu) {
    const std::vector<ButtonMappingType> types = MenuMappingTypes(fullMenu);
    return std::find(types.begin(), types.end(), type) != types.end();
}

std::optional<ButtonMappingType> MappingTypeNamed(std::string_view labelOrRow) {
    for (ButtonMappingType type = 0; type < kNumButtonMappingTypes; ++type) {
        if (SameLetters(AButtonMapping::buttonMappingChoiceLabelOfType(type), labelOrRow) ||
            std::to_string(type) == labelOrRow) {
            return type;
        }
    }
    return std::nullopt;
}
