#include <gtest/gtest.h>

#include <optional>

#include "ReportBits.h"

namespace {

struct DecodeCase {
    const char* what;
    std::uint32_t value;
    bool isTarn;
    bool shiftIsSecondaryFunctions;
    std::optional<AButtonSlot> expected;
};

class DecodeButtonMessageTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeButtonMessageTest, NamesTheButtonOfTheSettings) {
    const DecodeCase& c = GetParam();
    EXPECT_EQ(DecodeButtonMessage(c.value, c.isTarn, c.shiftIsSecondaryFunctions), c.expected)
        << c.what;
}

constexpr AButtonSlot Primary(int index) {
    return {index, true};
}
constexpr AButtonSlot Secondary(int index) {
    return {index, false};
}

INSTANTIATE_TEST_SUITE_P(
    SixButtonAndTarn, DecodeButtonMessageTest,
    testing::Values(
        DecodeCase{"button 3 alone", 0x10, false, false, Primary(3)},
        DecodeCase{"index 1 reports 0x04", 0x04, false, false, Primary(1)},
        DecodeCase{"index 2 reports 0x02", 0x02, false, false, Primary(2)},
        DecodeCase{"index 4 reports 0x08", 0x08, false, false, Primary(4)},
        DecodeCase{"shift held with button 0", 0x21, false, true, Secondary(0)},
        DecodeCase{"shift held with button 3", 0x30, false, true, Secondary(3)},
        DecodeCase{"shift alone names nothing", 0x20, false, true, std::nullopt},
        DecodeCase{"shift with button 4 is no combination", 0x28, false, true, std::nullopt},
        DecodeCase{"last button without secondary layer", 0x20, false, false, Primary(5)},
        DecodeCase{"no layer: a combination names nothing", 0x21, false, false, std::nullopt},
        DecodeCase{"two ordinary buttons", 0x03, false, false, std::nullopt},
        DecodeCase{"a bit no button has", 0x40, false, false, std::nullopt},
        DecodeCase{"a platform service message", 0xE0000010, false, true, std::nullopt},
        DecodeCase{"Tarn last button without layer", 0x10, true, false, Primary(4)},
        DecodeCase{"Tarn index 3 reports 0x08", 0x08, true, false, Primary(3)},
        DecodeCase{"Tarn shift with button 0", 0x11, true, true, Secondary(0)},
        DecodeCase{"Tarn shift with button 1", 0x14, true, true, Secondary(1)},
        DecodeCase{"Tarn shift with button 2", 0x12, true, true, Secondary(2)},
        DecodeCase{"Tarn shift with button 3 is its primary", 0x18, true, true, Primary(3)},
        DecodeCase{"Tarn has no sixth button", 0x20, true, false, std::nullopt},
        DecodeCase{"Tarn: the missing button's zero bit", 0x10 + 0x00, true, true, std::nullopt},
        DecodeCase{"message 0 names nothing", 0x00, true, false, std::nullopt}));

}  // namespace
