#include "link/gbk_text.h"

#include "text_test_bytes.h"

#include <gtest/gtest.h>

namespace pelmora::link {
namespace {

using test::fromHex;
using test::toHex;

struct RoundTrip {
    const char* utf8;
    const char16_t* utf16;
    const char* gbkHex;
};

constexpr RoundTrip kRoundTrips[] = {
    {"", u"", ""},
    {"ABC 123", u"ABC 123", "41 42 43 20 31 32 33"},
    {"数据", u"数据", "CA FD BE DD"},
    {"12\r\n34", u"12\r\n34", "31 32 0D 0A 33 34"},
    {"#$", u"#$", "23 24"},
    {"€", u"€", "80"},
    {"é°", u"é°", "A8 A6 A1 E3"},
    {"　", u"　", "A1 A1"},  // ideographic space
    {"测试abc\t汉字", u"测试abc\t汉字", "B2 E2 CA D4 61 62 63 09 BA BA D7 D6"},
};

TEST(GbkText, ConvertsBothWaysByTable)
{
    for (const RoundTrip& row : kRoundTrips) {
        SCOPED_TRACE(row.utf8);
        const GbkResult fromUtf8 = utf8ToGbk(row.utf8);
        ASSERT_TRUE(fromUtf8.ok()) << describeProblem(fromUtf8);
        EXPECT_EQ(toHex(fromUtf8.bytes), row.gbkHex);

        const GbkResult fromUtf16 = utf16ToGbk(row.utf16);
        ASSERT_TRUE(fromUtf16.ok()) << describeProblem(fromUtf16);
        EXPECT_EQ(toHex(fromUtf16.bytes), row.gbkHex);

        EXPECT_EQ(gbkToUtf8(fromHex(row.gbkHex)), row.utf8);
        EXPECT_EQ(gbkToUtf16(fromHex(row.gbkHex)), row.utf16);
    }
}

struct Refusal {
    const char* utf8;
    std::size_t index;
    char32_t character;
    TextProblem problem;
};

constexpr Refusal kUtf8Refusals[] = {
    {"ab😀c", 2, 0x1F600, TextProblem::NoGbkCode},
    {"数据😀", 2, 0x1F600, TextProblem::NoGbkCode},
    {"e\u0301", 1, 0x0301, TextProblem::NoGbkCode},  // combining acute accent
    {"x₩", 1, 0x20A9, TextProblem::NoGbkCode},
    {"ஸ", 0, 0x0BB8, TextProblem::NoGbkCode},
    {"\xEF\xBB\xBF"
     "abc",
     0, 0xFEFF, TextProblem::NoGbkCode},          // byte-order mark
    {"\xC3", 0, 0xC3, TextProblem::InvalidUtf8},  // cut off
    {"ab\xFF", 2, 0xFF, TextProblem::InvalidUtf8},
    {"\x80", 0, 0x80, TextProblem::InvalidUtf8},              // lone continuation
    {"a\xC0\xAF", 1, 0xC0, TextProblem::InvalidUtf8},         // overlong "/"
    {"\xE0\x80\xAF", 0, 0xE0, TextProblem::InvalidUtf8},      // overlong "/"
    {"数\xED\xA0\x80", 1, 0xED, TextProblem::InvalidUtf8},    // encoded surrogate
    {"\xF4\x90\x80\x80", 0, 0xF4, TextProblem::InvalidUtf8},  // above U+10FFFF
    {"\xE6\x95x", 0, 0xE6, TextProblem::InvalidUtf8},         // continuation missing
};

TEST(GbkText, RefusesUtf8ItCannotCarry)
{
    for (const Refusal& row : kUtf8Refusals) {
        SCOPED_TRACE(toHex(row.utf8));
        const GbkResult result = utf8ToGbk(row.utf8);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.badIndex, row.index);
        EXPECT_EQ(result.badChar, row.character);
        EXPECT_EQ(result.problem, row.problem);
        EXPECT_TRUE(result.bytes.empty());
    }
}

TEST(GbkText, RefusesUtf16ItCannotCarry)
{
    struct Row {
        std::u16string text;
        std::size_t index;
        char32_t character;
        TextProblem problem;
    };
    const Row rows[] = {
        {u"ab😀c", 2, 0x1F600, TextProblem::NoGbkCode},
        {u"😀", 0, 0x1F600, TextProblem::NoGbkCode},
        {u"数e\u0301", 2, 0x0301, TextProblem::NoGbkCode},
        {std::u16string(u"a") + char16_t{0xD800}, 1, 0xD800, TextProblem::UnpairedSurrogate},
        {std::u16string(1, char16_t{0xDC00}) + u"b", 0, 0xDC00, TextProblem::UnpairedSurrogate},
        {std::u16string(u"xy") + char16_t{0xD83D} + u"z", 2, 0xD83D, TextProblem::UnpairedSurrogate},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.index);
        const GbkResult result = utf16ToGbk(row.text);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.badIndex, row.index);
        EXPECT_EQ(result.badChar, row.character);
        EXPECT_EQ(result.problem, row.problem);
    }
}

