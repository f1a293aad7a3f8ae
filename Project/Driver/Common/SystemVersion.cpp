#include "SystemVersion.h"

#include "SystemVersionQuery.h"

namespace SystemVersion {
namespace {

constexpr std::uint32_t kMajorTen = 10;

std::uint32_t MinorOfVersionTen() {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    getSystemVersionMajor(&major, &minor, nullptr);
    return major == kMajorTen ? minor : 0;
}

}  // namespace

void getSystemVersionMajor(std::uint32_t* major, std::uint32_t* minor, std::uint32_t* bugFix) {
    using platform::QuerySystemVersion;
    using platform::VersionSelector;
    const std::uint32_t majorNumber = QuerySystemVersion(VersionSelector::Major).value_or(0);
    const std::uint32_t minorNumber = QuerySystemVersion(VersionSelector::Minor).value_or(0);
    const std::uint32_t bugFixNumber = QuerySystemVersion(VersionSelector::BugFix).value_or(0);
    if (major) {
        *major = majorNumber;
    }
    if (minor) {
        *minor = minorNumber;
    }
    if (bugFix) {
        *bugFix = bugFixNumber;
    }
}

bool isLeaopard() {
    return MinorOfVersionTen() == 5;
}
bool isSnowLeaopard() {
    return MinorOfVersionTen() == 6;
}
bool isLion() {
    return MinorOfVersionTen() == 7;
}
bool isLionOrGreater() {
    return MinorOfVersionTen() > 6;
}
bool isMountainLion() {
    return MinorOfVersionTen() == 8;
}
bool isMountainLionOrGreater() {
    return MinorOfVersionTen() > 7;
}
bool isMavericks() {
    return MinorOfVersionTen() == 9;
}
bool isMavericksOrGreater() {
    return MinorOfVersionTen() > 8;
}

}  // namespace SystemVersion
