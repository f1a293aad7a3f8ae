#pragma once

namespace platform {

// logind's names on the system bus.
inline constexpr const char* kLogindBusName = "org.freedesktop.login1";
inline constexpr const char* kLogindPath = "/org/freedesktop/login1";
inline constexpr const char* kLogindManagerInterface = "org.freedesktop.login1.Manager";
inline constexpr const char* kLogindSessionInterface = "org.freedesktop.login1.Session";

}  // namespace platform
