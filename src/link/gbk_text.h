#pragma once

// The transmitter understands only GBK (code page 936). The operator's text
// arrives as UTF-16 from the window and as UTF-8 from the command line; these
// functions turn it into GBK and refuse, never replace, whatever GBK cannot
// carry, so that no page ever goes out with silently altered text.
//
// The conversions use the operating system's own code page 936 (iconv on
// POSIX, WideCharToMultiByte on Windows). None of them blocks; each runs over
// the whole buffer in one pass, so a message of megabytes converts in
// milliseconds. They throw only std::bad_alloc, or std::runtime_error on a
// system that has no code page 936 converter at all.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pelmora::link {

enum class TextProblem {
    None,
    NoGbkCode,          // a well-formed character that GBK has no code for
    InvalidUtf8,        // a byte sequence that is not UTF-8
    UnpairedSurrogate,  // a UTF-16 surrogate without its partner
};

struct GbkResult {
    std::string bytes;  // the GBK text; empty whenever ok() is false
    // Index, counted in characters (code points) from 0, of the first
    // character that could not be converted.
    std::optional<std::size_t> badIndex;
    // That character; for invalid UTF-8 the first offending byte, for an
    // unpaired surrogate its code unit.
    char32_t badChar = 0;
    TextProblem problem = TextProblem::None;

    bool ok() const { return !badIndex.has_value(); }
};

// UTF-16 (as QString::utf16() gives it) to GBK.
GbkResult utf16ToGbk(std::u16string_view text);

// UTF-8 to GBK.
GbkResult utf8ToGbk(std::string_view text);

// GBK to UTF-8 for display. A byte sequence that is not GBK shows as U+FFFD
// (one per offending byte); this never fails.
std::string gbkToUtf8(std::string_view gbk);

// GBK to UTF-16 for display, with the same replacement rule as gbkToUtf8.
std::u16string gbkToUtf16(std::string_view gbk);

// Line breaks as the transmitter expects them: each LF not already preceded
// by CR becomes CR LF; an existing CR LF and a lone CR stay as they are.
std::string lfToCrLf(std::string_view text);

// One English sentence naming the refused character and its position
// (counted from 1 for people), e.g.
// "character U+1F600 (😀) at position 3 has no GBK code". Empty when ok().
std::string describeProblem(const GbkResult& result);

}  // namespace pelmora::link
