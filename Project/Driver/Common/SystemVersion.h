#pragma once

#include <cstdint>

// Which version of the operating system is running. Every query asks the
// system again; a number the system does not give is 0, so on an unanswered
// query every predicate is false. The predicates hold only for major version 10.
namespace SystemVersion {

// Fills each given pointer with the major, minor and bug-fix number; a null
// pointer is skipped.
void getSystemVersionMajor(std::uint32_t* major, std::uint32_t* minor, std::uint32_t* bugFix);

bool isLeaopard();               // 10.5
bool isSnowLeaopard();           // 10.6
bool isLion();                   // 10.7
bool isLionOrGreater();          // 10.7 and later 10.x
bool isMountainLion();           // 10.8
bool isMountainLionOrGreater();  // 10.8 and later 10.x
bool isMavericks();              // 10.9
bool isMavericksOrGreater();     // 10.9 and later 10.x

}  // namespace SystemVersion
