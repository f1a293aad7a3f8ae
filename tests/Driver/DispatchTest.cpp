// Event dispatch: what the system receives for each report, and the messages
// the driver's clients receive.

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "DriverTestSupport.h"

namespace drivertest {
namespace {

using Kind = IOHIDSystemEvent::Kind;

TEST(PointerDispatch, DoubleClickIsFiveEventsCarryingTheReportsMotion) {
    DriverUnderTest mouse;
    mouse.Deliver(MappingSettings({{1, 10}}));
    std::vector<Received> log = mouse.Report(0x04, 3, 0);
    EXPECT_TRUE(Messages(log).empty());
    EXPECT_EQ(ForwardedStates(log), (std::vector<std::uint32_t>{0x01, 0x00, 0x01, 0x00, 0x00}));
    for (const Received& r : log) {
        EXPECT_EQ(r.event.kind, Kind::RelativePointer);
        EXPECT_EQ(r.event.dx, 3);
        EXPECT_EQ(r.event.dy, 0);
        EXPECT_EQ(r.event.timestamp, (UnsignedWide{0, 7}));
    }
}

TEST(PointerDispatch, AbsoluteDoubleClickPassesEveryArgumentToAllFiveEvents) {
    DriverUnderTest mouse;
    mouse.Deliver(MappingSettings({{1, 10}}));
    IOGBounds bounds{0, 1000, 0, 800};
    mouse->dispatchAbsolutePointerEvent(UnsignedWide{1, 2}, 120, 340, &bounds, 0x04, true, 5, 1, 9,
                                        0x40);
    std::vector<Received> log = mouse.TakeLog();
    EXPECT_EQ(ForwardedStates(log), (std::vector<std::uint32_t>{0x01, 0x00, 0x01, 0x00, 0x00}));
    for (const Received& r : log) {
        const IOHIDSystemEvent& e = r.event;
        EXPECT_EQ(e.kind, Kind::AbsolutePointer);
        EXPECT_EQ(e.timestamp, (UnsignedWide{1, 2}));
        EXPECT_EQ(e.x, 120);
        EXPECT_EQ(e.y, 340);
        EXPECT_EQ(e.bounds, &bounds);
        EXPECT_TRUE(e.inRange);
        EXPECT_EQ(e.tipPressure, 5);
        EXPECT_EQ(e.tipPressureMin, 1);
        EXPECT_EQ(e.tipPressureMax, 9);
        EXPECT_EQ(e.options, 0x40U);
    }
}

TEST(PointerDispatch, AbsoluteReportsRunTheSameEngine) {
    DriverUnderTest mouse;
    mouse.Deliver(MappingSettings({{3, 7}, {0, 1}}));
    IOGBounds bounds{};
    mouse->dispatchAbsolutePointerEvent(UnsignedWide{}, 1, 1, &bounds, 0x11, true, 0, 0, 0);
    mouse->dispatchAbsolutePointerEvent(UnsignedWide{}, 1, 1, &bounds, 0x00, true, 0, 0, 0);
    std::vector<Received> log = mouse.TakeLog();
    ASSERT_EQ(log.size(), 3U);  // two buttons in one report resolve to nothing
    EXPECT_EQ(ForwardedStates(log), (std::vector<std::uint32_t>{0x00, 0x00}));
    EXPECT_EQ(Messages(log), std::vector<std::uint32_t>{255});
}

TEST(PointerDispatch, AnnouncedButtonMessageComesBeforeTheReport) {
    DriverUnderTest mouse;
    mouse.Deliver(MappingSettings({{3, 7}}));
    std::vector<Received> pressed = mouse.Report(0x10, 2, -1);
    ASSERT_EQ(pressed.size(), 2U);
    EXPECT_TRUE(pressed[0].isMessage);
    EXPECT_EQ(pressed[0].value, 0x10U);
    EXPECT_FALSE(pressed[1].isMessage);
    EXPECT_EQ(pressed[1].value, 0U);
    EXPECT_EQ(pressed[1].event.dx, 2);
    EXPECT_EQ(pressed[1].event.dy, -1);

    EXPECT_TRUE(Messages(mouse.Report(0x10)).empty());
}

TEST(PointerDispatch, AllReleasedIsSentOnceAfterActivity) {
    DriverUnderTest mouse;
    EXPECT_TRUE(Messages(mouse.Report(0)).empty());
    mouse.Report(0x02);
    EXPECT_EQ(Messages(mouse.Report(0)), std::vector<std::uint32_t>{255});
    EXPECT_TRUE(Messages(mouse.Report(0)).empty());
    EXPECT_TRUE(Messages(mouse.Report(0)).empty());
}

TEST(PointerDispatch, FunctionsTheDriverPerformsSendNoMessage) {
    for (Type type : {0U, 1U, 2U, 3U}) {
        DriverUnderTest mouse;
        mouse.Deliver(MappingSettings({{2, type}}));
        std::vector<Received> log = mouse.Report(0x02);
        EXPECT_TRUE(Messages(log).empty()) << type;
        EXPECT_EQ(ForwardedStates(log),
                  std::vector<std::uint32_t>{type == 0 ? 0 : 1U << (type - 1)})
            << type;
    }
}

TEST(PointerDispatch, MessagesGoToEveryClientAndStopAfterUnregistering) {
    DriverUnderTest mouse;
    mouse.Deliver(MappingSettings({{3, 7}}));
    std::vector<std::uint32_t> second;
    IOService::InterestNotifierID id = mouse->registerInterest(
        kIOGeneralInterest, [&](IOService&, std::uint32_t type, void* argument, std::size_t size) {
            EXPECT_EQ(argument, nullptr);
            EXPECT_EQ(size, 0U);
            second.push_back(type);
        });
    EXPECT_EQ(Messages(mouse.Report(0x10)), std::vector<std::uint32_t>{0x10});
    EXPECT_TRUE(mouse->unregisterInterest(id));
    EXPECT_EQ(Messages(mouse.Report(0)), std::vector<std::uint32_t>{255});
    EXPECT_EQ(second, std::vector<std::uint32_t>{0x10});
}

struct ScrollCase {
    bool reverse;
    std::int32_t axis1, expectedAxis1;
};

TEST(ScrollDispatch, VerticalAxisIsReversedOnRequestOnly) {
    for (ScrollCase c : {ScrollCase{true, 2, -2}, ScrollCase{true, -1, 1}, ScrollCase{true, 0, 0},
                         ScrollCase{true, INT_MIN, INT_MAX}, ScrollCase{false, 2, 2},
                         ScrollCase{false, INT_MIN, INT_MIN}}) {
        DriverUnderTest mouse;
        mouse.Deliver({std::nullopt, std::nullopt, c.reverse ? 1U : 0U, std::nullopt});
        mouse->dispatchScrollWheelEvent(UnsignedWide{3, 4}, c.axis1, 5, -6, 0x8);
        std::vector<Received> log = mouse.TakeLog();
        ASSERT_EQ(log.size(), 1U);
        const IOHIDSystemEvent& e = log[0].event;
        EXPECT_EQ(e.kind, Kind::ScrollWheel);
        EXPECT_EQ(e.deltaAxis1, c.expectedAxis1) << c.axis1;
        EXPECT_EQ(e.deltaAxis2, 5);
        EXPECT_EQ(e.deltaAxis3, -6);
        EXPECT_EQ(e.timestamp, (UnsignedWide{3, 4}));
        EXPECT_EQ(e.options, 0x8U);
    }
}

TEST(ScrollDispatch, LeavesButtonStateAlone) {
    DriverUnderTest mouse;
    mouse.Deliver(MappingSettings({{0, 1}, {2, 2}}));
    mouse.Report(0x01);
    mouse.Report(0x03);
    const std::uint8_t last = mouse->LastButtonState();
    const std::uint8_t lookup = mouse->LookupButtons();
    mouse->dispatchScrollWheelEvent(UnsignedWide{}, 1, 0, 0);
    EXPECT_EQ(mouse->LastButtonState(), last);
    EXPECT_EQ(mouse->LookupButtons(), lookup);
    EXPECT_TRUE(Messages(mouse.TakeLog()).empty());
}

}  // namespace
}  // namespace drivertest
