// The skin theme parser and the shipped NormalBlack theme's readability.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "app/ui/skin_theme.h"

namespace tessaly {
namespace {

TEST(SkinThemeTest, ContrastRatioFollowsWcag) {
  EXPECT_NEAR(ContrastRatio(SkinRgb(0, 0, 0), SkinRgb(255, 255, 255)), 21.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(SkinRgb(255, 255, 255), SkinRgb(0, 0, 0)), 21.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(SkinRgb(10, 20, 30), SkinRgb(10, 20, 30)), 1.0, 1e-9);
  // #767676 on white is the well-known 4.54:1 grey; pure red on white 4.0:1.
  EXPECT_NEAR(ContrastRatio(SkinRgb(0x76, 0x76, 0x76), SkinRgb(255, 255, 255)), 4.54, 0.01);
  EXPECT_NEAR(ContrastRatio(SkinRgb(255, 0, 0), SkinRgb(255, 255, 255)), 4.0, 0.01);
  // Green weighs most, blue least: the channel order of COLORREF matters.
  EXPECT_GT(RelativeLuminance(SkinRgb(0, 255, 0)), RelativeLuminance(SkinRgb(255, 0, 0)));
  EXPECT_GT(RelativeLuminance(SkinRgb(255, 0, 0)), RelativeLuminance(SkinRgb(0, 0, 255)));
  EXPECT_EQ(SkinRgb(0x12, 0x34, 0x56), 0x00563412u);
}

TEST(SkinThemeTest, ParsesColoursInBothNotationsAndKeepsDefaultsForMissingKeys) {
  const SkinTheme defaults;
  struct Case {
    const char* name;
    const char* ini;
    uint32_t window;
    uint32_t text;
  };
  const Case cases[] = {
      {"decimal", "[Colors]\nWindow=1,2,3\nText=4,5,6\n", SkinRgb(1, 2, 3), SkinRgb(4, 5, 6)},
      {"hex either case", "[Colors]\nWindow=#0a0B0c\nText=#FFfeFD\n", SkinRgb(10, 11, 12),
       SkinRgb(255, 254, 253)},
      {"blanks, CRLF, tabs", "  [ colors ]  \r\n\tWindow =  1 , 2 ,3 \r\n  TEXT\t=#000000\r\n",
       SkinRgb(1, 2, 3), SkinRgb(0, 0, 0)},
      {"comments", "; top\n# also\n[Colors] ; here\nWindow = 7,8,9 ; trailing\n;Text=1,1,1\n",
       SkinRgb(7, 8, 9), defaults.text},
      {"keys case-insensitive", "[COLORS]\nwindow=1,1,1\ntExT=2,2,2\n", SkinRgb(1, 1, 1),
       SkinRgb(2, 2, 2)},
      {"BOM and no final newline", "\xEF\xBB\xBF[Colors]\nWindow=9,9,9", SkinRgb(9, 9, 9),
       defaults.text},
      {"last value wins", "[Colors]\nWindow=1,1,1\nWindow=2,2,2\n", SkinRgb(2, 2, 2),
       defaults.text},
      {"other sections and unknown keys ignored",
       "Window=5,5,5\n[Skin]\nWindow=3,3,3\nName=NormalBlack\n[Colors]\nSparkle=x\nText=1,2,3\n"
       "[Images]\nText=9,9,9\n",
       defaults.window, SkinRgb(1, 2, 3)},
      {"empty text", "", defaults.window, defaults.text},
      {"bounds", "[Colors]\nWindow=0,0,0\nText=255,255,255\n", SkinRgb(0, 0, 0),
       SkinRgb(255, 255, 255)},
  };
  for (const Case& c : cases) {
    SkinTheme theme;
    EXPECT_EQ(ParseSkinTheme(c.ini, theme), 0u) << c.name;
    EXPECT_EQ(theme.window, c.window) << c.name;
    EXPECT_EQ(theme.text, c.text) << c.name;
    EXPECT_EQ(theme.editBackground, defaults.editBackground) << c.name;
  }
}

TEST(SkinThemeTest, MalformedTextGivesInvalidDataAndLeavesTheThemeAlone) {
  const char* cases[] = {
      "[Colors]\nWindow=256,0,0\n",   // channel out of range
      "[Colors]\nWindow=1,2\n",       // too few channels
      "[Colors]\nWindow=1,2,3,4\n",   // too many
      "[Colors]\nWindow=1,,3\n",      // empty channel
      "[Colors]\nWindow=-1,2,3\n",    // sign
      "[Colors]\nWindow=0x10,2,3\n",  // not decimal
      "[Colors]\nWindow=#12345\n",    // short hex
      "[Colors]\nWindow=#1234567\n",  // long hex
      "[Colors]\nWindow=#12345g\n",   // not hex
      "[Colors]\nWindow=\n",          // empty value
      "[Colors]\nWindow=red\n",       // name
      "[Colors\nWindow=1,2,3\n",      // unclosed section
      "[Colors]\nWindow 1,2,3\n",     // no '='
      "[Colors]\n=1,2,3\n",           // no key
      "[Skin]\njust words\n",         // malformed even outside [Colors]
  };
  for (const char* ini : cases) {
    SkinTheme theme;
    theme.text = SkinRgb(1, 1, 1);
    const std::string text = std::string(ini) + "Text=9,9,9\n";
    EXPECT_EQ(ParseSkinTheme(text, theme), 13u) << ini;
    EXPECT_EQ(theme.text, SkinRgb(1, 1, 1)) << ini;  // nothing applied, not even earlier keys
    EXPECT_EQ(theme.window, SkinTheme{}.window) << ini;
  }
  SkinTheme theme;
  EXPECT_EQ(ParseSkinTheme(std::string_view("[Colors]\nWindow=1,2,3\0\n", 23), theme), 13u)
      << "an embedded NUL";
}

// Every text colour of the shipped theme and of the built-in defaults stays readable on the
// background it is drawn on.
TEST(SkinThemeTest, NormalBlackAndDefaultsKeepEveryTextReadable) {
  std::ifstream file(TESSALY_SOURCE_DIR "/resources/NormalBlack.ini", std::ios::binary);
  ASSERT_TRUE(file) << "cannot open resources/NormalBlack.ini";
  std::stringstream bytes;
  bytes << file.rdbuf();

  SkinTheme normalBlack;
  normalBlack.window = normalBlack.text = SkinRgb(128, 128, 128);  // must come from the file
  ASSERT_EQ(ParseSkinTheme(bytes.str(), normalBlack), 0u);
  EXPECT_LT(RelativeLuminance(normalBlack.window), 0.05) << "NormalBlack is a dark theme";

  for (const auto& [label, theme] :
       {std::pair{"NormalBlack", normalBlack}, std::pair{"defaults", SkinTheme{}}}) {
    for (const SkinTheme::Pair& pair : theme.TextPairs())
      EXPECT_GE(ContrastRatio(pair.foreground, pair.background), pair.minimumContrast)
          << label << ": " << pair.name;
  }
}

}  // namespace
}  // namespace tessaly
