#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "ApplicationSupport.h"
#include "TemporaryHome.h"

namespace {

using platform::ApplicationSupportFolder;
using platform::EnsureFolderExists;
using platform::ScopedTemporaryHome;

TEST(ApplicationSupportFolder, FollowsTheXdgDataDirectoryRules) {
    ScopedTemporaryHome home;
    const std::filesystem::path fallback = home.Path() / ".local" / "share";
    struct Case {
        const char* dataHome;  // nullptr: unset
        std::filesystem::path expected;
    };
    const Case cases[] = {
        {nullptr, fallback},
        {"", fallback},
        {"relative/data", fallback},
        {"/srv/data", "/srv/data"},
    };
    for (const Case& c : cases) {
        if (c.dataHome == nullptr) {
            unsetenv("XDG_DATA_HOME");
        } else {
            setenv("XDG_DATA_HOME", c.dataHome, 1);
        }
        EXPECT_EQ(ApplicationSupportFolder(), c.expected)
            << "XDG_DATA_HOME=" << (c.dataHome ? c.dataHome : "(unset)");
    }
}

TEST(ApplicationSupportFolder, TemporaryHomeIsRestoredAndRemoved) {
    const char* before = getenv("HOME");
    const std::string previous = before ? before : "";
    std::filesystem::path made;
    {
        ScopedTemporaryHome home;
        made = home.Path();
        EXPECT_TRUE(std::filesystem::is_directory(made));
        EXPECT_EQ(getenv("HOME"), made.string());
    }
    EXPECT_FALSE(std::filesystem::exists(made));
    const char* after = getenv("HOME");
    EXPECT_EQ(after ? after : "", previous);
}

TEST(EnsureFolderExists, CreatesMissingIntermediateFoldersAndAcceptsAnExistingOne) {
    ScopedTemporaryHome home;
    const auto folder = home.Path() / "a" / "b" / "c";
    EXPECT_FALSE(EnsureFolderExists(folder));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_FALSE(EnsureFolderExists(folder));
}

TEST(EnsureFolderExists, FailsWhenAFileStandsInTheWay) {
    ScopedTemporaryHome home;
    std::ofstream(home.Path() / "blocker") << "x";
    EXPECT_TRUE(EnsureFolderExists(home.Path() / "blocker"));
    EXPECT_TRUE(EnsureFolderExists(home.Path() / "blocker" / "below"));
    EXPECT_TRUE(std::filesystem::is_regular_file(home.Path() / "blocker"));
}

}  // namespace
