#include <gtest/gtest.h>

#include <optional>
#include <set>

#include "ButtonMapping.h"
#include "SystemVersionQuery.h"

namespace {

constexpr std::uint32_t kShift = 0x20000;
constexpr std::uint32_t kControl = 0x40000;
constexpr std::uint32_t kOption = 0x80000;
constexpr std::uint32_t kCommand = 0x100000;

// Runs the class initialisation afresh against a fixed system version.
class CatalogueTest : public testing::Test {
protected:
    CatalogueTest() : fVersion(10, 6, 8) { AButtonMapping::ResetClassStateForTesting(); }
    ~CatalogueTest() override { AButtonMapping::ResetClassStateForTesting(); }

private:
    platform::ScopedSystemVersion fVersion;
};

struct Row {
    ButtonMappingType type;
    const char* label;
    std::int32_t mappingId;
    std::int32_t keyCode;
    std::uint32_t flags;
};

// The catalogue as it reads before 10.7.
constexpr Row kRows[] = {
    {0, "Disabled", 0, -1, 0},
    {1, "Left Click", 1, -1, 0},
    {2, "Right Click", 2, -1, 0},
    {3, "Middle Click", 37, -1, 0},
    {4, "Applications", 3, 0, kShift | kCommand},
    {5, "Back", 4, 33, kCommand},
    {6, "Close", 5, 13, kCommand},
    {7, "Copy", 6, 8, kCommand},
    {8, "Cut", 7, 7, kCommand},
    {9, "Delete", 8, 51, 0},
    {10, "Double Click", 9, -1, 0},
    {11, "Escape", 10, 53, 0},
    {12, "Find", 11, 3, kCommand},
    {13, "Forward", 12, 30, kCommand},
    {14, "Info", 13, 34, kCommand},
    {15, "KeyStroke Recording", 14, -1, 0},
    {16, "Left Click+Command", 15, -1, 0},
    {17, "Left Click+Option", 16, -1, 0},
    {18, "Left Click+Shift", 17, -1, 0},
    {19, "Minimize", 18, 46, kCommand},
    {20, "Page Down", 19, 121, 0},
    {21, "Page Up", 20, 116, 0},
    {22, "Paste", 21, 9, kCommand},
    {23, "Screen Shot to Clipboard", 22, 20, kShift | kControl | kCommand},
    {24, "Return", 23, 36, 0},
    {25, "Screen Shot to File", 24, 20, kShift | kCommand},
    {26, "Secondary Functions", 25, -1, 0},
    {27, "Show/Hide Dashboard", 26, 111, 0},
    {28, "Show/Hide Desktop", 27, 103, 0},
    {29, "Show/Hide Dock", 28, 2, kOption | kCommand},
    {30, "Spacebar", 29, 49, 0},
    {31, "Tab", 30, 48, 0},
    {32, "Shift Key", 38, -1, kShift},
    {33, "Control Key", 39, -1, kControl},
    {34, "Option Key", 40, -1, kOption},
    {35, "Command Key", 41, -1, kCommand},
    {36, "Tile All Windows", 31, 101, 0},
    {37, "Tile Application Windows", 32, 109, 0},
    {38, "Undo", 33, 6, kCommand},
    {39, "Move Left a Space", 34, 123, kControl},
    {40, "Move Right a Space", 35, 124, kControl},
    {41, "Activate Spaces", 36, 100, 0},
};

class CatalogueRowTest : public CatalogueTest, public testing::WithParamInterface<Row> {};

TEST_P(CatalogueRowTest, RowReadsAsTabled) {
    const Row& row = GetParam();
    EXPECT_EQ(AButtonMapping::buttonMappingChoiceLabelOfType(row.type), row.label);
    const auto byType = AButtonMapping::initWithType(row.type, "");
    EXPECT_EQ(byType->mapType(), row.type);
    EXPECT_EQ(byType->GetId(), row.mappingId);
    EXPECT_EQ(byType->KeyCode(), static_cast<std::uint8_t>(row.keyCode));
    EXPECT_EQ(byType->ModifierFlags(), row.flags);
    EXPECT_EQ(AButtonMapping::initWithMapId(row.mappingId, "")->mapType(), row.type);
}

INSTANTIATE_TEST_SUITE_P(AllRows, CatalogueRowTest, testing::ValuesIn(kRows));

TEST_F(CatalogueTest, MappingIdsArePermutationOfTheRows) {
    std::set<std::int32_t> ids;
    for (ButtonMappingType type = 0; type < kNumButtonMappingTypes; ++type) {
        ids.insert(AButtonMapping::initWithType(type, "")->GetId());
    }
    EXPECT_EQ(ids.size(), 42u);
    EXPECT_EQ(*ids.begin(), 0);
    EXPECT_EQ(*ids.rbegin(), 41);
}

TEST_F(CatalogueTest, KindsFollowKeyCodesAndModifiers) {
    const std::set<ButtonMappingType> notKeyStrokes = {0,  1,  2,  3,  10, 15, 16,
                                                       17, 18, 26, 32, 33, 34, 35};
    for (ButtonMappingType type = 0; type < kNumButtonMappingTypes; ++type) {
        const auto mapping = AButtonMapping::initWithType(type, "");
        EXPECT_EQ(mapping->IsPredefinedKeyStroke(), !notKeyStrokes.contains(type)) << type;
        EXPECT_EQ(mapping->IsModifierOnly(), type >= 32 && type <= 35) << type;
    }
}

TEST_F(CatalogueTest, UnknownMappingIdsAndTypesGiveDisabled) {
    for (const std::int32_t id : {42, -1, 1000, INT32_MIN}) {
        const auto mapping = AButtonMapping::initWithMapId(id, "kept");
        EXPECT_EQ(mapping->mapType(), kDisabledMappingType) << id;
        EXPECT_EQ(mapping->macroKeys(), "kept");
    }
    for (const ButtonMappingType type : {42, -1, INT32_MAX}) {
        EXPECT_EQ(AButtonMapping::initWithType(type, "")->mapType(), kDisabledMappingType);
        EXPECT_EQ(AButtonMapping::buttonMappingChoiceLabelOfType(type), "");
    }
}

TEST_F(CatalogueTest, MappingAsDictCarriesTheIdAsTextAndTheMacroKeys) {
    const auto recording =
        AButtonMapping::initWithType(kKeyStrokeRecordingMappingType, "Return,36,0|Tab,48,131072");
    EXPECT_EQ(recording->MappingAsDict(),
              platform::PropertyList(platform::PropertyList::Dictionary{
                  {"kMappingIdKey", "14"}, {"MacroKeys", "Return,36,0|Tab,48,131072"}}));
    EXPECT_EQ(AButtonMapping::initWithType(kLeftClickMappingType, "")->MappingAsDict(),
              platform::PropertyList(
                  platform::PropertyList::Dictionary{{"kMappingIdKey", "1"}, {"MacroKeys", ""}}));
}

struct VersionCase {
    std::uint32_t major;
    std::uint32_t minor;
    bool missionControl;
};

class VersionDependentRowsTest : public testing::TestWithParam<VersionCase> {
protected:
    ~VersionDependentRowsTest() override { AButtonMapping::ResetClassStateForTesting(); }
};

TEST_P(VersionDependentRowsTest, RowsThirtySixAndThirtySevenFollowTheSystem) {
    const auto [major, minor, missionControl] = GetParam();
    platform::ScopedSystemVersion version(major, minor, 0);
    AButtonMapping::ResetClassStateForTesting();
    const auto row36 = AButtonMapping::initWithType(36, "");
    const auto row37 = AButtonMapping::initWithType(37, "");
    const auto desktop = AButtonMapping::initWithType(28, "");
    if (missionControl) {
        EXPECT_EQ(AButtonMapping::buttonMappingChoiceLabelOfType(36), "Show Mission Control");
        EXPECT_EQ(AButtonMapping::buttonMappingChoiceLabelOfType(37), "Show Application Windows");
        EXPECT_EQ(row36->KeyCode(), 126);
        EXPECT_EQ(row37->KeyCode(), 125);
        EXPECT_EQ(row36->ModifierFlags(), kControl);
        EXPECT_EQ(row37->ModifierFlags(), kControl);
    } else {
        EXPECT_EQ(AButtonMapping::buttonMappingChoiceLabelOfType(36), "Tile All Windows");
        EXPECT_EQ(AButtonMapping::buttonMappingChoiceLabelOfType(37), "Tile Application Windows");
        EXPECT_EQ(row36->KeyCode(), 101);
        EXPECT_EQ(row37->KeyCode(), 109);
        EXPECT_EQ(row36->ModifierFlags(), 0u);
        EXPECT_EQ(row37->ModifierFlags(), 0u);
    }
    EXPECT_EQ(row36->GetId(), 31);
    EXPECT_EQ(row37->GetId(), 32);
    EXPECT_EQ(desktop->KeyCode(), 103);
    EXPECT_EQ(desktop->ModifierFlags(), 0u);
    EXPECT_EQ(AButtonMapping::initWithMapId(36, "")->mapType(), kActivateSpacesMappingType);
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionDependentRowsTest,
                         testing::Values(VersionCase{10, 6, false}, VersionCase{10, 7, true},
                                         VersionCase{10, 8, true}, VersionCase{10, 9, true},
                                         VersionCase{11, 0, false}, VersionCase{6, 1, false}));

TEST(ClassInitialisationTest, RunsOnceUntilReset) {
    AButtonMapping::ResetClassStateForTesting();
    {
        platform::ScopedSystemVersion lion(10, 7, 0);
        AButtonMapping::initialize();
    }
    platform::ScopedSystemVersion snowLeopard(10, 6, 0);
    AButtonMapping::initialize();
    EXPECT_EQ(AButtonMapping::buttonMappingChoiceLabelOfType(36), "Show Mission Control");
    AButtonMapping::ResetClassStateForTesting();
    EXPECT_EQ(AButtonMapping::buttonMappingChoiceLabelOfType(36), "Tile All Windows");
    AButtonMapping::ResetClassStateForTesting();
}

}  // namespace
