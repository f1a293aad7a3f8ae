// The remapping engine: report sequences from idle and what each report yields.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "DriverTestSupport.h"

namespace drivertest {
namespace {

using Driver = com_halvorin_OrvandelDriver;

constexpr std::optional<std::uint32_t> kNoCode = std::nullopt;

struct Step {
    std::uint32_t report;
    std::uint32_t forwarded;
    std::optional<std::uint32_t> code = kNoCode;
    bool doubleClick = false;
};

struct Sequence {
    std::string name;
    Settings settings;
    std::vector<Step> steps;
};

void PrintTo(const Sequence& sequence, std::ostream* out) {
    *out << sequence.name;
}

class RemapSequenceTest : public testing::TestWithParam<Sequence> {};

TEST_P(RemapSequenceTest, EachReportYieldsItsForwardedStateCodeAndDoubleClick) {
    DriverUnderTest mouse;
    mouse.Deliver(GetParam().settings);
    int n = 0;
    for (const Step& step : GetParam().steps) {
        SCOPED_TRACE("report #" + std::to_string(n++) + " = " + std::to_string(step.report));
        Driver::RemapResult result = mouse->RemapButtonState(step.report);
        EXPECT_EQ(result.forwardedState, step.forwarded);
        EXPECT_EQ(result.hasMessage, step.code.has_value());
        if (step.code && result.hasMessage) {
            EXPECT_EQ(result.messageCode, *step.code);
        }
        EXPECT_EQ(result.doubleClick, step.doubleClick);
    }
}

INSTANTIATE_TEST_SUITE_P(
    DefaultLayout, RemapSequenceTest,
    testing::Values(
        Sequence{"LeftClickHeldAndReleased",
                 MappingSettings({{0, 1}}),
                 {{0x01, 0x01}, {0x01, 0x01}, {0x00, 0x00, 255}}},
        Sequence{"KeystrokeAnnouncedOnceOnPress",
                 MappingSettings({{1, 7}}),
                 {{0x04, 0x00, 0x04}, {0x04, 0x00}, {0x00, 0x00, 255}}},
        Sequence{"KeystrokeWhileLeftClickHeldKeepsTheClick",
                 MappingSettings({{0, 1}, {1, 7}}),
                 {{0x01, 0x01}, {0x05, 0x01, 0x04}}},
        Sequence{
            "TwoClickButtons", MappingSettings({{0, 1}, {2, 2}}), {{0x01, 0x01}, {0x03, 0x03}}},
        Sequence{"ThreeClickButtonsForwardAtMostTwo",
                 MappingSettings({{0, 1}, {1, 3}, {2, 2}}),
                 {{0x01, 0x01}, {0x03, 0x03}, {0x07, 0x05}, {0x07, 0x01}}},
        Sequence{"TwoButtonsInOneReportResolveToNothingThenToBoth",
                 MappingSettings({{0, 1}, {2, 2}}),
                 {{0x03, 0x00}, {0x03, 0x03}}},
        Sequence{"DoubleClickOnPressOnly",
                 MappingSettings({{1, 10}}),
                 {{0x04, 0x00, kNoCode, true}, {0x04, 0x00}, {0x00, 0x00, 255}}},
        Sequence{"HeldModifierKeySendsZeroWhileHeld",
                 MappingSettings({{3, 32}}),
                 {{0x10, 0x00, 0x10}, {0x10, 0x00, 0}, {0x10, 0x00, 0}, {0x00, 0x00, 255}}},
        Sequence{"HeldModifierWithLastButtonSendsWholeStateAgain",
                 MappingSettings({{0, 32}}),
                 {{0x01, 0x00, 0x01},
                  {0x01, 0x00, 0},
                  {0x21, 0x00},
                  {0x21, 0x01, 0x21},
                  {0x21, 0x01, 0x21}}},
        Sequence{"SecondaryKeystroke",
                 MappingSettings({{5, 26}}, {{0, 7}}),
                 {{0x20, 0x00, 0x20}, {0x21, 0x00, 0x21}, {0x20, 0x00}, {0x00, 0x00, 255}}},
        Sequence{"SecondaryClickBecomesPrimaryClickWhenShiftReleased",
                 MappingSettings({{5, 26}, {0, 1}}, {{0, 2}}),
                 {{0x20, 0x00, 0x20}, {0x21, 0x02}, {0x01, 0x01}, {0x00, 0x00, 255}}},
        Sequence{"SecondaryClickReleasedWithShiftStillHeld",
                 MappingSettings({{5, 26}}, {{0, 1}}),
                 {{0x20, 0x00, 0x20}, {0x21, 0x01}, {0x20, 0x00}}},
        Sequence{"SecondaryButtonSwitchedWhileShiftHeld",
                 MappingSettings({{5, 26}}, {{0, 7}, {1, 2}}),
                 {{0x20, 0x00, 0x20}, {0x21, 0x00, 0x21}, {0x24, 0x02}}},
        Sequence{"ShiftPressedWhileClickHeldKeepsRawBit",
                 MappingSettings({{5, 26}, {0, 1}}),
                 {{0x01, 0x01}, {0x21, 0x01, 0x21}}},
        Sequence{"ButtonThreeWithShiftIsACombination",
                 MappingSettings({{5, 26}, {3, 0}}, {{3, 7}}),
                 {{0x20, 0x00, 0x20}, {0x30, 0x00, 0x30}}},
        Sequence{"ButtonFourWithShiftIsNoCombination",
                 MappingSettings({{5, 26}, {4, 8}}),
                 {{0x20, 0x00, 0x20}, {0x28, 0x00, 0x28}}},
        Sequence{"NoSecondaryLayerWithoutSecondaryFunctions",
                 MappingSettings({{5, 7}, {0, 8}}, {{0, 2}}),
                 {{0x20, 0x00, 0x20}, {0x21, 0x01, 0x21}}},
        Sequence{"ReleasingOneAndPressingAnotherCountsByValue",
                 MappingSettings({{0, 7}, {1, 8}}),
                 {{0x04, 0x00, 0x04}, {0x01, 0x00}, {0x04, 0x00, 0x04}}},
        Sequence{"UnknownBitsResolveToNothing",
                 MappingSettings({{0, 7}}),
                 {{0x40, 0x00}, {0x00, 0x00, 255}, {0x100, 0x00}, {0x00, 0x00}}},
        Sequence{"TypeOutsideTheCatalogueIsAnnounced",
                 MappingSettings({{3, 1000}}),
                 {{0x10, 0x00, 0x10}, {0x10, 0x00}}},
        Sequence{
            "HighBitsMakeTheCodeTheWholeState", MappingSettings({{0, 7}}), {{0x101, 0x01, 0x101}}}),
    [](const testing::TestParamInfo<Sequence>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(TarnLayout, RemapSequenceTest,
                         testing::Values(Sequence{"ButtonThreeWithShiftIsNoCombination",
                                                  MappingSettings({{4, 26}, {3, 7}}, {}, true),
                                                  {{0x10, 0x00, 0x10}, {0x18, 0x00, 0x18}}},
                                         Sequence{"SecondaryOfButtonTwo",
                                                  MappingSettings({{4, 26}}, {{2, 1}}, true),
                                                  {{0x10, 0x00, 0x10}, {0x12, 0x01}}},
                                         Sequence{"SixthButtonBitResolvesToNothing",
                                                  MappingSettings({{0, 7}, {5, 7}}, {}, true),
                                                  {{0x20, 0x00}, {0x00, 0x00, 255}}}),
                         [](const testing::TestParamInfo<Sequence>& info) {
                             return info.param.name;
                         });

struct ComboCase {
    bool tarn;
    std::vector<std::uint8_t> combinations;
    std::vector<std::uint8_t> others;
};

TEST(SecondaryCombination, OnlyTheLastButtonAloneOrWithOneOfTheLayerButtons) {
    for (const ComboCase& c :
         {ComboCase{false, {0x20, 0x21, 0x24, 0x22, 0x30}, {0x28, 0x23, 0x31, 0x01, 0x60}},
          ComboCase{true, {0x10, 0x11, 0x14, 0x12}, {0x18, 0x13, 0x20, 0x30}}}) {
        SCOPED_TRACE(c.tarn ? "Tarn" : "six buttons");
        DriverUnderTest mouse;
        mouse.Deliver(MappingSettings({{c.tarn ? 4 : 5, 26}}, {}, c.tarn));
        mouse->SetLastButtonState(c.tarn ? 0x10 : 0x20);
        for (std::uint8_t state : c.combinations) {
            EXPECT_TRUE(mouse->IsPotentialSecondaryButtonCombo(state)) << int{state};
        }
        for (std::uint8_t state : c.others) {
            EXPECT_FALSE(mouse->IsPotentialSecondaryButtonCombo(state)) << int{state};
        }
    }
}

TEST(SecondaryCombination, NeedsTheLastButtonDownBeforeAndSecondaryFunctions) {
    DriverUnderTest mouse;
    mouse.Deliver(MappingSettings({{5, 26}}));
    mouse->SetLastButtonState(0x1f);  // below S: the last button was not down
    EXPECT_FALSE(mouse->IsPotentialSecondaryButtonCombo(0x21));

    mouse.Deliver(MappingSettings({{5, 7}}));
    mouse->SetLastButtonState(0x20);
    EXPECT_FALSE(mouse->IsPotentialSecondaryButtonCombo(0x21));
}

TEST(SecondaryCombination, TarnFlagClearedAfterSwitchMakesButtonThreeACombinationAgain) {
    DriverUnderTest mouse;
    mouse.Deliver(MappingSettings({{4, 26}}, {}, true));
    mouse.Deliver(MappingSettings({{4, 26}}, {}, false));
    mouse->SetLastButtonState(0x10);
    EXPECT_TRUE(mouse->IsPotentialSecondaryButtonCombo(0x18));
}

TEST(MappingLookup, FirstMatchingIndexWithinTheCountsOnly) {
    DriverUnderTest mouse;
    mouse.Deliver({std::vector<Type>{11, 12, 13, 14, 15, 16}, std::vector<Type>{21, 22, 23, 24},
                   std::nullopt, std::nullopt});
    const std::uint8_t bits[] = {0x01, 0x04, 0x02, 0x10, 0x08, 0x20};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(mouse->GetPrimaryMappingType(bits[i]), Type(11 + i));
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(mouse->GetSecondaryMappingType(bits[i]), Type(21 + i));
    }
    EXPECT_EQ(mouse->GetSecondaryMappingType(0x08), 0U);  // index 4 has no secondary
    for (std::uint8_t none : {0x00, 0x03, 0x40, 0x80, 0x21}) {
        EXPECT_EQ(mouse->GetPrimaryMappingType(none), 0U) << int{none};
    }
}

TEST(MappingLookup, ContinuousTypesAreClicksDisabledAndModifierKeys) {
    for (Type type = 0; type < 64; ++type) {
        bool expected = type <= 3 || (type >= 32 && type <= 35);
        EXPECT_EQ(Driver::IsContinuousMapping(type), expected) << type;
    }
    EXPECT_FALSE(Driver::IsContinuousMapping(0xFFFFFFFFU));
}

TEST(MappingLookup, FirstContinuousStatePrefersLeftThenRightThenMiddle) {
    struct Case {
        std::uint8_t state, first;
        bool has;
    };
    for (Case c : {Case{0x07, 0x01, true}, Case{0x06, 0x02, true}, Case{0x24, 0x04, true},
                   Case{0xF8, 0x00, false}, Case{0x00, 0x00, false}}) {
        EXPECT_EQ(Driver::GetFirstContinuousState(c.state), c.first) << int{c.state};
        EXPECT_EQ(Driver::HasContinuousState(c.state), c.has) << int{c.state};
    }
}

TEST(MappingLookup, ResolutionRecordsTheLookupBits) {
    DriverUnderTest mouse;
    mouse.Deliver(MappingSettings({{0, 1}, {2, 2}}));
    mouse->RemapButtonState(0x01);
    EXPECT_EQ(mouse->GetButtonMappingType(0x03), 2U);  // value grew: the new bit
    EXPECT_EQ(mouse->LookupButtons(), 0x02);
    EXPECT_EQ(mouse->GetButtonMappingType(0x01), 1U);  // same value: first continuous bit
    EXPECT_EQ(mouse->LookupButtons(), 0x01);
    EXPECT_EQ(mouse->GetButtonMappingType(0x00), 0U);  // value shrank: the state itself
    EXPECT_EQ(mouse->LookupButtons(), 0x00);
}

}  // namespace
}  // namespace drivertest
