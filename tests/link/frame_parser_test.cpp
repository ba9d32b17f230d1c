#include "link/frame_parser.h"

#include "text_test_bytes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace pelmora::link {
namespace {

using test::fromHex;

// Events as short strings, so whole sequences compare in one line.
std::string describe(const FrameEvent& event)
{
    switch (event.kind) {
    case FrameEventKind::Frame:
        return "frame:" + event.frame.raw;
    case FrameEventKind::Noise:
        return "noise:" + event.bytes;
    case FrameEventKind::CutOff:
        return (event.cutOffReason == CutOffReason::NewStartMark ? "cut-by-start:" : "cut-by-end:") + event.bytes;
    case FrameEventKind::Overlong:
        return "overlong:" + event.bytes;
    }
    return "?";
}

// Adjacent noise events are one run of noise, however the bytes arrived.
std::vector<std::string> describeAll(const std::vector<FrameEvent>& events)
{
    std::vector<std::string> out;
    for (const FrameEvent& event : events) {
        std::string text = describe(event);
        if (event.kind == FrameEventKind::Noise && !out.empty() && out.back().rfind("noise:", 0) == 0)
            out.back() += event.bytes;
        else
            out.push_back(std::move(text));
    }
    return out;
}

std::vector<FrameEvent> parseWhole(FrameParser& parser, std::string_view stream)
{
    std::vector<FrameEvent> events = parser.feed(stream);
    for (FrameEvent& e : parser.finish())
        events.push_back(std::move(e));
    return events;
}

TEST(FrameParser, DecodesFieldsByTable)
{
    const std::string data = fromHex("CA FD BE DD");
    const struct {
        const char* name;
        std::string raw;
        std::optional<char> phase;
        std::string address;
        std::optional<char> function, rate, type;
        std::string message;
        std::optional<std::string> undecoded;
    } rows[] = {
        {"start-up page", "#P12345671HN123$", 'P', "1234567", '1', 'H', 'N', "123", std::nullopt},
        {"Chinese", "#N12345674LT" + data + "$", 'N', "1234567", '4', 'L', 'T', data, std::nullopt},
        {"empty texts", "#P1HN$", 'P', "", '1', 'H', 'N', "", std::nullopt},
        {"address looks like codes", "#P1234HN1HN123$", 'P', "1234HN", '1', 'H', 'N', "123", std::nullopt},
        {"address is all codes", "#N2LT3HT$", 'N', "2LT", '3', 'H', 'T', "", std::nullopt},
        {"dash in address", "#P123-4562LN$", 'P', "123-456", '2', 'L', 'N', "", std::nullopt},
        {"no phase", "#12345671HN123$", std::nullopt, "1234567", '1', 'H', 'N', "123", std::nullopt},
        {"line break in message", "#P11HN1\r\n2$", 'P', "1", '1', 'H', 'N', "1\r\n2", std::nullopt},
        {"no codes", "#P1234567$", 'P', "", std::nullopt, std::nullopt, std::nullopt, "", "1234567"},
        {"unknown function", "#P12345675HN12$", 'P', "", std::nullopt, std::nullopt, std::nullopt, "", "12345675HN12"},
        {"unknown phase", "#X71HN$", std::nullopt, "X7", '1', 'H', 'N', "", std::nullopt},
        {"empty frame", "#$", std::nullopt, "", std::nullopt, std::nullopt, std::nullopt, "", ""},
        {"phase only", "#N$", 'N', "", std::nullopt, std::nullopt, std::nullopt, "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const PageFrame frame = decodeFrame(row.raw);
        EXPECT_EQ(frame.raw, row.raw);
        EXPECT_EQ(frame.phase, row.phase);
        EXPECT_EQ(frame.address, row.address);
        EXPECT_EQ(frame.function, row.function);
        EXPECT_EQ(frame.rate, row.rate);
        EXPECT_EQ(frame.pagerType, row.type);
        EXPECT_EQ(frame.message, row.message);
        EXPECT_EQ(frame.undecoded, row.undecoded);
        EXPECT_EQ(frame.fullyDecoded(), row.phase && row.function);
    }
}

TEST(FrameParser, SeparatesFramesNoiseAndCutOffFrames)
{
    const struct {
        const char* name;
        std::string stream;
        std::vector<std::string> events;
    } rows[] = {
        {"noise between frames",
         "xx#P1HN$yy#N2LTa$zz",
         {"noise:xx", "frame:#P1HN$", "noise:yy", "frame:#N2LTa$", "noise:zz"}},
        {"cut by a new start", "#P12#P1HN$", {"cut-by-start:#P12", "frame:#P1HN$"}},
        {"cut by the end", "ok#P1HN$#P12", {"noise:ok", "frame:#P1HN$", "cut-by-end:#P12"}},
        {"stray end mark is noise", "$a$#P1HN$", {"noise:$a$", "frame:#P1HN$"}},
        {"marks inside a message", "#P1HNa#b$c$", {"cut-by-start:#P1HNa", "frame:#b$", "noise:c$"}},
        {"lone start", "#", {"cut-by-end:#"}},
        {"empty stream", "", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FrameParser parser;
        EXPECT_EQ(describeAll(parseWhole(parser, row.stream)), row.events);
    }
}

TEST(FrameParser, GivesTheSameEventsHoweverTheStreamIsSplit)
{
    const std::string stream = "noise#P12345671HN123$ \r\n#N12345674LT" + fromHex("CA FD BE DD") + "$#P9$tail#P1";
    FrameParser whole;
    const std::vector<std::string> expected = describeAll(parseWhole(whole, stream));
    ASSERT_EQ(expected.size(), 7u);

    for (std::size_t split = 0; split <= stream.size(); ++split) {
        SCOPED_TRACE(split);
        FrameParser parser;
        std::vector<FrameEvent> events = parser.feed(std::string_view(stream).substr(0, split));
        for (FrameEvent& e : parseWhole(parser, std::string_view(stream).substr(split)))
            events.push_back(std::move(e));
        EXPECT_EQ(describeAll(events), expected);
    }

    FrameParser byteByByte;
    std::vector<FrameEvent> events;
    for (const char c : stream)
        for (FrameEvent& e : byteByByte.feed(std::string_view(&c, 1)))
            events.push_back(std::move(e));
    for (FrameEvent& e : byteByByte.finish())
        events.push_back(std::move(e));
    EXPECT_EQ(describeAll(events), expected);
}

TEST(FrameParser, DropsAFrameThatOutgrowsTheLimitAndResynchronises)
{
    FrameParser parser(16);
    const std::string longBody(100, 'a');
    const struct {
        const char* name;
        std::vector<std::string> chunks;
        std::vector<std::string> events;
    } rows[] = {
        {"ended by its end mark",
         {"#P" + longBody + "$", "#P1HN$"},
         {"overlong:#P" + longBody.substr(0, 62), "frame:#P1HN$"}},
        {"ended by a new start",
         {"#", longBody, longBody, "#P1HN$"},
         {"overlong:#" + longBody.substr(0, 63), "frame:#P1HN$"}},
        {"exactly at the limit", {"#P12345671HN123$"}, {"frame:#P12345671HN123$"}},
        {"one past the limit", {"#P12345671HN1234$x"}, {"overlong:#P12345671HN1234", "noise:x"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<FrameEvent> events;
        for (const std::string& chunk : row.chunks)
            for (FrameEvent& e : parser.feed(chunk))
                events.push_back(std::move(e));
        for (FrameEvent& e : parser.finish())
            events.push_back(std::move(e));
        EXPECT_EQ(describeAll(events), row.events);
    }
}

TEST(FrameParser, ReadsAFrameOfAMegabyte)
{
    const std::string message(1 << 20, '5');
    FrameParser parser;
    const std::vector<FrameEvent> events = parseWhole(parser, "#P11HN" + message + "$");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, FrameEventKind::Frame);
    EXPECT_TRUE(events[0].frame.message == message);
}

}  // namespace
}  // namespace pelmora::link
