// Case folding, UTF-16/UTF-8 conversion and the Windows path rules.
#include <gtest/gtest.h>

#include "platform/text.h"

#include <cstdint>
#include <limits>

namespace tessaly {
namespace {

TEST(TextTest, CompareFoldsOnlyAsciiLetters) {
  EXPECT_EQ(CompareNoCase(L"Kontakt", L"KONTAKT"), 0);
  EXPECT_LT(CompareNoCase(L"abc", L"ABD"), 0);
  EXPECT_LT(CompareNoCase(L"ab", L"abc"), 0);
  // '_' (0x5F) sorts after folded letters' upper-case range but before 'a' (0x61).
  EXPECT_LT(CompareNoCase(L"_x", L"Ax"), 0);
  // Letters outside A-Z are not folded.
  EXPECT_NE(CompareNoCase(L"\u00C4", L"\u00E4"), 0);
  EXPECT_TRUE(LessNoCase(L"alpha", L"Beta"));
  EXPECT_FALSE(LessNoCase(L"Beta", L"beta"));
}

TEST(TextTest, Utf16BytesRoundTripAndStopAtNul) {
  const std::wstring text = L"C:\\Plug\u00EFns\\\u65E5";
  const auto bytes = ToUtf16Bytes(text, true);
  ASSERT_EQ(bytes.size(), (text.size() + 1) * 2);
  EXPECT_EQ(bytes[0], 'C');
  EXPECT_EQ(bytes[1], 0);
  EXPECT_EQ(FromUtf16Bytes(bytes), text);
  const uint8_t withNul[] = {'a', 0, 0, 0, 'b', 0};
  EXPECT_EQ(FromUtf16Bytes(withNul, sizeof withNul), L"a");
  const uint8_t odd[] = {'a', 0, 'b'};
  EXPECT_EQ(FromUtf16Bytes(odd, sizeof odd), L"a");
}

TEST(TextTest, Utf8RoundTripIncludingSurrogatePairs) {
  const std::wstring text = L"Caf\u00E9 \u65E5 \xD83C\xDFB9";  // U+1F3B9 as a surrogate pair
  const std::string utf8 = ToUtf8(text);
  EXPECT_EQ(utf8, "Caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x8E\xB9");
  EXPECT_EQ(FromUtf8(utf8), text);
  EXPECT_EQ(FromUtf8("a\xFF"
                     "b"),
            L"a\uFFFDb");
  EXPECT_EQ(FromUtf8("\xE6\x97"), L"\uFFFD\uFFFD");
}

TEST(PathTest, AppendUsesOneBackslashAndRespectsCapacity) {
  struct Case {
    std::wstring base, part, expected;
  };
  for (const Case& c : {Case{L"C:\\VST", L"a.dll", L"C:\\VST\\a.dll"},
                        Case{L"C:\\VST\\", L"a.dll", L"C:\\VST\\a.dll"},
                        Case{L"C:\\VST", L"\\a.dll", L"C:\\VST\\a.dll"},
                        Case{L"C:\\", L"x", L"C:\\x"}, Case{L"", L"x", L"x"}}) {
    std::wstring p = c.base;
    EXPECT_TRUE(path::Append(p, c.part, 520)) << c.base;
    EXPECT_EQ(p, c.expected);
  }
  std::wstring p = L"C:\\ab";  // 5 + 1 + 3 = 9 characters plus the terminator
  EXPECT_FALSE(path::Append(p, L"cde", 9));
  EXPECT_EQ(p, L"C:\\ab");
  EXPECT_TRUE(path::Append(p, L"cde", 10));
}

TEST(PathTest, RootsAndComponents) {
  for (const wchar_t* root : {L"C:\\", L"\\", L"\\\\srv\\share", L"\\\\srv\\share\\"})
    EXPECT_TRUE(path::IsRoot(root)) << root;
  for (const wchar_t* notRoot : {L"C:", L"C:\\a", L"\\\\srv\\share\\x", L"", L"a"})
    EXPECT_FALSE(path::IsRoot(notRoot)) << notRoot;

  struct Case {
    std::wstring in, noSpec, root;
  };
  for (const Case& c : {Case{L"C:\\a\\b.dll", L"C:\\a", L"C:\\"}, Case{L"C:\\a", L"C:\\", L"C:\\"},
                        Case{L"\\\\srv\\share\\x", L"\\\\srv\\share", L"\\\\srv\\share"}}) {
    std::wstring p = c.in;
    EXPECT_TRUE(path::RemoveFileSpec(p));
    EXPECT_EQ(p, c.noSpec);
    p = c.in;
    EXPECT_TRUE(path::StripToRoot(p));
    EXPECT_EQ(p, c.root);
  }
  std::wstring root = L"C:\\";
  EXPECT_FALSE(path::RemoveFileSpec(root));

  std::wstring trailing = L"C:\\Plugins\\\\";
  path::RemoveTrailingBackslashes(trailing);
  EXPECT_EQ(trailing, L"C:\\Plugins");
  std::wstring drive = L"D:\\\\";
  path::RemoveTrailingBackslashes(drive);
  EXPECT_EQ(drive, L"D:\\");
  std::wstring one = L"C:\\x\\";
  path::RemoveBackslash(one);
  EXPECT_EQ(one, L"C:\\x");

  EXPECT_EQ(path::FindFileName(L"C:\\a\\b.dll"), 5u);
  EXPECT_EQ(path::Extension(L"C:\\a.b\\c"), L"");
  EXPECT_EQ(path::Extension(L"C:\\a\\c.DLL"), L".DLL");
}

TEST(PathTest, CommonPrefixByWholeComponents) {
  struct Case {
    const wchar_t* a;
    const wchar_t* b;
    size_t length;
  };
  for (const Case& c :
       {Case{L"C:\\Data\\Lib\\a.wav", L"C:\\Data", 7}, Case{L"C:\\Data\\Lib", L"c:\\data\\lib", 11},
        Case{L"C:\\Data2\\x", L"C:\\Data", 3}, Case{L"C:\\a", L"D:\\a", 0},
        Case{L"C:\\a", L"C:\\b", 3}}) {
    EXPECT_EQ(path::CommonPrefix(c.a, c.b), c.length) << c.a << L" / " << c.b;
  }
}

TEST(FormatTextTest, WindowsConventionsForTextAndCodes) {
  const uint32_t code = 4294967295u;
  EXPECT_EQ(FormatText(L"Attempt to update %s failed with error %lu.", L"Kontakt 7", code),
            L"Attempt to update Kontakt 7 failed with error 4294967295.");
  EXPECT_EQ(FormatText(L"%-4s|%5lu|%lx|100%%|%04x", L"ab", 42u, 255u, 10u),
            L"ab  |   42|ff|100%|000a");
  // Long enough to need more than the first buffer.
  const std::wstring longText(1000, L'x');
  EXPECT_EQ(FormatText(L"[%s]", longText.c_str()), L"[" + longText + L"]");
}

TEST(FormatTextTest, ConversionsFlagsAndWidths) {
  const std::wstring text = L"Kontakt";
  const std::wstring_view view =
      std::wstring_view(L"Komplete Kontrol").substr(0, 8);  // not terminated
  const std::wstring empty;
  struct Case {
    std::wstring actual, expected;
  };
  const Case cases[] = {
      {FormatText(L"%s / %s / %s", text, view, L"Maschine"), L"Kontakt / Komplete / Maschine"},
      {FormatText(L"[%s][%s]", empty, std::wstring_view()), L"[][]"},
      {FormatText(L"100%% of %s, %%s stays", text), L"100% of Kontakt, %s stays"},
      {FormatText(L"%%%d%%", 5), L"%5%"},
      {FormatText(L"no conversions"), L"no conversions"},
      {FormatText(L""), L""},
      {FormatText(L"[%8s][%-8s][%.3s][%-6.2s]", view, L"ab", text, text),
       L"[Komplete][ab      ][Kon][Ko    ]"},
      {FormatText(L"%d|%i|%d|%d", -42, 7, 0, std::numeric_limits<int32_t>::min()),
       L"-42|7|0|-2147483648"},
      {FormatText(L"%lu|%u|%lu", 4294967295u, 0u, uint32_t{123}), L"4294967295|0|123"},
      {FormatText(L"%02d:%04d|%05d|%-5d|%5d", 7, 42, -42, -3, -3), L"07:0042|-0042|-3   |   -3"},
      {FormatText(L"%+d|%+d|% d|% d", 3, -3, 3, -3), L"+3|-3| 3|-3"},
      {FormatText(L"%x|%X|%04x|%08X|%#x|%#X|%#x", 255u, 255u, 10u, 0xBEEFu, 255u, 255u, 0u),
       L"ff|FF|000a|0000BEEF|0xff|0XFF|0"},
      {FormatText(L"%.3d|%5.3d|%.0d|%05.2d", 5, -5, 0, 7), L"005| -005||   07"},
      {FormatText(L"%llu|%I64u|%lld|%llx", std::numeric_limits<uint64_t>::max(), uint64_t{1} << 40,
                  std::numeric_limits<int64_t>::min(), uint64_t{0x123456789ABCDEF0}),
       L"18446744073709551615|1099511627776|-9223372036854775808|123456789abcdef0"},
      // Narrower integers are widened by value: an unsigned 16-bit value stays positive in %d.
      {FormatText(L"%d|%d|%u|%lld", uint16_t{65535}, int8_t{-1}, uint8_t{200}, -1),
       L"65535|-1|200|-1"},
      {FormatText(L"%s", static_cast<const wchar_t*>(nullptr)), L"(null)"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected);
}

TEST(FormatTextTest, LongResultsAndLongArguments) {
  const std::wstring longText(100000, L'y');
  const std::wstring result = FormatText(L"%s|%s|%d", longText, std::wstring_view(longText), 1);
  ASSERT_EQ(result.size(), 2 * longText.size() + 3);
  EXPECT_EQ(result.substr(0, 3), L"yyy");
  EXPECT_EQ(result.substr(result.size() - 3), L"y|1");
  EXPECT_EQ(FormatText(L"%300d", 1).size(), 300u);
  EXPECT_EQ(FormatText(L"%-300s|", L"x"), L"x" + std::wstring(299, L' ') + L"|");
}

TEST(FormatTextTest, UncheckedFormatKeepsWhatDoesNotMatch) {
  // The checked entry refuses these while compiling; the formatter behind it still does no
  // harm when given a format and arguments that disagree.
  const format_text::Arg args[] = {format_text::MakeArg(5), format_text::MakeArg(L"x")};
  EXPECT_EQ(format_text::Format(L"%s %d %d %f %", args, 2), L"%s %d %d %f %");
  EXPECT_EQ(format_text::Format(L"%d %s %u", args, 2), L"5 x %u");
}

}  // namespace
}  // namespace tessaly
