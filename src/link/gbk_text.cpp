#include "link/gbk_text.h"

#include "link/gbk_text_detail.h"

#include <cstdint>
#include <cstdio>

namespace pelmora::link {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

GbkResult refused(std::size_t index, char32_t character, TextProblem problem)
{
    GbkResult result;
    result.badIndex = index;
    result.badChar = character;
    result.problem = problem;
    return result;
}

// Characters (code points) in text[0, units).
std::size_t codePointsBefore(std::u16string_view text, std::size_t units)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < units && i < text.size(); ++i) {
        if (!isLowSurrogate(text[i]))
            ++count;
    }
    return count;
}

char32_t codePointAt(std::u16string_view text, std::size_t unit)
{
    const char32_t first = text[unit];
    if (isHighSurrogate(first) && unit + 1 < text.size() && isLowSurrogate(text[unit + 1]))
        return 0x10000 + ((first - 0xD800) << 10) + (char32_t{text[unit + 1]} - 0xDC00);
    return first;
}

GbkResult encodeWellFormed(std::u16string_view text)
{
    detail::RawGbk raw = detail::encodeGbk(text);
    if (raw.badUnit) {
        return refused(codePointsBefore(text, *raw.badUnit), codePointAt(text, *raw.badUnit), TextProblem::NoGbkCode);
    }
    GbkResult result;
    result.bytes = std::move(raw.bytes);
    return result;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

GbkResult utf16ToGbk(std::u16string_view text)
{
    std::size_t index = 0;
    for (std::size_t i = 0; i < text.size(); ++i, ++index) {
        const char32_t unit = text[i];
        if (isHighSurrogate(unit) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            ++i;
        } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
            return refused(index, unit, TextProblem::UnpairedSurrogate);
        }
    }
    return encodeWellFormed(text);
}

GbkResult utf8ToGbk(std::string_view text)
{
    // Strict UTF-8 (no overlong forms, no surrogates, nothing above
    // U+10FFFF), decoded to UTF-16 on the way.
    std::u16string utf16;
    utf16.reserve(text.size());
    std::size_t index = 0;
    for (std::size_t i = 0; i < text.size(); ++index) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        std::size_t length = 0;
        char32_t c = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            utf16.push_back(lead);
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            c = lead & 0x1F;
            minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            c = lead & 0x0F;
            minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            c = lead & 0x07;
            minimum = 0x10000;
        } else {
            return refused(index, lead, TextProblem::InvalidUtf8);
        }
        if (i + length > text.size())
            return refused(index, lead, TextProblem::InvalidUtf8);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<std::uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return refused(index, lead, TextProblem::InvalidUtf8);
            c = (c << 6) | (next & 0x3F);
        }
        if (c < minimum || c > 0x10FFFF || isHighSurrogate(c) || isLowSurrogate(c))
            return refused(index, lead, TextProblem::InvalidUtf8);
        if (c >= 0x10000) {
            utf16.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            utf16.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            utf16.push_back(static_cast<char16_t>(c));
        }
        i += length;
    }
    return encodeWellFormed(utf16);
}

std::u16string gbkToUtf16(std::string_view gbk)
{
    return detail::decodeGbk(gbk);
}

std::string gbkToUtf8(std::string_view gbk)
{
    const std::u16string utf16 = detail::decodeGbk(gbk);
    std::string out;
    out.reserve(utf16.size() * 3);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char32_t c = codePointAt(utf16, i);
        if (c >= 0x10000) {
            ++i;
            appendUtf8(out, c);
        } else {
            appendUtf8(out, isHighSurrogate(c) || isLowSurrogate(c) ? kReplacement : c);
        }
    }
    return out;
}

std::string lfToCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out.push_back('\r');
        out.push_back(text[i]);
    }
    return out;
}

std::string describeProblem(const GbkResult& result)
{
    if (result.ok())
        return {};
    const std::size_t position = *result.badIndex + 1;
    char code[16];
    switch (result.problem) {
    case TextProblem::InvalidUtf8:
        std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(result.badChar));
        return "invalid UTF-8 (byte " + std::string(code) + ") at character position " + std::to_string(position);
    case TextProblem::UnpairedSurrogate:
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(result.badChar));
        return "unpaired surrogate " + std::string(code) + " at position " + std::to_string(position);
    case TextProblem::NoGbkCode:
    case TextProblem::None:
        break;
    }
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(result.badChar));
    std::string shown;
    // Control characters would garble a one-line message; show only the code.
    if (result.badChar >= 0x20 && result.badChar != 0x7F) {
        appendUtf8(shown, result.badChar);
        shown = " (" + shown + ")";
    }
    return "character " + std::string(code) + shown + " at position " + std::to_string(position) + " has no GBK code";
}

}  // namespace pelmora::link
