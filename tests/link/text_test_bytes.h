#pragma once

// Byte strings written as hex in tests, the way they appear on a line
// analyser: "23 50 31".

#include <cstdio>
#include <string>
#include <string_view>

namespace pelmora::test {

inline std::string fromHex(std::string_view hex)
{
    std::string bytes;
    unsigned value = 0;
    int digits = 0;
    for (const char c : hex) {
        if (c == ' ')
            continue;
        value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
        if (++digits == 2) {
            bytes.push_back(static_cast<char>(value));
            value = 0;
            digits = 0;
        }
    }
    return bytes;
}

inline std::string toHex(std::string_view bytes)
{
    std::string hex;
    char digits[4];
    for (const char c : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(c));
        if (!hex.empty())
            hex.push_back(' ');
        hex += digits;
    }
    return hex;
}

}  // namespace pelmora::test
