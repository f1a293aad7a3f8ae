// Settings intake: what a delivery changes, the one-way switch to the Tarn
// layout, and deliveries that are malformed.

#include <gtest/gtest.h>

#include <vector>

#include "DriverTestSupport.h"
#include "OSArray.h"
#include "OSBoolean.h"
#include "OSNumber.h"
#include "OSString.h"

namespace drivertest {
namespace {

const std::vector<std::uint8_t> kDefaultFlags = {0x01, 0x04, 0x02, 0x10, 0x08, 0x20};
const std::vector<std::uint8_t> kTarnFlags = {0x01, 0x04, 0x02, 0x08, 0x10, 0x00};
const std::vector<std::int32_t> kDefaultCounts = {6, 6, 4};
const std::vector<std::int32_t> kTarnCounts = {5, 5, 3};

Settings Tables(std::vector<Type> primary, std::vector<Type> secondary,
                std::optional<std::uint32_t> tarn) {
    return {std::move(primary), std::move(secondary), std::nullopt, tarn};
}

std::vector<Type> PrimaryTable(InspectableDriver& driver) {
    std::vector<Type> table;
    for (int i = 0; i < 6; ++i) {
        table.push_back(driver.PrimaryAt(i));
    }
    return table;
}

std::vector<Type> SecondaryTable(InspectableDriver& driver) {
    std::vector<Type> table;
    for (int i = 0; i < 4; ++i) {
        table.push_back(driver.SecondaryAt(i));
    }
    return table;
}

TEST(PropertyIntake, FreshInstanceHasDefaultLayoutAndEveryButtonDisabled) {
    DriverUnderTest mouse;
    EXPECT_EQ(mouse->ReportFlags(), kDefaultFlags);
    EXPECT_EQ(mouse->Counts(), kDefaultCounts);
    for (std::uint32_t bit : {0x01U, 0x04U, 0x02U, 0x10U, 0x08U, 0x20U}) {
        std::vector<Received> pressed = mouse.Report(bit);
        EXPECT_TRUE(Messages(pressed).empty()) << bit;
        EXPECT_EQ(ForwardedStates(pressed), std::vector<std::uint32_t>{0}) << bit;
        EXPECT_EQ(Messages(mouse.Report(0)), std::vector<std::uint32_t>{255}) << bit;
    }
}

TEST(PropertyIntake, TablesAndFlagsAreTakenAsSent) {
    DriverUnderTest mouse;
    mouse.Deliver({std::vector<Type>{1, 2, 3, 7, 10, 26}, std::vector<Type>{22, 2, 41, 99}, 1, 0});
    EXPECT_EQ(PrimaryTable(mouse.driver()), (std::vector<Type>{1, 2, 3, 7, 10, 26}));
    EXPECT_EQ(SecondaryTable(mouse.driver()), (std::vector<Type>{22, 2, 41, 99}));
    EXPECT_TRUE(mouse->ReverseScroll());
    EXPECT_FALSE(mouse->TarnMouse());
    EXPECT_EQ(mouse->ReportFlags(), kDefaultFlags);
}

TEST(PropertyIntake, OnlyReverseScrollKeepsTablesAndClearsTarnFlag) {
    DriverUnderTest mouse;
    mouse.Deliver(Tables({1, 2, 3, 4, 5, 6}, {7, 8, 9, 10}, 1));
    mouse.Deliver({std::nullopt, std::nullopt, 1, std::nullopt});
    EXPECT_TRUE(mouse->ReverseScroll());
    EXPECT_FALSE(mouse->TarnMouse());
    EXPECT_EQ(PrimaryTable(mouse.driver()), (std::vector<Type>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(SecondaryTable(mouse.driver()), (std::vector<Type>{7, 8, 9, 10}));
    // The layout switch is not undone by the flag being cleared.
    EXPECT_EQ(mouse->ReportFlags(), kTarnFlags);
    EXPECT_EQ(mouse->Counts(), kTarnCounts);
}

TEST(PropertyIntake, TarnSwitchAfterFullFirstDeliveryThenShorterOnes) {
    DriverUnderTest mouse;
    mouse.Deliver(Tables({1, 2, 3, 4, 5, 6}, {7, 8, 9, 10}, 1));
    EXPECT_TRUE(mouse->TarnMouse());
    EXPECT_EQ(PrimaryTable(mouse.driver()), (std::vector<Type>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(SecondaryTable(mouse.driver()), (std::vector<Type>{7, 8, 9, 10}));
    EXPECT_EQ(mouse->ReportFlags(), kTarnFlags);
    EXPECT_EQ(mouse->Counts(), kTarnCounts);

    mouse.Deliver(Tables({11, 12, 13, 14, 15, 16}, {17, 18, 19, 20}, 1));
    EXPECT_EQ(PrimaryTable(mouse.driver()), (std::vector<Type>{11, 12, 13, 14, 15, 6}));
    EXPECT_EQ(SecondaryTable(mouse.driver()), (std::vector<Type>{17, 18, 19, 10}));

    mouse.Deliver(Tables({1, 1, 1, 1, 1, 1}, {1, 1, 1, 1}, 0));
    EXPECT_FALSE(mouse->TarnMouse());
    EXPECT_EQ(mouse->ReportFlags(), kTarnFlags);
    EXPECT_EQ(mouse->Counts(), kTarnCounts);
}

TEST(PropertyIntake, TarnSwitchOfOneInstanceLeavesAnotherAlone) {
    DriverUnderTest tarn;
    DriverUnderTest sixButtons;
    tarn.Deliver(Tables({0, 0, 0, 0, 0, 0}, {0, 0, 0, 0}, 1));
    sixButtons.Deliver(Tables({0, 0, 0, 0, 0, 0}, {0, 0, 0, 0}, 0));
    EXPECT_EQ(tarn->ReportFlags(), kTarnFlags);
    EXPECT_EQ(sixButtons->ReportFlags(), kDefaultFlags);
    EXPECT_EQ(sixButtons->Counts(), kDefaultCounts);
}

TEST(PropertyIntake, FlagsAreNotZeroTestsOfTheLow32Bits) {
    DriverUnderTest mouse;
    mouse.Deliver({std::nullopt, std::nullopt, 7, 2});
    EXPECT_TRUE(mouse->ReverseScroll());
    EXPECT_TRUE(mouse->TarnMouse());
    mouse.Deliver({std::nullopt, std::nullopt, 0, std::nullopt});
    EXPECT_FALSE(mouse->ReverseScroll());
}

// ---- Deliveries that are not what the agent sends ----

TEST(MalformedIntake, BooleanFlagsAreNotRead) {
    DriverUnderTest mouse;
    OSDictionary* properties = OSDictionary::withCapacity(2);
    OSBoolean* yes = OSBoolean::withBoolean(true);
    properties->setObject("ReverseScrollDirectionKey", yes);
    properties->setObject("IsTarnMouse", yes);
    mouse->setProperties(properties);
    EXPECT_FALSE(mouse->ReverseScroll());
    EXPECT_FALSE(mouse->TarnMouse());
    EXPECT_EQ(mouse->Counts(), kDefaultCounts);
    yes->release();
    properties->release();
}

TEST(MalformedIntake, PropertiesThatAreNoDictionaryChangeNothing) {
    DriverUnderTest mouse;
    mouse.Deliver(Tables({1, 2, 3, 4, 5, 6}, {7, 8, 9, 10}, std::nullopt));
    OSArray* array = OSArray::withCapacity(1);
    OSNumber* number = OSNumber::withNumber(1, 32);
    array->setObject(number);
    for (OSObject* notADictionary : {static_cast<OSObject*>(nullptr), static_cast<OSObject*>(array),
                                     static_cast<OSObject*>(number)}) {
        EXPECT_EQ(mouse->setProperties(notADictionary), kIOReturnUnsupported);
    }
    EXPECT_EQ(PrimaryTable(mouse.driver()), (std::vector<Type>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(SecondaryTable(mouse.driver()), (std::vector<Type>{7, 8, 9, 10}));
    number->release();
    array->release();
}

TEST(MalformedIntake, ShortArraysSupplyWhatTheyHave) {
    DriverUnderTest mouse;
    mouse.Deliver(Tables({1, 2, 3, 4, 5, 6}, {7, 8, 9, 10}, std::nullopt));
    mouse.Deliver(Tables({21, 22}, {}, std::nullopt));
    EXPECT_EQ(PrimaryTable(mouse.driver()), (std::vector<Type>{21, 22, 3, 4, 5, 6}));
    EXPECT_EQ(SecondaryTable(mouse.driver()), (std::vector<Type>{7, 8, 9, 10}));
}

TEST(MalformedIntake, ElementsThatAreNoNumbersKeepTheirEntries) {
    DriverUnderTest mouse;
    mouse.Deliver(Tables({1, 2, 3, 4, 5, 6}, {7, 8, 9, 10}, std::nullopt));

    OSArray* primary = OSArray::withCapacity(6);
    OSString* text = OSString::withCString("7");
    OSBoolean* yes = OSBoolean::withBoolean(true);
    OSArray* nested = OSArray::withCapacity(0);
    OSNumber* wide = OSNumber::withNumber(0x1'0000'001AULL, 64);
    for (OSObject* element :
         std::initializer_list<OSObject*>{text, wide, yes, nested, wide, text}) {
        primary->setObject(element);
    }
    OSDictionary* properties = OSDictionary::withCapacity(2);
    properties->setObject("PrimaryButtonMappings", primary);
    properties->setObject("SecondaryButtonMappings", text);  // not an array at all
    mouse->setProperties(properties);

    // A 64-bit number contributes its low 32 bits.
    EXPECT_EQ(PrimaryTable(mouse.driver()), (std::vector<Type>{1, 26, 3, 4, 26, 6}));
    EXPECT_EQ(SecondaryTable(mouse.driver()), (std::vector<Type>{7, 8, 9, 10}));
    for (OSObject* object :
         std::initializer_list<OSObject*>{properties, primary, text, yes, nested, wide}) {
        object->release();
    }
}

TEST(PropertyIntake, EventStateSurvivesADelivery) {
    DriverUnderTest mouse;
    mouse.Deliver(MappingSettings({{0, 1}}));
    mouse.Report(0x01);
    mouse.Deliver(MappingSettings({{0, 2}}));
    EXPECT_EQ(mouse->LastButtonState(), 0x01);
    // The held button now resolves through the new table.
    EXPECT_EQ(ForwardedStates(mouse.Report(0x01)), std::vector<std::uint32_t>{0x02});
}

}  // namespace
}  // namespace drivertest
