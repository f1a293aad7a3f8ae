#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kPreload = "libumockdev-preload.so.0";

std::string Joined(const char* first, std::string_view second, char separator) {
    std::string joined = first != nullptr ? first : "";
    if (!joined.empty()) {
        joined += separator;
    }
    return joined.append(second);
}

// udev reads the test bed only when libumockdev's preload is in the process
// from its start: the program starts itself again with it, before main
// (glibc hands constructors the program's arguments).
[[gnu::constructor]] void RestartWithPreload(int /*argc*/, char** argv, char** /*envp*/) {
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload != nullptr && std::string_view(preload).find(kPreload) != std::string_view::npos) {
        return;
    }
    setenv("LD_PRELOAD", Joined(preload, kPreload, ':').c_str(), 1);
    // Under AddressSanitizer the preload comes before its runtime.
    setenv("ASAN_OPTIONS",
           Joined(std::getenv("ASAN_OPTIONS"), "verify_asan_link_order=0", ':').c_str(), 1);
    execv("/proc/self/exe", argv);
    // Without the restart the tests skip themselves.
}

}  // namespace
