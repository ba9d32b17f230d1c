// Code page 936 through iconv. glibc's "CP936" is GBK with 0x80 for the euro
// sign, the same table Windows uses. No //TRANSLIT or //IGNORE: a character
// without a code must stop the conversion so that it can be refused.

#include "link/gbk_text_detail.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace pelmora::link::detail {
namespace {

constexpr const char* kGbk = "CP936";
constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from))
    {
        if (handle_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("no iconv converter from ") + from + " to " + to);
    }
    ~Converter() { iconv_close(handle_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // One iconv call; returns false with errno set when it stopped early.
    bool convert(char*& in, std::size_t& inLeft, char*& out, std::size_t& outLeft)
    {
        return iconv(handle_, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1);
    }

private:
    iconv_t handle_ = reinterpret_cast<iconv_t>(-1);
};

}  // namespace

RawGbk encodeGbk(std::u16string_view text)
{
    RawGbk result;
    if (text.empty())
        return result;
    Converter converter(kGbk, kUtf16);
    // A BMP character takes at most two GBK bytes, and a surrogate pair is
    // always refused, so twice the code units is enough.
    result.bytes.resize(text.size() * 2);
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
    std::size_t inLeft = text.size() * sizeof(char16_t);
    char* out = result.bytes.data();
    std::size_t outLeft = result.bytes.size();
    if (!converter.convert(in, inLeft, out, outLeft)) {
        if (errno == E2BIG)  // cannot happen for GBK; never pass it off as a refusal
            throw std::length_error("GBK output larger than expected");
        const auto consumed = static_cast<std::size_t>(in - reinterpret_cast<const char*>(text.data()));
        result.badUnit = consumed / sizeof(char16_t);
        result.bytes.clear();
        return result;
    }
    result.bytes.resize(result.bytes.size() - outLeft);
    return result;
}

std::u16string decodeGbk(std::string_view gbk)
{
    std::u16string result;
    if (gbk.empty())
        return result;
    Converter converter(kUtf16, kGbk);
    // Every GBK character is one or two bytes and becomes one UTF-16 unit;
    // a replaced byte becomes one unit too.
    result.resize(gbk.size());
    char* in = const_cast<char*>(gbk.data());
    std::size_t inLeft = gbk.size();
    char* const outStart = reinterpret_cast<char*>(result.data());
    char* out = outStart;
    std::size_t outLeft = result.size() * sizeof(char16_t);
    while (inLeft > 0) {
        if (converter.convert(in, inLeft, out, outLeft))
            break;
        if (errno == E2BIG)
            throw std::length_error("UTF-16 output larger than expected");
        // EILSEQ or EINVAL (a lead byte cut off at the end): replace one byte.
        const char16_t replacement = 0xFFFD;
        std::memcpy(out, &replacement, sizeof replacement);
        out += sizeof replacement;
        outLeft -= sizeof replacement;
        ++in;
        --inLeft;
    }
    result.resize(static_cast<std::size_t>(out - outStart) / sizeof(char16_t));
    return result;
}

}  // namespace pelmora::link::detail
