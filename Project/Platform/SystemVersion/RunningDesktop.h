#pragma once

#include <memory>
#include <string_view>

namespace platform {

// Whose keyboard shortcuts the catalogue's keystroke rows take.
// `Catalogue` keeps the rows as stored in the catalogue (the simulation's
// machine and tests); the Linux desktops have their own conventions.
enum class Desktop { Catalogue, Gnome, Plasma };

class DesktopSource {
public:
    virtual ~DesktopSource() = default;
    virtual Desktop Running() = 0;
};

Desktop RunningDesktop();

// Replaces the source; returns the previous one. The default answers
// `Catalogue`, so nothing changes until a program on a real desktop installs
// the Linux source at start.
std::unique_ptr<DesktopSource> InstallDesktopSource(std::unique_ptr<DesktopSource> source);

// The desktop named by XDG_CURRENT_DESKTOP, a colon-separated list such as
// "ubuntu:GNOME" or "KDE": Plasma when one entry is "KDE", GNOME otherwise
// (also when the variable is unset).
Desktop DesktopFromCurrentDesktopList(std::string_view list);

class LinuxDesktopSource final : public DesktopSource {
public:
    Desktop Running() override;
};

class FixedDesktopSource final : public DesktopSource {
public:
    explicit FixedDesktopSource(Desktop desktop) : fDesktop(desktop) {}
    Desktop Running() override { return fDesktop; }

private:
    Desktop fDesktop;
};

}  // namespace platform
