#pragma once

// Showing raw line bytes to people: as hex, and as text in which GBK
// characters appear as themselves and everything else is escaped.

#include <string>
#include <string_view>

namespace pelmora::tools {

// "23 50 31": upper-case hex pairs separated by single spaces.
std::string toHex(std::string_view bytes);

// The bytes decoded from GBK to UTF-8 and escaped for one line of output:
// \r \n \t \\ and, with quoteMarks, \" as in C; other control characters as
// \xNN; bytes that are not GBK as \xNN too, so nothing is hidden.
std::string escapeGbk(std::string_view bytes, bool quoteMarks = false);

// A UTF-8 string as the inside of a JSON string literal.
std::string jsonEscape(std::string_view utf8);

}  // namespace pelmora::tools
