#include "link/page_command.h"

#include "text_test_bytes.h"

#include <gtest/gtest.h>

#include <optional>

namespace pelmora::link::page {
namespace {

using test::fromHex;
using test::toHex;

TEST(PageCommand, GivesACodeOnlyForPositionsInTheList)
{
    using CodeOf = std::optional<char> (*)(int);
    const struct {
        const char* piece;
        CodeOf codeOf;
        int position;
        std::optional<char> code;
    } rows[] = {
        {"phase", phaseCode, -1, std::nullopt},
        {"phase", phaseCode, 0, 'P'},
        {"phase", phaseCode, 1, 'N'},
        {"phase", phaseCode, 2, std::nullopt},
        {"function", functionCode, -1, std::nullopt},
        {"function", functionCode, 0, '1'},
        {"function", functionCode, 1, '2'},
        {"function", functionCode, 2, '3'},
        {"function", functionCode, 3, '4'},
        {"function", functionCode, 4, std::nullopt},
        {"rate", rateCode, -1, std::nullopt},
        {"rate", rateCode, 0, 'H'},
        {"rate", rateCode, 1, 'L'},
        {"rate", rateCode, 2, std::nullopt},
        {"type", pagerTypeCode, -1, std::nullopt},
        {"type", pagerTypeCode, 0, 'N'},
        {"type", pagerTypeCode, 1, 'T'},
        {"type", pagerTypeCode, 2, std::nullopt},
        {"type", pagerTypeCode, -2147483647 - 1, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.piece) + " " + std::to_string(row.position));
        EXPECT_EQ(row.codeOf(row.position), row.code);
    }
}

TEST(PageCommand, PositionTablesAgreeWithTheCodes)
{
    using CodeOf = std::optional<char> (*)(int);
    const struct {
        std::span<const char> table;
        CodeOf codeOf;
        std::size_t size;
    } tables[] = {
        {phaseCodes(), phaseCode, 2},
        {functionCodes(), functionCode, 4},
        {rateCodes(), rateCode, 2},
        {pagerTypeCodes(), pagerTypeCode, 2},
    };
    for (const auto& t : tables) {
        ASSERT_EQ(t.table.size(), t.size);
        for (std::size_t i = 0; i < t.table.size(); ++i)
            EXPECT_EQ(t.codeOf(static_cast<int>(i)), t.table[i]);
    }
}

TEST(PageCommand, BuildsTheBytesTheTransmitterExpects)
{
    const Selections defaults;
    const Selections inverted512Chinese{1, 3, 1, 1};
    const std::string data = fromHex("CA FD BE DD");  // "数据"
    const struct {
        const char* name;
        Selections selections;
        std::string address;
        std::string message;
        const char* hex;
    } rows[] = {
        {"start-up page", defaults, "1234567", "123", "23 50 31 32 33 34 35 36 37 31 48 4E 31 32 33 24"},
        {"inverted, 4, 512, Chinese", inverted512Chinese, "1234567", data,
         "23 4E 31 32 33 34 35 36 37 34 4C 54 CA FD BE DD 24"},
        {"empty address", defaults, "", "123", "23 50 31 48 4E 31 32 33 24"},
        {"empty message", defaults, "1234567", "", "23 50 31 32 33 34 35 36 37 31 48 4E 24"},
        {"both empty", defaults, "", "", "23 50 31 48 4E 24"},
        {"line breaks", defaults, "1", "12\r\n34\r\n", "23 50 31 31 48 4E 31 32 0D 0A 33 34 0D 0A 24"},
        {"marks inside texts", defaults, "#", "a$b", "23 50 23 31 48 4E 61 24 62 24"},
        {"dash, lower case", defaults, "12-3", "af", "23 50 31 32 2D 33 31 48 4E 61 66 24"},
        {"no phase", {-1, 0, 0, 0}, "7", "", "23 37 31 48 4E 24"},
        {"function out of range", {0, 4, 0, 0}, "7", "", "23 50 37 48 4E 24"},
        {"rate out of range", {0, 0, 2, 0}, "7", "", "23 50 37 31 4E 24"},
        {"type unselected", {0, 0, 0, -1}, "7", "", "23 50 37 31 48 24"},
        {"nothing selected", {-1, -1, -1, -1}, "", "", "23 24"},
        {"NUL bytes kept", defaults, std::string(1, '\0'), std::string(1, '\0'), "23 50 00 31 48 4E 00 24"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(toHex(buildCommand(row.selections, row.address, row.message)), row.hex);
    }
}

TEST(PageCommand, CarriesLongMessagesWhole)
{
    const std::string message(1 << 20, 'A');
    const std::string command = buildCommand({}, "1", message);
    ASSERT_EQ(command.size(), message.size() + 7);
    EXPECT_EQ(command.substr(0, 6), "#P11HN");
    EXPECT_EQ(command.back(), '$');
    EXPECT_TRUE(command.compare(6, message.size(), message) == 0);
}

}  // namespace
}  // namespace pelmora::link::page
