#include "ReportBits.h"

#include "ButtonMenus.h"

namespace {

const std::array<std::uint8_t, 6>& ReportFlags(bool isTarn) {
    return isTarn ? sTarnButtonReportFlags : sButtonReportFlags;
}

// First index below `count` whose report bit is exactly `bits`.
std::optional<int> FindButton(const std::array<std::uint8_t, 6>& table, int count,
                              std::uint32_t bits) {
    if (bits == 0) {  // a zero entry stands for a button the model lacks
        return std::nullopt;
    }
    for (int i = 0; i < count; ++i) {
        if (table[i] == bits) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<AButtonSlot> DecodeButtonMessage(std::uint32_t value, bool isTarn,
                                               bool shiftIsSecondaryFunctions) {
    const auto& table = ReportFlags(isTarn);
    const AMouseButtons buttons{isTarn};
    const std::uint32_t shiftBit = table[buttons.FullMenuButtonIndex()];

    if (value >= shiftBit && shiftIsSecondaryFunctions) {
        const std::uint32_t rest = value - shiftBit;
        if (auto i = FindButton(table, buttons.SecondaryButtonCount(), rest)) {
            return AButtonSlot{*i, false};
        }
        if (isTarn && rest == table[3]) {
            return AButtonSlot{3, true};
        }
        return std::nullopt;
    }
    if (auto i = FindButton(table, static_cast<int>(table.size()), value)) {
        return AButtonSlot{*i, true};
    }
    return std::nullopt;
}
