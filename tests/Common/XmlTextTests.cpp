#include <gtest/gtest.h>

#include <string>

#include "XmlText.h"

namespace {

struct XmlTextCase {
    std::string text;
    std::string kept;
};

class XmlTextTest : public testing::TestWithParam<XmlTextCase> {};

TEST_P(XmlTextTest, KeepsOnlyXml10Characters) {
    EXPECT_EQ(XmlText(GetParam().text), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(Texts, XmlTextTest,
                         testing::Values(
                             // Allowed: tab, line feed, carriage return, DEL, multi-byte characters
                             // up to the last plane, U+FFFD.
                             XmlTextCase{"Return,36,0|\t\n\r\x7f", "Return,36,0|\t\n\r\x7f"},
                             XmlTextCase{"\xc3\xa9\xe2\x8c\x98\xef\xbf\xbd\xf4\x8f\xbf\xbf",
                                         "\xc3\xa9\xe2\x8c\x98\xef\xbf\xbd\xf4\x8f\xbf\xbf"},
                             // Other control characters, NUL among them.
                             XmlTextCase{std::string("a\x01"
                                                     "b\x1b"
                                                     "c\x1f\0d",
                                                     8),
                                         "abcd"},
                             // U+FFFE, U+FFFF, an encoded surrogate, beyond U+10FFFF.
                             XmlTextCase{"x\xef\xbf\xbe"
                                         "y\xef\xbf\xbf"
                                         "z\xed\xa0\x80"
                                         "w\xf4\x90\x80\x80",
                                         "xyzw"},
                             // Not UTF-8: a stray continuation byte, a cut sequence, an overlong
                             // form, a byte that never starts one.
                             XmlTextCase{"a\x80"
                                         "b\xc3"
                                         "c\xc0\xaf"
                                         "d\xff",
                                         "abcd"},
                             XmlTextCase{"\xe2\x8c", ""}));

}  // namespace
