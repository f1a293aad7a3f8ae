#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "InternalInconsistencyError.h"
#include "SettingsFile.h"
#include "SettingsFileFixture.h"

namespace {

TEST_F(SettingsFileTest, SensitivitySettersTruncateTowardZero) {
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    struct Case {
        double value;
        std::int32_t expected;
    };
    const Case cases[] = {
        {7.99, 7}, {2.9, 2}, {-0.5, 0},    {-2.9, -2},    {9.0, 9},
        {0.0, 0},  {NAN, 0}, {1e20, kMax}, {-1e20, kMin}, {INFINITY, kMax},
    };
    ASettingsFile file;
    for (const Case& c : cases) {
        file.SetPointerSensitivityValue(c.value);
        file.SetScrollWheelSensitivityValue(c.value);
        EXPECT_EQ(file.PointerSensitivityValue(), c.expected) << c.value;
        EXPECT_EQ(file.ScrollWheelSensitivityValue(), c.expected) << c.value;
    }
}

TEST_F(SettingsFileTest, ForwardsToTheRecordWithItsChecks) {
    ASettingsFile file;
    auto copy = AButtonMapping::initWithType(7, "");
    file.SetPrimaryButtonMapping(copy, 5);
    file.SetSecondaryButtonMapping(copy, 3);
    EXPECT_EQ(file.PrimaryButtonMappingAtIndex(5), copy);
    EXPECT_EQ(file.SecondaryButtonMappingAtIndex(3), copy);
    EXPECT_THROW(file.PrimaryButtonMappingAtIndex(6), InternalInconsistencyError);
    EXPECT_THROW(file.SecondaryButtonMappingAtIndex(-1), InternalInconsistencyError);

    ASettingsFile other;
    other.RestoreFromDictionary(file.SettingsAsDict());
    EXPECT_TRUE(other.deviceSettings() == file.deviceSettings());
}

}  // namespace
