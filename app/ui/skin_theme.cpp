// Parsing the skin's ini theme and the contrast arithmetic used to keep it readable.
#include "app/ui/skin_theme.h"

#include <cmath>
#include <new>
#include <optional>
#include <utility>

namespace tessaly {
namespace {

constexpr std::string_view kWhitespace = " \t\r\f\v";

std::string_view Trim(std::string_view s) {
  const size_t first = s.find_first_not_of(kWhitespace);
  if (first == std::string_view::npos) return {};
  const size_t last = s.find_last_not_of(kWhitespace);
  return s.substr(first, last - first + 1);
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x + 32);
    if (y >= 'A' && y <= 'Z') y = char(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

// "#rrggbb" or "r,g,b" with optional blanks around each number.
std::optional<uint32_t> ParseColor(std::string_view value) {
  if (!value.empty() && value[0] == '#') {
    if (value.size() != 7) return std::nullopt;
    uint8_t channels[3];
    for (int i = 0; i < 3; ++i) {
      const auto high = HexDigit(value[1 + 2 * i]);
      const auto low = HexDigit(value[2 + 2 * i]);
      if (!high || !low) return std::nullopt;
      channels[i] = uint8_t(*high * 16 + *low);
    }
    return SkinRgb(channels[0], channels[1], channels[2]);
  }
  uint8_t channels[3];
  for (int i = 0; i < 3; ++i) {
    const size_t comma = value.find(',');
    if ((i < 2) != (comma != std::string_view::npos)) return std::nullopt;
    const std::string_view number = Trim(value.substr(0, comma));
    if (number.empty() || number.size() > 3) return std::nullopt;
    int n = 0;
    for (char c : number) {
      if (c < '0' || c > '9') return std::nullopt;
      n = n * 10 + (c - '0');
    }
    if (n > 255) return std::nullopt;
    channels[i] = uint8_t(n);
    value = comma == std::string_view::npos ? std::string_view{} : value.substr(comma + 1);
  }
  return SkinRgb(channels[0], channels[1], channels[2]);
}

uint32_t* FieldOf(SkinTheme& theme, std::string_view key) {
  struct Entry {
    std::string_view key;
    uint32_t SkinTheme::*field;
  };
  static constexpr Entry kKeys[] = {
      {"Window", &SkinTheme::window},
      {"Text", &SkinTheme::text},
      {"DisabledText", &SkinTheme::disabledText},
      {"GroupText", &SkinTheme::groupText},
      {"EditBackground", &SkinTheme::editBackground},
      {"EditText", &SkinTheme::editText},
      {"ReadOnlyBackground", &SkinTheme::readOnlyBackground},
      {"ListBackground", &SkinTheme::listBackground},
      {"ListText", &SkinTheme::listText},
      {"Border", &SkinTheme::border},
  };
  for (const Entry& entry : kKeys)
    if (EqualsAsciiNoCase(entry.key, key)) return &(theme.*entry.field);
  return nullptr;
}

ErrorCode Parse(std::string_view text, SkinTheme& theme) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  if (text.find('\0') != std::string_view::npos) return err::InvalidData;
  bool inColors = false;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);

    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      const std::string_view header = Trim(line.substr(0, line.find(';')));
      if (header.size() < 2 || header.back() != ']') return err::InvalidData;
      inColors = EqualsAsciiNoCase(Trim(header.substr(1, header.size() - 2)), "Colors");
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0) return err::InvalidData;
    if (!inColors) continue;
    uint32_t* field = FieldOf(theme, Trim(line.substr(0, equals)));
    if (!field) continue;
    std::string_view value = line.substr(equals + 1);
    value = Trim(value.substr(0, value.find(';')));
    const auto color = ParseColor(value);
    if (!color) return err::InvalidData;
    *field = *color;
  }
  return err::Success;
}

double Linear(uint8_t channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

}  // namespace

std::vector<SkinTheme::Pair> SkinTheme::TextPairs() const {
  return {
      {"Text on Window", text, window, 4.5},
      {"GroupText on Window", groupText, window, 4.5},
      {"DisabledText on Window", disabledText, window, 3.0},
      {"EditText on EditBackground", editText, editBackground, 4.5},
      {"Text on ReadOnlyBackground", text, readOnlyBackground, 4.5},
      {"DisabledText on ReadOnlyBackground", disabledText, readOnlyBackground, 3.0},
      {"ListText on ListBackground", listText, listBackground, 4.5},
  };
}

ErrorCode ParseSkinTheme(std::string_view iniText, SkinTheme& theme) {
  try {
    SkinTheme parsed = theme;
    const ErrorCode result = Parse(iniText, parsed);
    if (result == err::Success) theme = parsed;
    return result;
  } catch (...) {
    return err::InternalError;
  }
}

double RelativeLuminance(uint32_t color) {
  return 0.2126 * Linear(SkinRed(color)) + 0.7152 * Linear(SkinGreen(color)) +
         0.0722 * Linear(SkinBlue(color));
}

double ContrastRatio(uint32_t a, uint32_t b) {
  double la = RelativeLuminance(a), lb = RelativeLuminance(b);
  if (la < lb) std::swap(la, lb);
  return (la + 0.05) / (lb + 0.05);
}

}  // namespace tessaly
