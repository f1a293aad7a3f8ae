// Settings intake runs on the agent's thread while reports run on the HID
// event path, with no lock between them. Every entry a report reads must be
// one delivery's value or the other's, never a mix. Built on its own so that
// the thread-sanitizer build (scripts/sanitize-threads.sh) can check it for
// data races.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "DriverTestSupport.h"

namespace {

using namespace drivertest;

// Halves that differ, so that a torn store would show as a third value.
constexpr Type kFirst = 0x00000007;
constexpr Type kSecond = 0xFFFF0001;
constexpr int kChecks = 20000;

bool IsWhole(Type type) {
    return type == kFirst || type == kSecond;
}

Settings Everywhere(Type type, std::uint32_t reverse) {
    return {std::vector<Type>(6, type), std::vector<Type>(4, type), reverse, 0};
}

TEST(ConcurrentIntake, ReportsSeeEachEntryWholeWhileDeliveriesRace) {
    DriverUnderTest test;
    test.Deliver(Everywhere(kFirst, 0));
    std::atomic<bool> done{false};

    // The agent keeps delivering for as long as the reports go on.
    std::thread agent([&] {
        for (int i = 0; !done.load(); ++i) {
            test.Deliver(i % 2 == 0 ? Everywhere(kSecond, 1) : Everywhere(kFirst, 0));
        }
    });

    int torn = 0;
    for (int check = 0; check < kChecks; ++check) {
        test.Report(0x10);
        test.Report(0);
        for (std::uint8_t bit : {0x01, 0x04, 0x02, 0x10, 0x08, 0x20}) {
            torn += IsWhole(test->GetPrimaryMappingType(bit)) ? 0 : 1;
        }
        for (std::uint8_t bit : {0x01, 0x04, 0x02, 0x10}) {
            torn += IsWhole(test->GetSecondaryMappingType(bit)) ? 0 : 1;
        }
        test.TakeLog();
    }
    done.store(true);
    agent.join();
    EXPECT_EQ(torn, 0);
}

}  // namespace
