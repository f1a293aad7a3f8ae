#include <gtest/gtest.h>

#include "ButtonMapping.h"
#include "RunningDesktop.h"
#include "SystemVersionQuery.h"

namespace {

using platform::Desktop;

constexpr std::uint32_t kShift = 0x20000;
constexpr std::uint32_t kCtrl = 0x40000;
constexpr std::uint32_t kAlt = 0x80000;
constexpr std::uint32_t kSuper = 0x100000;

// Catalogue initialisation against a fixed desktop and a recent system.
class DesktopRows {
public:
    explicit DesktopRows(Desktop desktop)
        : fVersion(10, 9, 0),
          fPrevious(platform::InstallDesktopSource(
              std::make_unique<platform::FixedDesktopSource>(desktop))) {
        AButtonMapping::ResetClassStateForTesting();
    }
    ~DesktopRows() {
        platform::InstallDesktopSource(std::move(fPrevious));
        AButtonMapping::ResetClassStateForTesting();
    }
    DesktopRows(const DesktopRows&) = delete;
    DesktopRows& operator=(const DesktopRows&) = delete;

private:
    platform::ScopedSystemVersion fVersion;
    std::unique_ptr<platform::DesktopSource> fPrevious;
};

struct Shortcut {
    Desktop desktop;
    const char* label;
    std::uint8_t keyCode;  // virtual key code
    std::uint32_t flags;
};

// The desktops' documented default shortcuts, in virtual key codes.
constexpr Shortcut kShortcuts[] = {
    {Desktop::Gnome, "Copy", 8, kCtrl},
    {Desktop::Gnome, "Paste", 9, kCtrl},
    {Desktop::Gnome, "Undo", 6, kCtrl},
    {Desktop::Gnome, "Back", 123, kAlt},
    {Desktop::Gnome, "Close", 13, kCtrl},
    {Desktop::Gnome, "Show/Hide Desktop", 2, kSuper},
    {Desktop::Gnome, "Move Left a Space", 116, kSuper},
    {Desktop::Gnome, "Move Right a Space", 121, kSuper},
    {Desktop::Gnome, "Screen Shot to File", 0x7F, kShift},  // Print Screen
    {Desktop::Plasma, "Copy", 8, kCtrl},
    {Desktop::Plasma, "Forward", 124, kAlt},
    {Desktop::Plasma, "Show/Hide Desktop", 2, kSuper},
    {Desktop::Plasma, "Move Left a Space", 123, kCtrl | kSuper},
    {Desktop::Plasma, "Move Right a Space", 124, kCtrl | kSuper},
    {Desktop::Plasma, "Show Mission Control", 109, kCtrl},
    // Rows that mean the same everywhere keep their keys.
    {Desktop::Gnome, "Return", 36, 0},
    {Desktop::Plasma, "Page Down", 121, 0},
    // The catalogue's own rows where no desktop is chosen.
    {Desktop::Catalogue, "Copy", 8, kSuper},
    {Desktop::Catalogue, "Move Left a Space", 123, kCtrl},
};

class DesktopRowTest : public testing::TestWithParam<Shortcut> {};

TEST_P(DesktopRowTest, RowPostsTheDesktopsShortcutUnderItsOwnLabelAndId) {
    const Shortcut& expected = GetParam();
    std::optional<std::int32_t> idBefore;
    for (ButtonMappingType type = 0; type < kNumButtonMappingTypes; ++type) {
        const DesktopRows catalogue(Desktop::Catalogue);
        if (AButtonMapping::buttonMappingChoiceLabelOfType(type) == expected.label) {
            idBefore = AButtonMapping::initWithType(type, "")->GetId();
        }
    }
    ASSERT_TRUE(idBefore);

    const DesktopRows rows(expected.desktop);
    const auto mapping = AButtonMapping::initWithMapId(*idBefore, "");
    EXPECT_EQ(AButtonMapping::buttonMappingChoiceLabelOfType(mapping->mapType()), expected.label);
    EXPECT_EQ(mapping->KeyCode(), expected.keyCode);
    EXPECT_EQ(mapping->ModifierFlags(), expected.flags);
    EXPECT_EQ(mapping->GetId(), *idBefore);
}

INSTANTIATE_TEST_SUITE_P(Shortcuts, DesktopRowTest, testing::ValuesIn(kShortcuts));

TEST(CurrentDesktopTest, PlasmaOnlyWhenKdeIsListed) {
    EXPECT_EQ(platform::DesktopFromCurrentDesktopList("KDE"), Desktop::Plasma);
    EXPECT_EQ(platform::DesktopFromCurrentDesktopList("X-Generic:KDE"), Desktop::Plasma);
    EXPECT_EQ(platform::DesktopFromCurrentDesktopList("ubuntu:GNOME"), Desktop::Gnome);
    EXPECT_EQ(platform::DesktopFromCurrentDesktopList("KDEX:XFCE"), Desktop::Gnome);
    EXPECT_EQ(platform::DesktopFromCurrentDesktopList(""), Desktop::Gnome);
}

}  // namespace
