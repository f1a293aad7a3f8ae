#include <gtest/gtest.h>

#include <stdexcept>

#include "DeviceSettings.h"
#include "InternalInconsistencyError.h"

namespace {

using platform::PropertyList;

PropertyList MappingDict(const char* id, const char* macroKeys = "") {
    return PropertyList::Dictionary{{"kMappingIdKey", id}, {"MacroKeys", macroKeys}};
}

PropertyList MappingArray(std::initializer_list<const char*> ids) {
    PropertyList::Array array;
    for (const char* id : ids) {
        array.push_back(MappingDict(id));
    }
    return array;
}

std::vector<ButtonMappingType> Types(const ADeviceSettings& settings, bool primary) {
    std::vector<ButtonMappingType> types;
    const int count = primary ? kNumPrimaryButtonMappings : kNumSecondaryButtonMappings;
    for (int i = 0; i < count; ++i) {
        types.push_back((primary ? settings.PrimaryButtonMappingAtIndex(i)
                                 : settings.SecondaryButtonMappingAtIndex(i))
                            ->mapType());
    }
    return types;
}

std::vector<ButtonMappingType> PrimaryTypes(const ADeviceSettings& settings) {
    return Types(settings, true);
}

std::vector<ButtonMappingType> SecondaryTypes(const ADeviceSettings& settings) {
    return Types(settings, false);
}

const std::vector<ButtonMappingType> kDefaultPrimary = {1, 10, 2, 13, 5, 26};
const std::vector<ButtonMappingType> kDefaultSecondary = {1, 10, 2, 13};

TEST(DeviceSettingsTest, NewRecordHoldsTheDefaults) {
    const ADeviceSettings settings;
    EXPECT_EQ(settings.pointerSensitivity(), 5);
    EXPECT_EQ(settings.scrollWheelSensitivity(), 5);
    EXPECT_FALSE(settings.reverseScrollDirection());
    EXPECT_EQ(PrimaryTypes(settings), kDefaultPrimary);
    EXPECT_EQ(SecondaryTypes(settings), kDefaultSecondary);
    EXPECT_EQ(settings.PrimaryButtonMappingAtIndex(0)->macroKeys(), "");
}

TEST(DeviceSettingsTest, SettingsDictOfDefaultsCarriesTextAndMappingIds) {
    const PropertyList expected(PropertyList::Dictionary{
        {"PointerSensitivityKey", "5"},
        {"ScrollWheelSensitivityKey", "5"},
        {"ReverseScrollDirectionKey", "0"},
        {"PrimaryButtonMappings", MappingArray({"1", "9", "2", "12", "4", "25"})},
        {"SecondaryButtonMappings", MappingArray({"1", "9", "2", "12"})},
    });
    EXPECT_EQ(ADeviceSettings().SettingsAsDict(), expected);
}

TEST(DeviceSettingsTest, RestoreDefaultValuesUndoesEveryChange) {
    ADeviceSettings settings;
    settings.setPointerSensitivity(-40);
    settings.setScrollWheelSensitivity(12);
    settings.setReverseScrollDirection(true);
    settings.SetPrimaryButtonMapping(AButtonMapping::initWithType(7, ""), 5);
    settings.SetSecondaryButtonMapping(AButtonMapping::initWithType(15, "Return,36,0"), 3);
    EXPECT_EQ(settings.pointerSensitivity(), -40);
    EXPECT_FALSE(settings == ADeviceSettings());
    settings.RestoreDefaultValues();
    EXPECT_EQ(settings, ADeviceSettings());
}

TEST(DeviceSettingsTest, SetterSharesTheMappingAndKeepsTheOthers) {
    ADeviceSettings settings;
    const auto copy = AButtonMapping::initWithType(7, "");
    settings.SetPrimaryButtonMapping(copy, 3);
    EXPECT_EQ(settings.PrimaryButtonMappingAtIndex(3), copy);
    EXPECT_EQ(PrimaryTypes(settings), (std::vector<ButtonMappingType>{1, 10, 2, 7, 5, 26}));
    EXPECT_EQ(SecondaryTypes(settings), kDefaultSecondary);
}

struct IndexCase {
    bool primary;
    std::int32_t index;
    const char* message;
};

class MappingIndexTest : public testing::TestWithParam<IndexCase> {};

TEST_P(MappingIndexTest, GettersAndSettersRefuseIndexesOutsideTheList) {
    const auto [primary, index, message] = GetParam();
    ADeviceSettings settings;
    const auto mapping = AButtonMapping::initWithType(7, "");
    const auto expectFailure = [&](auto&& call) {
        try {
            call();
            ADD_FAILURE() << "index " << index << " accepted";
        } catch (const InternalInconsistencyError& error) {
            EXPECT_STREQ(error.what(), message);
            EXPECT_EQ(error.source(), "Project/Driver/Common/DeviceSettings");
        }
    };
    if (primary) {
        expectFailure([&] { settings.PrimaryButtonMappingAtIndex(index); });
        expectFailure([&] { settings.SetPrimaryButtonMapping(mapping, index); });
    } else {
        expectFailure([&] { settings.SecondaryButtonMappingAtIndex(index); });
        expectFailure([&] { settings.SetSecondaryButtonMapping(mapping, index); });
    }
    EXPECT_EQ(settings, ADeviceSettings());
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, MappingIndexTest,
    testing::Values(IndexCase{true, 6, "Primary mapping index must be between 0 and 5"},
                    IndexCase{true, -1, "Primary mapping index must be between 0 and 5"},
                    IndexCase{true, INT32_MIN, "Primary mapping index must be between 0 and 5"},
                    IndexCase{false, 4, "Secondary mapping index must be between 0 and 3"},
                    IndexCase{false, -1, "Secondary mapping index must be between 0 and 3"}));

TEST(DeviceSettingsTest, SettersRefuseANullMappingAndKeepTheEntry) {
    ADeviceSettings settings;
    EXPECT_THROW(settings.SetPrimaryButtonMapping(nullptr, 0), std::invalid_argument);
    EXPECT_THROW(settings.SetSecondaryButtonMapping(nullptr, 0), std::invalid_argument);
    EXPECT_EQ(settings, ADeviceSettings());
}

TEST(DeviceSettingsTest, SettingsDictRestoresToAnEqualRecord) {
    ADeviceSettings original;
    original.setPointerSensitivity(-7);
    original.setScrollWheelSensitivity(2147483647);
    original.setReverseScrollDirection(true);
    for (int i = 0; i < kNumPrimaryButtonMappings; ++i) {
        original.SetPrimaryButtonMapping(AButtonMapping::initWithType(30 + i, ""), i);
    }
    original.SetSecondaryButtonMapping(
        AButtonMapping::initWithType(15, "Return,36,0|Tab,48,131072"), 2);
    original.SetSecondaryButtonMapping(AButtonMapping::initWithType(3, "left over"), 3);
    ADeviceSettings restored;
    restored.RestoreFromDictionary(original.SettingsAsDict());
    EXPECT_EQ(restored, original);
}

PropertyList SettingsWith(const char* key, PropertyList value) {
    auto dictionary = *ADeviceSettings().SettingsAsDict().AsDictionary();
    dictionary.insert_or_assign(key, std::move(value));
    return dictionary;
}

PropertyList SettingsWithout(const char* key) {
    auto dictionary = *ADeviceSettings().SettingsAsDict().AsDictionary();
    dictionary.erase(key);
    return dictionary;
}

struct ReverseCase {
    const char* name;
    PropertyList dictionary;
    bool reversed;
    friend void PrintTo(const ReverseCase& c, std::ostream* out) { *out << c.name; }
};

class ReverseFlagTest : public testing::TestWithParam<ReverseCase> {};

TEST_P(ReverseFlagTest, TakesTheLowByteOfTheIntegerText) {
    ADeviceSettings settings;
    settings.setReverseScrollDirection(!GetParam().reversed);
    settings.RestoreFromDictionary(GetParam().dictionary);
    EXPECT_EQ(settings.reverseScrollDirection(), GetParam().reversed);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReverseFlagTest,
    testing::Values(
        ReverseCase{"One", SettingsWith("ReverseScrollDirectionKey", "1"), true},
        ReverseCase{"Two", SettingsWith("ReverseScrollDirectionKey", " 2x"), true},
        ReverseCase{"Zero", SettingsWith("ReverseScrollDirectionKey", "0"), false},
        ReverseCase{"Empty", SettingsWith("ReverseScrollDirectionKey", ""), false},
        ReverseCase{"Missing", SettingsWithout("ReverseScrollDirectionKey"), false},
        ReverseCase{"LowByteZero", SettingsWith("ReverseScrollDirectionKey", "256"), false},
        ReverseCase{"Boolean",
                    SettingsWith("ReverseScrollDirectionKey", PropertyList::MakeBoolean(true)),
                    false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RestoreFromDictionaryTest, SensitivitiesAreTakenUncheckedAndUnreadableOnesBecomeZero) {
    ADeviceSettings settings;
    auto dictionary = *SettingsWith("PointerSensitivityKey", "12").AsDictionary();
    dictionary.insert_or_assign("ScrollWheelSensitivityKey", "-3 steps");
    settings.RestoreFromDictionary(dictionary);
    EXPECT_EQ(settings.pointerSensitivity(), 12);
    EXPECT_EQ(settings.scrollWheelSensitivity(), -3);

    dictionary.erase("PointerSensitivityKey");
    dictionary.insert_or_assign("ScrollWheelSensitivityKey", PropertyList::MakeInteger(7));
    settings.RestoreFromDictionary(dictionary);
    EXPECT_EQ(settings.pointerSensitivity(), 0);
    EXPECT_EQ(settings.scrollWheelSensitivity(), 0);
}

TEST(RestoreFromDictionaryTest, MappingsComeBackByIdWithTheirMacroKeys) {
    ADeviceSettings settings;
    PropertyList::Array primary = *MappingArray({"37", "41", "0", "31", "42", "abc"}).AsArray();
    primary[0] = MappingDict("37", "Return,36,0");
    primary[1] = PropertyList::Dictionary{{"kMappingIdKey", "41"}};
    settings.RestoreFromDictionary(SettingsWith("PrimaryButtonMappings", primary));
    EXPECT_EQ(PrimaryTypes(settings), (std::vector<ButtonMappingType>{3, 35, 0, 36, 0, 0}));
    EXPECT_EQ(settings.PrimaryButtonMappingAtIndex(0)->macroKeys(), "Return,36,0");
    EXPECT_EQ(settings.PrimaryButtonMappingAtIndex(1)->macroKeys(), "");
}

TEST(RestoreFromDictionaryTest, EntriesThatAreNotMappingDictionariesReadAsDisabled) {
    ADeviceSettings settings;
    const PropertyList secondary(PropertyList::Array{
        "9", PropertyList::MakeInteger(9), PropertyList::Array{},
        PropertyList::Dictionary{{"kMappingIdKey", PropertyList::MakeInteger(9)},
                                 {"MacroKeys", PropertyList::MakeInteger(1)}}});
    settings.RestoreFromDictionary(SettingsWith("SecondaryButtonMappings", secondary));
    EXPECT_EQ(SecondaryTypes(settings), (std::vector<ButtonMappingType>{0, 0, 0, 0}));
    EXPECT_EQ(settings.SecondaryButtonMappingAtIndex(3)->macroKeys(), "");
}

struct ListCase {
    const char* name;
    const char* key;
    PropertyList value;
    friend void PrintTo(const ListCase& c, std::ostream* out) { *out << c.name; }
};

class UnfitListTest : public testing::TestWithParam<ListCase> {};

// The pane always sends 6 and 4 entries; anything else keeps the record's
// mappings for that list so that every index stays usable.
TEST_P(UnfitListTest, KeepsTheListItReplacesAndTakesTheRest) {
    ADeviceSettings settings;
    const auto custom = AButtonMapping::initWithType(7, "");
    settings.SetPrimaryButtonMapping(custom, 0);
    settings.SetSecondaryButtonMapping(custom, 0);
    auto dictionary = *SettingsWith(GetParam().key, GetParam().value).AsDictionary();
    dictionary.insert_or_assign("PointerSensitivityKey", "8");
    settings.RestoreFromDictionary(dictionary);
    EXPECT_EQ(settings.pointerSensitivity(), 8);
    const bool primaryKept = std::string(GetParam().key) == "PrimaryButtonMappings";
    EXPECT_EQ(settings.PrimaryButtonMappingAtIndex(0)->mapType(), primaryKept ? 7 : 1);
    EXPECT_EQ(settings.SecondaryButtonMappingAtIndex(0)->mapType(), primaryKept ? 1 : 7);
    EXPECT_EQ(settings.PrimaryButtonMappingAtIndex(5)->mapType(), 26);
    EXPECT_EQ(settings.SecondaryButtonMappingAtIndex(3)->mapType(), 13);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, UnfitListTest,
    testing::Values(ListCase{"PrimaryShort", "PrimaryButtonMappings",
                             MappingArray({"1", "1", "1", "1", "1"})},
                    ListCase{"PrimaryLong", "PrimaryButtonMappings",
                             MappingArray({"1", "1", "1", "1", "1", "1", "1"})},
                    ListCase{"PrimaryEmpty", "PrimaryButtonMappings", PropertyList::Array{}},
                    ListCase{"PrimaryNotArray", "PrimaryButtonMappings", MappingDict("1")},
                    ListCase{"SecondaryShort", "SecondaryButtonMappings", MappingArray({"1"})},
                    ListCase{"SecondaryLong", "SecondaryButtonMappings",
                             MappingArray({"1", "1", "1", "1", "1", "1"})},
                    ListCase{"SecondaryNotArray", "SecondaryButtonMappings", "1,1,1,1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RestoreFromDictionaryTest, MissingListsKeepTheirMappings) {
    ADeviceSettings settings;
    settings.RestoreFromDictionary(PropertyList::Dictionary{{"PointerSensitivityKey", "3"}});
    EXPECT_EQ(settings.pointerSensitivity(), 3);
    EXPECT_EQ(settings.scrollWheelSensitivity(), 0);
    EXPECT_EQ(PrimaryTypes(settings), kDefaultPrimary);
    EXPECT_EQ(SecondaryTypes(settings), kDefaultSecondary);
}

TEST(RestoreFromDictionaryTest, AValueThatIsNotADictionaryChangesNothing) {
    ADeviceSettings settings;
    settings.setPointerSensitivity(9);
    for (const PropertyList& value :
         {PropertyList("5"), PropertyList::MakeInteger(5),
          PropertyList(PropertyList::Array{ADeviceSettings().SettingsAsDict()})}) {
        settings.RestoreFromDictionary(value);
        EXPECT_EQ(settings.pointerSensitivity(), 9) << value;
    }
}

}  // namespace
