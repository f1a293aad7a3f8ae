#include "RunningDesktop.h"

#include <cstdlib>
#include <utility>

namespace platform {
namespace {

std::unique_ptr<DesktopSource>& Current() {
    static std::unique_ptr<DesktopSource> source =
        std::make_unique<FixedDesktopSource>(Desktop::Catalogue);
    return source;
}

}  // namespace

Desktop RunningDesktop() {
    return Current()->Running();
}

std::unique_ptr<DesktopSource> InstallDesktopSource(std::unique_ptr<DesktopSource> source) {
    return std::exchange(Current(), std::move(source));
}

Desktop DesktopFromCurrentDesktopList(std::string_view list) {
    while (!list.empty()) {
        const std::size_t colon = list.find(':');
        if (list.substr(0, colon) == "KDE") {
            return Desktop::Plasma;
        }
        list = colon == std::string_view::npos ? std::string_view{} : list.substr(colon + 1);
    }
    return Desktop::Gnome;
}

Desktop LinuxDesktopSource::Running() {
    const char* list = std::getenv("XDG_CURRENT_DESKTOP");
    return DesktopFromCurrentDesktopList(list != nullptr ? list : "");
}

}  // namespace platform
