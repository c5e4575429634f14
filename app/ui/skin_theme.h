// The window skin's colour theme: an ini text ([Colors] with named RGB values) parsed into
// COLORREF-like values, and the WCAG contrast ratio that keeps every text readable.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace tessaly {

// 0x00BBGGRR, the layout of a Windows COLORREF.
constexpr uint32_t SkinRgb(uint8_t r, uint8_t g, uint8_t b) {
  return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}
constexpr uint8_t SkinRed(uint32_t c) { return uint8_t(c & 0xFF); }
constexpr uint8_t SkinGreen(uint32_t c) { return uint8_t((c >> 8) & 0xFF); }
constexpr uint8_t SkinBlue(uint32_t c) { return uint8_t((c >> 16) & 0xFF); }

// The colours the skin paints with. The defaults are the dark theme itself, so a theme file
// that leaves a key out still yields readable pairs.
struct SkinTheme {
  uint32_t window = SkinRgb(32, 32, 32);           // dialog and static backgrounds
  uint32_t text = SkinRgb(232, 232, 232);          // static text, check boxes, radio buttons
  uint32_t disabledText = SkinRgb(150, 150, 150);  // disabled check boxes and radio buttons
  uint32_t groupText = SkinRgb(140, 190, 255);     // group box captions
  uint32_t editBackground = SkinRgb(48, 48, 52);   // enabled edit fields and combo faces
  uint32_t editText = SkinRgb(245, 245, 245);
  uint32_t readOnlyBackground = SkinRgb(40, 40, 43);  // read-only and disabled edit fields
  uint32_t listBackground = SkinRgb(24, 24, 26);      // list boxes, drop lists, list and tree views
  uint32_t listText = SkinRgb(235, 235, 235);
  uint32_t border = SkinRgb(90, 90, 96);  // scroll bar controls

  // A text colour and the background it is drawn on, with the contrast it must reach.
  struct Pair {
    const char* name;
    uint32_t foreground;
    uint32_t background;
    double minimumContrast;
  };
  // Every pair the skin draws: 4.5 for normal text, 3 for disabled text.
  std::vector<Pair> TextPairs() const;
};

// Parses an ini text (UTF-8 or ASCII bytes, an optional UTF-8 byte-order mark) into `theme`.
// Lines are "[Section]", "Key = Value", or comments starting with ';' or '#'; a ';' after a
// value starts a comment too. Only the section [Colors] is read; keys are matched without
// regard to case; a value is "r,g,b" (decimal 0-255) or "#rrggbb". Unknown keys and other
// sections are ignored, missing keys keep the defaults, a repeated key takes its last value.
// A line of another shape, or a colour value that does not parse, gives 13 (invalid data) and
// leaves `theme` unchanged; an exception inside the parse gives 1359.
[[nodiscard]] ErrorCode ParseSkinTheme(std::string_view iniText, SkinTheme& theme);

// WCAG 2 relative luminance of an sRGB colour (0 black to 1 white).
double RelativeLuminance(uint32_t color);
// WCAG 2 contrast ratio of two colours, 1 (same) to 21 (black on white), order irrelevant.
double ContrastRatio(uint32_t a, uint32_t b);

}  // namespace tessaly
