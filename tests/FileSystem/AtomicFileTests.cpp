#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <sstream>

#include "AtomicFile.h"
#include "TemporaryHome.h"

namespace {

using platform::ScopedTemporaryHome;
using platform::WriteFileAtomically;

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::string> Names(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class WriteFileAtomicallyTest : public testing::Test {
protected:
    ScopedTemporaryHome fHome;
    std::filesystem::path fFile = fHome.Path() / "settings.xml";
};

TEST_F(WriteFileAtomicallyTest, CreatesThenReplacesTheWholeFile) {
    ASSERT_FALSE(WriteFileAtomically(fFile, "a much longer first version"));
    EXPECT_EQ(Contents(fFile), "a much longer first version");
    ASSERT_FALSE(WriteFileAtomically(fFile, std::string("short\0bytes", 11)));
    EXPECT_EQ(Contents(fFile), std::string("short\0bytes", 11));
    EXPECT_EQ(Names(fHome.Path()), std::vector<std::string>{"settings.xml"});
}

TEST_F(WriteFileAtomicallyTest, KeepsThePermissionsOfTheReplacedFile) {
    std::ofstream(fFile) << "old";
    std::filesystem::permissions(
        fFile, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    ASSERT_FALSE(WriteFileAtomically(fFile, "new"));
    EXPECT_EQ(std::filesystem::status(fFile).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(WriteFileAtomicallyTest, MissingFolderIsReported) {
    EXPECT_EQ(WriteFileAtomically(fHome.Path() / "absent" / "settings.xml", "x"),
              std::errc::no_such_file_or_directory);
    EXPECT_TRUE(Names(fHome.Path()).empty());
}

TEST_F(WriteFileAtomicallyTest, FailedRenameLeavesTheTargetAndNoTemporaryFile) {
    // A non-empty folder where the file should be cannot be replaced.
    std::filesystem::create_directories(fFile / "inside");
    EXPECT_TRUE(WriteFileAtomically(fFile, "new"));
    EXPECT_TRUE(std::filesystem::is_directory(fFile / "inside"));
    EXPECT_EQ(Names(fHome.Path()), std::vector<std::string>{"settings.xml"});
}

// Lowers the file-size limit so that writing more than a few bytes fails with
// EFBIG, as a full disk would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        fPreviousHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &fPrevious);
        rlimit lowered = fPrevious;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &fPrevious);
        std::signal(SIGXFSZ, fPreviousHandler);
    }

private:
    rlimit fPrevious{};
    void (*fPreviousHandler)(int);
};

TEST_F(WriteFileAtomicallyTest, FailedWriteLeavesTheOldFileAndNoTemporaryFile) {
    ASSERT_FALSE(WriteFileAtomically(fFile, "old contents"));
    std::error_code error;
    {
        FileSizeLimit limit(16);
        error = WriteFileAtomically(fFile, std::string(4096, 'n'));
    }
    EXPECT_EQ(error, std::errc::file_too_large);
    EXPECT_EQ(Contents(fFile), "old contents");
    EXPECT_EQ(Names(fHome.Path()), std::vector<std::string>{"settings.xml"});
}

TEST_F(WriteFileAtomicallyTest, PathWithoutFileNameIsRefused) {
    EXPECT_EQ(WriteFileAtomically(fHome.Path() / "", "x"), std::errc::invalid_argument);
}

}  // namespace
