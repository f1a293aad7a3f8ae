// The configuration file's parser: the forms it takes, and what it refuses
// with one log line naming the file and the line, keeping the build's default.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "Logging.h"
#include "TemporaryHome.h"
#include "VendorIdSetting.h"

namespace platform {
namespace {

class VendorIdSettingTest : public testing::Test {
protected:
    void Write(const std::string& text) const { std::ofstream(file, std::ios::binary) << text; }
    // The setting read, and the lines logged meanwhile.
    struct Reading {
        VendorIdSetting setting;
        std::vector<std::string> log;
    };
    Reading Read() const {
        ScopedCapturedLog log;
        Reading reading{ReadVendorIdSetting(file), {}};
        for (const auto& entry : log.Entries()) reading.log.push_back(entry.text);
        return reading;
    }

    ScopedTemporaryHome folder;
    const std::string file = (folder.Path() / "halvorin.conf").string();
};

TEST_F(VendorIdSettingTest, AcceptedFormsGiveTheIdAndTheFileSilently) {
    const struct {
        const char* text;
        std::uint32_t value;
    } cases[] = {
        {"VendorId=4660\n", 4660},
        {"VendorId=0x1234", 0x1234},
        {"  VendorId = 0X12aB  \r\n", 0x12AB},
        {"VendorId=0x0001\n", 1},
        {"VendorId=65535\n", 65535},
        {"# a comment\n\n\t# VendorId=7\nVendorId=0xffff\n# VendorId=9\n", 0xFFFF},
    };
    for (const auto& c : cases) {
        Write(c.text);
        const Reading reading = Read();
        EXPECT_EQ(reading.setting, (VendorIdSetting{c.value, file})) << c.text;
        EXPECT_TRUE(reading.log.empty()) << c.text;
    }
}

TEST_F(VendorIdSettingTest, NoFileOrNoSettingKeepsTheBuildDefaultSilently) {
    EXPECT_EQ(Read().setting, VendorIdSetting{});
    for (const char* text : {"", "\n\n", "#VendorId=0x1234\n", "   # only comments\n"}) {
        Write(text);
        const Reading reading = Read();
        EXPECT_EQ(reading.setting, VendorIdSetting{}) << text;
        EXPECT_TRUE(reading.log.empty()) << text;
    }
}

TEST_F(VendorIdSettingTest, RefusedFormsAreLoggedOnceWithFileAndLineAndKeepTheDefault) {
    const struct {
        std::string text;
        const char* where;
        const char* problem;
    } cases[] = {
        {"VendorId=\n", "line 1", "is not a USB vendor id"},
        {"VendorId=0\n", "line 1", "is not a USB vendor id"},
        {"VendorId=65536\n", "line 1", "is not a USB vendor id"},
        {"VendorId=0x10000\n", "line 1", "is not a USB vendor id"},
        {"VendorId=99999999999999999999\n", "line 1", "is not a USB vendor id"},
        {"VendorId=-1\n", "line 1", "is not a USB vendor id"},
        {"VendorId=+5\n", "line 1", "is not a USB vendor id"},
        {"VendorId=12ab\n", "line 1", "is not a USB vendor id"},
        {"VendorId=0x\n", "line 1", "is not a USB vendor id"},
        {"VendorId=0x12 34\n", "line 1", "is not a USB vendor id"},
        {"VendorId=0x1234 # mine\n", "line 1", "is not a USB vendor id"},
        {"# ids\n\nVendorID=0x1234\n", "line 3", "unknown setting 'VendorID'"},
        {"VendorId=1\nVendorId=2\n", "line 2", "set again (first on line 1)"},
        {"VendorId 0x1234\n", "line 1", "not a Key=Value line"},
        {std::string("VendorId=0x12\0"
                     "34\n",
                     17),
         "line 1", "not a Key=Value line"},
        {"VendorId=0x1234\nwhatever\n", "line 2", "not a Key=Value line"},
        {std::string(70000, '#'), "larger than", ""},
    };
    for (const auto& c : cases) {
        Write(c.text);
        const Reading reading = Read();
        EXPECT_EQ(reading.setting, VendorIdSetting{}) << c.text;
        const auto& lines = reading.log;
        ASSERT_EQ(lines.size(), 1U) << c.text;
        EXPECT_TRUE(lines[0].starts_with(file + ": ")) << lines[0];
        EXPECT_NE(lines[0].find(c.where), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(c.problem), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find("using the build's vendor id " + VendorIdText(kBuildVendorId)),
                  std::string::npos)
            << lines[0];
    }
}

TEST_F(VendorIdSettingTest, AFolderOrAPipeIsRefusedWithoutBlocking) {
    for (const auto& make : {+[](const char* path) { return mkdir(path, 0700); },
                             +[](const char* path) { return mkfifo(path, 0600); }}) {
        std::filesystem::remove_all(file);
        ASSERT_EQ(make(file.c_str()), 0);
        const Reading reading = Read();
        EXPECT_EQ(reading.setting, VendorIdSetting{});
        ASSERT_EQ(reading.log.size(), 1U);
        EXPECT_EQ(reading.log[0].find(file + ": is not a regular file"), 0U) << reading.log[0];
    }
}

TEST_F(VendorIdSettingTest, TheSettingInForceIsTheBuildDefaultUntilAnotherIsPut) {
    EXPECT_TRUE(VendorIdInForce().IsBuildDefault());
    PutVendorIdInForce(VendorIdSetting{0x1234, file});
    EXPECT_EQ(DescribeVendorIdSetting(VendorIdInForce()), "0x1234 (4660, from " + file + ")");
    PutVendorIdInForce(VendorIdSetting{});
    EXPECT_EQ(DescribeVendorIdSetting(VendorIdInForce()), VendorIdText(kBuildVendorId) + " (" +
                                                              std::to_string(kBuildVendorId) +
                                                              ", the build's default)");
}

}  // namespace
}  // namespace platform
