#include <gtest/gtest.h>

#include "IntegerText.h"

namespace {

struct TextCase {
    const char* text;
    std::int32_t value;
};

class IntegerTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(IntegerTextTest, ReadsLeadingDecimalNumber) {
    EXPECT_EQ(IntegerValueOfText(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IntegerTextTest,
    testing::Values(TextCase{"12", 12}, TextCase{"  \t\n7", 7}, TextCase{"-3", -3},
                    TextCase{"+4", 4}, TextCase{"5abc", 5}, TextCase{"3.9", 3}, TextCase{"", 0},
                    TextCase{"abc", 0}, TextCase{"-", 0}, TextCase{"- 5", 0}, TextCase{"+-5", 0},
                    TextCase{"0x1F", 0}, TextCase{"000042", 42}, TextCase{"2147483647", 2147483647},
                    TextCase{"2147483648", 2147483647}, TextCase{"-2147483648", INT32_MIN},
                    TextCase{"-2147483649", INT32_MIN},
                    TextCase{"99999999999999999999999999", 2147483647},
                    TextCase{"-99999999999999999999999999", INT32_MIN}));

}  // namespace
