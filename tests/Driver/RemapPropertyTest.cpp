// Long random report sequences through instances with random settings: the
// guarantees every report keeps, whatever the settings and reports.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "DriverTestSupport.h"

namespace drivertest {
namespace {

// Types the engine treats differently get most of the draws.
Type RandomType(std::mt19937& random) {
    static const Type kInteresting[] = {0, 1, 2, 3, 10, 26, 26, 32, 35, 7, 41, 1000};
    if (random() % 4 == 0) {
        return random() % 42;
    }
    return kInteresting[random() % std::size(kInteresting)];
}

// Mostly states of the six buttons, with releases, and now and then the
// two unused low bits or bits above the low 8.
std::uint32_t RandomReport(std::mt19937& random) {
    switch (random() % 10) {
        case 0:
        case 1:
            return 0;
        case 2:
            return static_cast<std::uint32_t>(random() & 0xFF);
        case 3:
            return static_cast<std::uint32_t>(random() & 0x3FF);
        default:
            return static_cast<std::uint32_t>(random() & 0x3F);
    }
}

Settings RandomSettings(std::mt19937& random) {
    Settings settings{std::vector<Type>(6), std::vector<Type>(4), random() % 2,
                      random() % 3 == 0 ? 1U : 0U};
    for (Type& type : *settings.primary) {
        type = RandomType(random);
    }
    for (Type& type : *settings.secondary) {
        type = RandomType(random);
    }
    return settings;
}

TEST(RemapProperties, RandomReportSequencesKeepTheMessageAndForwardingRules) {
    std::mt19937 random(20261207);
    for (int instance = 0; instance < 200; ++instance) {
        DriverUnderTest mouse;
        mouse.Deliver(RandomSettings(random));
        std::uint32_t previousLow8 = 0;
        for (int n = 0; n < 2000; ++n) {
            if (random() % 500 == 0) {
                mouse.Deliver(RandomSettings(random));
            }
            const std::uint32_t report = RandomReport(random);
            const std::vector<Received> log = mouse.Report(report);
            const std::vector<std::uint32_t> messages = Messages(log);
            const std::vector<std::uint32_t> forwarded = ForwardedStates(log);
            const bool doubleClick = forwarded.size() == 5;
            SCOPED_TRACE(testing::Message() << "instance " << instance << " report #" << n << " = "
                                            << report << " after " << previousLow8);

            ASSERT_LE(messages.size(), 1U);
            ASSERT_TRUE(forwarded.size() == 1 || doubleClick);
            ASSERT_FALSE(doubleClick && !messages.empty());
            for (std::uint32_t state : forwarded) {
                ASSERT_EQ(state & ~0x07U, 0U);
            }
            if (report == 0) {
                // All released is announced exactly when the previous report
                // had a low button bit set, and nothing else is.
                ASSERT_EQ(messages, previousLow8 != 0 ? std::vector<std::uint32_t>{255}
                                                      : std::vector<std::uint32_t>{});
                ASSERT_EQ(forwarded, std::vector<std::uint32_t>{0});
            } else if (!messages.empty() && messages[0] == 255) {
                // A button code can only look like all released when all
                // eight low bits are the whole state.
                ASSERT_EQ(report, 0xFFU);
            }
            previousLow8 = report & 0xFF;
        }
    }
}

}  // namespace
}  // namespace drivertest
