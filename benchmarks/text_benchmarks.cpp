// Speed of the text path for the largest messages the window sends (1 MB).

#include "link/frame_parser.h"
#include "link/gbk_text.h"
#include "link/page_command.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace pelmora::link;

constexpr std::size_t kMessageBytes = std::size_t{1} << 20;

std::string chineseUtf8Message()
{
    std::string text;
    while (text.size() < kMessageBytes)
        text += "寻呼机数据 page 0123456789\n";
    return text;
}

std::u16string chineseUtf16Message()
{
    std::u16string text;
    while (text.size() * 2 < kMessageBytes)
        text += u"寻呼机数据 page 0123456789\r\n";
    return text;
}

void Utf8ToGbk(benchmark::State& state)
{
    const std::string text = chineseUtf8Message();
    for (auto _ : state)
        benchmark::DoNotOptimize(utf8ToGbk(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(Utf8ToGbk)->Unit(benchmark::kMillisecond);

void Utf16ToGbk(benchmark::State& state)
{
    const std::u16string text = chineseUtf16Message();
    for (auto _ : state)
        benchmark::DoNotOptimize(utf16ToGbk(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size() * 2));
}
BENCHMARK(Utf16ToGbk)->Unit(benchmark::kMillisecond);

void GbkToUtf8(benchmark::State& state)
{
    const std::string gbk = utf8ToGbk(chineseUtf8Message()).bytes;
    for (auto _ : state)
        benchmark::DoNotOptimize(gbkToUtf8(gbk));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * gbk.size()));
}
BENCHMARK(GbkToUtf8)->Unit(benchmark::kMillisecond);

void BuildAndParseCommand(benchmark::State& state)
{
    const std::string gbk = lfToCrLf(utf8ToGbk(chineseUtf8Message()).bytes);
    for (auto _ : state) {
        const std::string command = page::buildCommand({}, "1234567", gbk);
        FrameParser parser;
        benchmark::DoNotOptimize(parser.feed(command));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * gbk.size()));
}
BENCHMARK(BuildAndParseCommand)->Unit(benchmark::kMillisecond);

}  // namespace
