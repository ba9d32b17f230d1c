#pragma once

// The two conversions each operating system supplies; everything else about
// GBK text is shared in gbk_text.cpp.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pelmora::link::detail {

struct RawGbk {
    std::string bytes;
    // Offset, in UTF-16 code units, of the first character with no GBK code.
    std::optional<std::size_t> badUnit;
};

// `text` must be well-formed UTF-16 (every surrogate paired).
RawGbk encodeGbk(std::u16string_view text);

// Never fails: each byte that does not start a GBK character becomes U+FFFD.
std::u16string decodeGbk(std::string_view gbk);

}  // namespace pelmora::link::detail
