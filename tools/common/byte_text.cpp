#include "byte_text.h"

#include "link/gbk_text.h"

#include <cstdio>

namespace pelmora::tools {
namespace {

constexpr std::string_view kReplacementUtf8{"\xEF\xBF\xBD"};

void appendByteEscape(std::string& out, unsigned char byte)
{
    char code[8];
    std::snprintf(code, sizeof code, "\\x%02X", byte);
    out += code;
}

// Length of the GBK character starting at bytes[i], judged by its lead byte.
std::size_t gbkCharacterLength(std::string_view bytes, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(bytes[i]);
    return lead >= 0x81 && lead <= 0xFE && i + 1 < bytes.size() ? 2 : 1;
}

void appendAscii(std::string& out, unsigned char byte, bool quoteMarks)
{
    switch (byte) {
    case '\r':
        out += "\\r";
        break;
    case '\n':
        out += "\\n";
        break;
    case '\t':
        out += "\\t";
        break;
    case '\\':
        out += "\\\\";
        break;
    case '"':
        out += quoteMarks ? "\\\"" : "\"";
        break;
    default:
        if (byte < 0x20 || byte == 0x7F)
            appendByteEscape(out, byte);
        else
            out.push_back(static_cast<char>(byte));
    }
}

}  // namespace

std::string toHex(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (!hex.empty())
            hex.push_back(' ');
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0x0F]);
    }
    return hex;
}

std::string escapeGbk(std::string_view bytes, bool quoteMarks)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            appendAscii(out, byte, quoteMarks);
            ++i;
            continue;
        }
        // Decode a whole run of non-ASCII characters at once: a 1 MB Chinese
        // message must not cost a converter per character.
        std::size_t end = i;
        while (end < bytes.size() && static_cast<unsigned char>(bytes[end]) >= 0x80)
            end += gbkCharacterLength(bytes, end);
        const std::string_view run = bytes.substr(i, end - i);
        i = end;
        const std::string decoded = link::gbkToUtf8(run);
        if (decoded.find(kReplacementUtf8) == std::string::npos) {
            out += decoded;
            continue;
        }
        // Some bytes in the run are not GBK: go character by character.
        for (std::size_t k = 0; k < run.size();) {
            const auto current = static_cast<unsigned char>(run[k]);
            if (current < 0x80) {
                appendAscii(out, current, quoteMarks);
                ++k;
                continue;
            }
            const std::size_t length = gbkCharacterLength(run, k);
            const std::string one = link::gbkToUtf8(run.substr(k, length));
            if (one.find(kReplacementUtf8) == std::string::npos) {
                out += one;
                k += length;
            } else {
                appendByteEscape(out, current);
                ++k;
            }
        }
    }
    return out;
}

std::string jsonEscape(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size() + 8);
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                char code[8];
                std::snprintf(code, sizeof code, "\\u%04X", byte);
                out += code;
            } else {
                out.push_back(c);
            }
        }
    }
    return out;
}

}  // namespace pelmora::tools
