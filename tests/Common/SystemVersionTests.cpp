#include <gtest/gtest.h>

#include <optional>

#include "SystemVersion.h"
#include "SystemVersionQuery.h"

namespace {

using platform::ParseReleaseNumber;
using platform::ScopedSystemVersion;
using platform::VersionSelector;

struct ReleaseCase {
    const char* release;
    std::optional<std::uint32_t> major;
    std::optional<std::uint32_t> minor;
    std::optional<std::uint32_t> bugFix;
};

class ReleaseTextTest : public testing::TestWithParam<ReleaseCase> {};

TEST_P(ReleaseTextTest, GivesTheLeadingDottedNumbers) {
    const auto& [release, major, minor, bugFix] = GetParam();
    EXPECT_EQ(ParseReleaseNumber(release, VersionSelector::Major), major);
    EXPECT_EQ(ParseReleaseNumber(release, VersionSelector::Minor), minor);
    EXPECT_EQ(ParseReleaseNumber(release, VersionSelector::BugFix), bugFix);
}

INSTANTIATE_TEST_SUITE_P(
    KernelReleases, ReleaseTextTest,
    testing::Values(ReleaseCase{"6.1.0-18-amd64", 6, 1, 0}, ReleaseCase{"5.15.0", 5, 15, 0},
                    ReleaseCase{"10.9.5.1", 10, 9, 5}, ReleaseCase{"5.15-rc1", 5, 15, std::nullopt},
                    ReleaseCase{"4", 4, std::nullopt, std::nullopt},
                    ReleaseCase{"6.", 6, std::nullopt, std::nullopt},
                    ReleaseCase{"", std::nullopt, std::nullopt, std::nullopt},
                    ReleaseCase{"v6.1.0", std::nullopt, std::nullopt, std::nullopt},
                    ReleaseCase{"99999999999.1.2", std::nullopt, std::nullopt, std::nullopt}));

TEST(LinuxSystemVersionSourceTest, ReadsTheRunningKernelsMajorNumber) {
    platform::LinuxSystemVersionSource source;
    EXPECT_GT(source.QueryVersion(VersionSelector::Major).value_or(0), 0u);
}

TEST(ScopedSystemVersionTest, RestoresThePreviousSourceOnExit) {
    ScopedSystemVersion outer(10, 7, 5);
    {
        ScopedSystemVersion inner(11, 0, 0);
        EXPECT_EQ(platform::QuerySystemVersion(VersionSelector::Major), 11u);
    }
    EXPECT_EQ(platform::QuerySystemVersion(VersionSelector::Major), 10u);
}

TEST(GetSystemVersionTest, FillsOnlyTheGivenPointers) {
    ScopedSystemVersion version(10, 9, 5);
    std::uint32_t major = 99;
    std::uint32_t bugFix = 99;
    SystemVersion::getSystemVersionMajor(&major, nullptr, &bugFix);
    EXPECT_EQ(major, 10u);
    EXPECT_EQ(bugFix, 5u);
    SystemVersion::getSystemVersionMajor(nullptr, nullptr, nullptr);
}

TEST(GetSystemVersionTest, AFailedRequestGivesZeroAndTheOthersStillAnswer) {
    ScopedSystemVersion version(10, std::nullopt, 3);
    std::uint32_t major = 99;
    std::uint32_t minor = 99;
    std::uint32_t bugFix = 99;
    SystemVersion::getSystemVersionMajor(&major, &minor, &bugFix);
    EXPECT_EQ(major, 10u);
    EXPECT_EQ(minor, 0u);
    EXPECT_EQ(bugFix, 3u);
}

// Expected answers of the eight predicates, in the order of the header.
struct PredicateCase {
    std::optional<std::uint32_t> major;
    std::optional<std::uint32_t> minor;
    bool leopard, snowLeopard, lion, lionOrGreater, mountainLion, mountainLionOrGreater, mavericks,
        mavericksOrGreater;
};

class VersionPredicateTest : public testing::TestWithParam<PredicateCase> {};

TEST_P(VersionPredicateTest, AnswersForTheInstalledVersion) {
    const auto& expected = GetParam();
    ScopedSystemVersion version(expected.major, expected.minor, 0);
    EXPECT_EQ(SystemVersion::isLeaopard(), expected.leopard);
    EXPECT_EQ(SystemVersion::isSnowLeaopard(), expected.snowLeopard);
    EXPECT_EQ(SystemVersion::isLion(), expected.lion);
    EXPECT_EQ(SystemVersion::isLionOrGreater(), expected.lionOrGreater);
    EXPECT_EQ(SystemVersion::isMountainLion(), expected.mountainLion);
    EXPECT_EQ(SystemVersion::isMountainLionOrGreater(), expected.mountainLionOrGreater);
    EXPECT_EQ(SystemVersion::isMavericks(), expected.mavericks);
    EXPECT_EQ(SystemVersion::isMavericksOrGreater(), expected.mavericksOrGreater);
}

constexpr bool T = true;
constexpr bool F = false;

INSTANTIATE_TEST_SUITE_P(Versions, VersionPredicateTest,
                         testing::Values(PredicateCase{10, 4, F, F, F, F, F, F, F, F},
                                         PredicateCase{10, 5, T, F, F, F, F, F, F, F},
                                         PredicateCase{10, 6, F, T, F, F, F, F, F, F},
                                         PredicateCase{10, 7, F, F, T, T, F, F, F, F},
                                         PredicateCase{10, 8, F, F, F, T, T, T, F, F},
                                         PredicateCase{10, 9, F, F, F, T, F, T, T, T},
                                         PredicateCase{10, 10, F, F, F, T, F, T, F, T},
                                         PredicateCase{10, 15, F, F, F, T, F, T, F, T},
                                         PredicateCase{11, 7, F, F, F, F, F, F, F, F},
                                         PredicateCase{9, 9, F, F, F, F, F, F, F, F},
                                         PredicateCase{6, 1, F, F, F, F, F, F, F, F},
                                         PredicateCase{std::nullopt, 9, F, F, F, F, F, F, F, F},
                                         PredicateCase{10, std::nullopt, F, F, F, F, F, F, F, F}));

}  // namespace
