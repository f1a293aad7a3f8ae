#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "PropertyList.h"

namespace platform {
namespace {

using Kind = PropertyList::Kind;

struct KindCase {
    const char* name;
    PropertyList value;
    Kind kind;
    friend void PrintTo(const KindCase& c, std::ostream* out) { *out << c.name; }
};

class PropertyListKindTest : public testing::TestWithParam<KindCase> {};

// Each value answers only the accessor of its own kind.
TEST_P(PropertyListKindTest, AnswersOnlyItsOwnAccessor) {
    const auto& [name, value, kind] = GetParam();
    EXPECT_EQ(value.GetKind(), kind);
    EXPECT_EQ(value.AsDictionary() != nullptr, kind == Kind::Dictionary);
    EXPECT_EQ(value.AsArray() != nullptr, kind == Kind::Array);
    EXPECT_EQ(value.AsString() != nullptr, kind == Kind::String);
    EXPECT_EQ(value.AsInteger().has_value(), kind == Kind::Integer);
    EXPECT_EQ(value.AsReal().has_value(), kind == Kind::Real);
    EXPECT_EQ(value.AsBoolean().has_value(), kind == Kind::Boolean);
    if (kind != Kind::Dictionary) {
        EXPECT_EQ(value.Find("key"), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllKinds, PropertyListKindTest,
    testing::Values(KindCase{"Default", PropertyList(), Kind::Dictionary},
                    KindCase{"Array", PropertyList(PropertyList::Array{}), Kind::Array},
                    KindCase{"String", PropertyList("1"), Kind::String},
                    KindCase{"Integer", PropertyList::MakeInteger(1), Kind::Integer},
                    KindCase{"Real", PropertyList::MakeReal(1.0), Kind::Real},
                    KindCase{"Boolean", PropertyList::MakeBoolean(true), Kind::Boolean}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PropertyListTest, FindsDictionaryEntries) {
    EXPECT_TRUE(PropertyList().AsDictionary()->empty());
    const PropertyList dictionary(
        PropertyList::Dictionary{{"IsTarn", PropertyList::MakeBoolean(true)}});
    ASSERT_NE(dictionary.Find("IsTarn"), nullptr);
    EXPECT_EQ(dictionary.Find("IsTarn")->AsBoolean(), true);
    EXPECT_EQ(dictionary.Find("Missing"), nullptr);
}

TEST(PropertyListTest, KindsNeverCompareEqualAcrossEachOther) {
    const PropertyList values[] = {PropertyList::MakeInteger(1), PropertyList::MakeReal(1.0),
                                   PropertyList::MakeBoolean(true), PropertyList("1"),
                                   PropertyList(PropertyList::Array{PropertyList::MakeInteger(1)})};
    for (std::size_t i = 0; i < std::size(values); ++i) {
        for (std::size_t j = 0; j < std::size(values); ++j) {
            EXPECT_EQ(values[i] == values[j], i == j) << values[i] << " vs " << values[j];
        }
    }
}

TEST(PropertyListTest, ComparesNestedContentNotIdentity) {
    const auto build = [](std::int64_t last) {
        return PropertyList(PropertyList::Dictionary{
            {"a", PropertyList(PropertyList::Array{PropertyList::MakeInteger(1),
                                                   PropertyList::MakeInteger(last)})},
        });
    };
    EXPECT_EQ(build(2), build(2));
    EXPECT_NE(build(2), build(3));
    EXPECT_NE(build(2), PropertyList());
}

TEST(PropertyListTest, NanEqualsNanSoEqualityStaysAnEquivalence) {
    const auto nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(PropertyList::MakeReal(nan), PropertyList::MakeReal(nan));
    EXPECT_EQ(PropertyList(PropertyList::Array{PropertyList::MakeReal(nan)}),
              PropertyList(PropertyList::Array{PropertyList::MakeReal(nan)}));
    EXPECT_NE(PropertyList::MakeReal(nan), PropertyList::MakeReal(0.0));
}

TEST(PropertyListTest, CopiesStayValidAfterTheOriginalIsGone) {
    PropertyList copy;
    {
        const PropertyList original(PropertyList::Dictionary{{"k", "v"}});
        copy = original;
    }
    EXPECT_EQ(*copy.Find("k")->AsString(), "v");
}

struct DescribeCase {
    const char* name;
    PropertyList value;
    const char* text;
    friend void PrintTo(const DescribeCase& c, std::ostream* out) { *out << c.name; }
};

class PropertyListDescribeTest : public testing::TestWithParam<DescribeCase> {};

TEST_P(PropertyListDescribeTest, RendersOneDeterministicLine) {
    const auto& [name, value, text] = GetParam();
    EXPECT_EQ(value.Describe(), text);
    std::ostringstream stream;
    stream << value;
    EXPECT_EQ(stream.str(), text);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PropertyListDescribeTest,
    testing::Values(
        DescribeCase{"EmptyDictionary", PropertyList(), "{}"},
        DescribeCase{"EmptyArray", PropertyList(PropertyList::Array{}), "[]"},
        DescribeCase{"SortedKeys",
                     PropertyList(PropertyList::Dictionary{{"b", PropertyList::MakeInteger(-12)},
                                                           {"B", PropertyList::MakeBoolean(false)},
                                                           {"a", "x"}}),
                     R"({"B": false, "a": "x", "b": -12})"},
        DescribeCase{"NestedArray",
                     PropertyList(PropertyList::Array{
                         PropertyList::MakeBoolean(true),
                         PropertyList(PropertyList::Dictionary{{"k", PropertyList::Array{}}})}),
                     R"([true, {"k": []}])"},
        DescribeCase{"Escapes", PropertyList(std::string("q\"b\\n\nr\rt\tc\x01\x7f\xc3\xa9")),
                     R"("q\"b\\n\nr\rt\tc\x01\x7F)"
                     "\xc3\xa9\""},
        DescribeCase{"EmbeddedNul", PropertyList(std::string("a\0b", 3)), R"("a\x00b")"},
        DescribeCase{"WholeReal", PropertyList::MakeReal(5.0), "5.0"},
        DescribeCase{"FractionalReal", PropertyList::MakeReal(0.25), "0.25"},
        DescribeCase{"NegativeZero", PropertyList::MakeReal(-0.0), "-0.0"},
        DescribeCase{"LargeReal", PropertyList::MakeReal(1e20), "1e+20"},
        DescribeCase{"Infinity", PropertyList::MakeReal(-std::numeric_limits<double>::infinity()),
                     "-inf"},
        DescribeCase{"NotANumber", PropertyList::MakeReal(std::nan("")), "nan"},
        DescribeCase{"SmallestInteger",
                     PropertyList::MakeInteger(std::numeric_limits<std::int64_t>::min()),
                     "-9223372036854775808"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace platform
