#include <gtest/gtest.h>

#include <vector>

#include "MacroKeys.h"
#include "SettingsDelivery.h"

namespace {

std::vector<AKeyStrokeStep> Steps(std::string_view macroKeys) {
    std::vector<AKeyStrokeStep> steps;
    ForEachKeyStrokeStep(macroKeys, [&](const AKeyStrokeStep& step) { steps.push_back(step); });
    return steps;
}

TEST(MacroKeysTest, ReadsKeyCodeAndFlagsOfEachStepInOrder) {
    EXPECT_EQ(Steps("Return,36,0|Tab,48,131072"),
              (std::vector<AKeyStrokeStep>{{36, 0}, {48, 131072}}));
    EXPECT_EQ(Steps("A,0,256|B,11,1048576"),
              (std::vector<AKeyStrokeStep>{{0, 256}, {11, 0x100000}}));
}

TEST(MacroKeysTest, EmptyStringHasNoSteps) {
    EXPECT_TRUE(Steps("").empty());
}

TEST(MacroKeysTest, StepsWithFewerThanThreeFieldsAreSkippedAndTheRestPerformed) {
    EXPECT_EQ(Steps("Return,36|Tab,48,0"), (std::vector<AKeyStrokeStep>{{48, 0}}));
    EXPECT_EQ(Steps("garbage||X,7,0|"), (std::vector<AKeyStrokeStep>{{7, 0}}));
}

TEST(MacroKeysTest, KeysNamedLikeTheSeparatorsStillReadTheirCodes) {
    // The comma key's entry splits into four fields; the bar key's entry is
    // cut in two, leaving a fragment and a step with an empty name.
    EXPECT_EQ(Steps(",,43,0"), (std::vector<AKeyStrokeStep>{{43, 0}}));
    EXPECT_EQ(Steps("|,42,131072"), (std::vector<AKeyStrokeStep>{{42, 131072}}));
}

TEST(MacroKeysTest, FieldsThatAreNoNumbersReadAsZeroAndCodesKeepTheirLow16Bits) {
    EXPECT_EQ(Steps("X,abc,x"), (std::vector<AKeyStrokeStep>{{0, 0}}));
    EXPECT_EQ(Steps("X, 12junk,+5"), (std::vector<AKeyStrokeStep>{{12, 5}}));
    // The recording sheet reads the same entry as Cmd+c (StoredRecordingTest).
    EXPECT_EQ(Steps("c,8,1048576x"), (std::vector<AKeyStrokeStep>{{8, 0x100000}}));
    EXPECT_EQ(Steps("X,65537,0"), (std::vector<AKeyStrokeStep>{{1, 0}}));
}

TEST(SensitivityTableTest, MapsEachSettingAndHoldsOutOfRangeSettingsAtTheEnds) {
    const std::vector<std::pair<int, double>> cases = {{0, 0.0},  {1, 0.125},      {5, 0.875},
                                                       {8, 2.0},  {9, 3.0},        {-1, 0.0},
                                                       {12, 3.0}, {INT32_MIN, 0.0}};
    for (const auto& [setting, acceleration] : cases) {
        EXPECT_EQ(AccelerationForSensitivity(setting), acceleration) << setting;
    }
}

}  // namespace
