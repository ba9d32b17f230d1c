#pragma once

#include <QColor>
#include <cstdint>

namespace pelmora::ui {

// Colours are kept as 0x00BBGGRR values (255 is red, 65280 green), the form
// the window layouts use; 0xFF000000 marks "no colour of the control's own".
using Colour = std::uint32_t;
inline constexpr Colour kNoColour = 0xFF000000u;
inline constexpr Colour kRed = 255u;
inline constexpr Colour kGreen = 65280u;

constexpr QColor toQColor(Colour c)
{
    return QColor(static_cast<int>(c & 0xFFu), static_cast<int>((c >> 8) & 0xFFu), static_cast<int>((c >> 16) & 0xFFu));
}

}  // namespace pelmora::ui
