// Code page 936 through the Win32 national-language API. WC_NO_BEST_FIT_CHARS
// keeps Windows from quietly substituting a look-alike (e.g. "a" for "ä");
// lpUsedDefaultChar then tells whether any character had no code at all.

#include "link/gbk_text_detail.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

namespace pelmora::link::detail {
namespace {

constexpr UINT kGbkCodePage = 936;

int checkedLength(std::size_t size)
{
    if (size > static_cast<std::size_t>(INT_MAX))
        throw std::length_error("text too long for code page conversion");
    return static_cast<int>(size);
}

// GBK bytes of `units`, or nothing when a character has no code.
std::optional<std::string> encodeRun(const char16_t* units, int count)
{
    const auto* wide = reinterpret_cast<const wchar_t*>(units);
    BOOL usedDefault = FALSE;
    const int needed =
        WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide, count, nullptr, 0, nullptr, &usedDefault);
    if (needed <= 0 || usedDefault)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    usedDefault = FALSE;
    const int written = WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide, count, bytes.data(), needed,
                                            nullptr, &usedDefault);
    if (written != needed || usedDefault)
        return std::nullopt;
    return bytes;
}

bool isHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// Byte length of the GBK character that starts at gbk[i], by the shape of
// its lead byte; the API decides whether it is a real character.
std::size_t pieceLength(std::string_view gbk, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(gbk[i]);
    if (lead >= 0x81 && lead <= 0xFE && i + 1 < gbk.size())
        return 2;
    return 1;
}

}  // namespace

RawGbk encodeGbk(std::u16string_view text)
{
    RawGbk result;
    if (text.empty())
        return result;
    if (auto bytes = encodeRun(text.data(), checkedLength(text.size()))) {
        result.bytes = std::move(*bytes);
        return result;
    }
    // Some character has no code: find the first one, character by character.
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t units = isHighSurrogate(text[i]) && i + 1 < text.size() ? 2 : 1;
        if (!encodeRun(text.data() + i, static_cast<int>(units))) {
            result.badUnit = i;
            return result;
        }
        i += units;
    }
    // Whole text refused but every character alone accepted: the API itself
    // failed. Refuse at the start rather than send something unchecked.
    result.badUnit = 0;
    return result;
}

std::u16string decodeGbk(std::string_view gbk)
{
    std::u16string result;
    if (gbk.empty())
        return result;
    const int length = checkedLength(gbk.size());
    const int needed = MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, gbk.data(), length, nullptr, 0);
    if (needed > 0) {
        result.resize(static_cast<std::size_t>(needed));
        MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, gbk.data(), length,
                            reinterpret_cast<wchar_t*>(result.data()), needed);
        return result;
    }
    // Some bytes are not GBK: decode character by character, replacing each
    // byte that does not start a character.
    for (std::size_t i = 0; i < gbk.size();) {
        const std::size_t bytes = pieceLength(gbk, i);
        wchar_t unit[2] = {};
        const int got =
            MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, gbk.data() + i, static_cast<int>(bytes), unit, 2);
        if (got == 1) {
            result.push_back(static_cast<char16_t>(unit[0]));
            i += bytes;
        } else {
            result.push_back(u'\uFFFD');
            ++i;
        }
    }
    return result;
}

}  // namespace pelmora::link::detail
