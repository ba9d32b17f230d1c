#pragma once

// The page command the transmitter takes: "#", phase code, address, function
// digit, rate code, pager-type code, message, "$". No length, no checksum and
// no escaping: the four one-byte codes after "#" and around the address are
// the only structure, and "#"/"$" inside a text are sent as they are.
//
// Each code depends only on the position of the selection in its list;
// a position outside the list (-1: nothing selected) contributes no byte.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pelmora::link::page {

inline constexpr char kStartMark = '#';
inline constexpr char kEndMark = '$';

// Codes by list position: phaseCodes()[0] is the code of position 0, etc.
std::span<const char> phaseCodes();      // "正" 'P', "反" 'N'
std::span<const char> functionCodes();   // '1' '2' '3' '4'
std::span<const char> rateCodes();       // 1200 'H', 512 'L'
std::span<const char> pagerTypeCodes();  // "数字机" 'N', "汉字机" 'T'

std::optional<char> phaseCode(int position);
std::optional<char> functionCode(int position);
std::optional<char> rateCode(int position);
std::optional<char> pagerTypeCode(int position);

// List positions; the defaults are the window's start-up selections.
struct Selections {
    int phase = 0;
    int function = 0;
    int rate = 0;
    int pagerType = 0;
};

// The whole command. Address and message are GBK already and go out byte for
// byte; nothing is checked or changed.
std::string buildCommand(const Selections& selections, std::string_view addressGbk, std::string_view messageGbk);

}  // namespace pelmora::link::page
