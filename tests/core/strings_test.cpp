#include "core/strings.h"

#include <gtest/gtest.h>

namespace hvn {
namespace {

struct ParseCase {
    const char *text;
    int64_t value;
};

TEST(Strings, StrToLong_TableOfInputs_ParsesEachForm) {
    const ParseCase cases[] = {
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {"$", 0},
        {"%", 0},
        {"0", 0},
        {"42", 42},
        {"  \t 42", 42},
        {"\x01\x1f 7", 7}, // every code below 33 is white space
        {"+17", 17},
        {"-17", -17},
        {"- 17", 0}, // no blanks after the sign
        {"12abc", 12},
        {"12 34", 12},
        {"3.9", 3},
        {"$ff", 255},
        {"$FF", 255},
        {"$1g", 1},
        {"-$10", -16},
        {"%101", 5},
        {"%102", 2},
        {"-%11", -3},
        {"0x10", 0}, // only "$" introduces hexadecimal
        {"$-1", 0},
        {"9223372036854775807", INT64_MAX},
        {"9223372036854775808", INT64_MIN}, // wraps
        {"-9223372036854775808", INT64_MIN},
        {"$FFFFFFFFFFFFFFFF", -1},
        {"$10000000000000001", 1}, // digits beyond 64 bits wrap away
    };
    for (const ParseCase &c : cases) {
        EXPECT_EQ(StrToLong(c.text), c.value) << "input \"" << c.text << "\"";
    }
}

TEST(Strings, StrToInt_BeyondThirtyTwoBits_KeepsLowBits) {
    EXPECT_EQ(StrToInt("4294967297"), 1);
    EXPECT_EQ(StrToInt("2147483648"), INT32_MIN);
    EXPECT_EQ(StrToInt("-1"), -1);
    EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(StrToInt("260") & 0xFF, 4); // a byte setting keeps 8 bits of this
}

TEST(Strings, Trim_CodesBelow33_RemovedAtBothEndsOnly) {
    EXPECT_EQ(Trim("  a b\t\r\n"), "a b");
    EXPECT_EQ(Trim("\x01x\x1f"), "x");
    EXPECT_EQ(Trim(" \t "), "");
    EXPECT_EQ(Trim("\xC3\xA9"), "\xC3\xA9"); // high bytes are not blanks
}

TEST(Strings, UpperLower_NonAscii_Unchanged) {
    EXPECT_EQ(Upper("station_1.hvn"), "STATION_1.HVN");
    EXPECT_EQ(Lower("AbC\xC3\x89"), "abc\xC3\x89");
}

TEST(Strings, Split_EmptyPieces_Kept) {
    EXPECT_EQ(Split("a,,b", ","), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(Split("", ","), (std::vector<std::string>{""}));
    EXPECT_EQ(Split("a;", ";"), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(Split("a - b - c", " - "), (std::vector<std::string>{"a", "b", "c"}));
}

TEST(Strings, Replace_OverlappingText_ReplacedLeftToRight) {
    EXPECT_EQ(Replace("aaa", "aa", "b"), "ba");
    EXPECT_EQ(Replace("a.b.c", ".", ""), "abc");
    EXPECT_EQ(Replace("x", "", "y"), "x");
}

TEST(Strings, ExtractExt_Table_TextAfterLastDot) {
    const std::pair<const char *, const char *> cases[] = {
        {"radio.hvn", "hvn"}, {"radio.HVN", "HVN"},      {"a.b.db", "db"},  {"noext", ""},
        {"dir.d/file", ""},   {"dir.d/file.zip", "zip"}, {"trailing.", ""}, {".hidden", "hidden"},
    };
    for (auto [name, ext] : cases) {
        EXPECT_EQ(ExtractExt(name), ext) << name;
    }
}

TEST(Strings, Utf8ToUtf16_Table_DecodesOrFlags) {
    struct Case {
        std::string bytes;
        std::u16string units;
        bool ok;
    };
    const Case cases[] = {
        {"abc", u"abc", true},
        {"\xC3\xA9t\xC3\xA9", u"\u00e9t\u00e9", true},
        {"\xE2\x82\xAC", u"\u20ac", true},
        {"a\xF0\x9F\x8E\xB5", u"a\U0001F3B5", false}, // beyond U+FFFF: a pair
        {"ab\xE2\x82", u"ab", true},        // cut short at the end
        {"\xFF"
         "a",
         u"\u00ffa", true}, // a stray byte stands for itself
    };
    for (const Case &c : cases) {
        bool ok = !c.ok;
        EXPECT_EQ(Utf8ToUtf16(c.bytes, ok), c.units) << c.bytes;
        EXPECT_EQ(ok, c.ok) << c.bytes;
    }
}

TEST(Strings, Utf16ToUtf8_SurrogatePair_OneFourByteSequence) {
    EXPECT_EQ(Utf16ToUtf8(u"\u00e9\u20ac"), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(Utf16ToUtf8(u"\U0001F3B5"), "\xF0\x9F\x8E\xB5");
}

} // namespace
} // namespace hvn