TEST(GbkText, ShowsUndecodableBytesAsReplacementCharacters)
{
    const struct {
        const char* gbkHex;
        const char* utf8;
    } rows[] = {
        {"FF", "\uFFFD"},
        {"61 81", "a\uFFFD"},          // lead byte cut off at the end
        {"61 81 20 62", "a\uFFFD b"},  // lead byte with an impossible trail
        {"CA FD FF BE DD", "数\uFFFD据"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.gbkHex);
        EXPECT_EQ(gbkToUtf8(fromHex(row.gbkHex)), row.utf8);
    }
}

TEST(GbkText, TurnsLineFeedsIntoCrLfOnce)
{
    const struct {
        const char* in;
        const char* out;
    } rows[] = {
        {"", ""},       {"12\n34", "12\r\n34"}, {"12\r\n34", "12\r\n34"}, {"\n\n", "\r\n\r\n"}, {"\r\n\n", "\r\n\r\n"},
        {"a\r", "a\r"}, {"end\n", "end\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(toHex(row.in));
        EXPECT_EQ(lfToCrLf(row.in), row.out);
    }
}

TEST(GbkText, ConvertsMegabyteMessagesAndFindsAFaultAtTheirEnd)
{
    constexpr std::size_t kCharactersPerLine = 12;
    std::string utf8;
    std::string gbk;
    std::size_t characters = 0;
    while (utf8.size() < (std::size_t{1} << 20)) {
        utf8 += "数据 page 12\r\n";
        characters += kCharactersPerLine;
        gbk += fromHex("CA FD BE DD 20 70 61 67 65 20 31 32 0D 0A");
    }
    const GbkResult result = utf8ToGbk(utf8);
    ASSERT_TRUE(result.ok());
    EXPECT_TRUE(result.bytes == gbk);
    EXPECT_TRUE(gbkToUtf8(gbk) == utf8);

    const GbkResult refused = utf8ToGbk(utf8 + "😀");
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.badIndex, characters);
}

TEST(GbkText, DescribesTheRefusedCharacterForPeople)
{
    EXPECT_EQ(describeProblem(utf8ToGbk("ab😀")), "character U+1F600 (😀) at position 3 has no GBK code");
    EXPECT_EQ(describeProblem(utf8ToGbk("a\xFF")), "invalid UTF-8 (byte 0xFF) at character position 2");
    EXPECT_EQ(describeProblem(utf16ToGbk(std::u16string(1, char16_t{0xDC00}))),
              "unpaired surrogate U+DC00 at position 1");
    EXPECT_EQ(describeProblem(utf8ToGbk("ok")), "");
}

}  // namespace
}  // namespace pelmora::link
