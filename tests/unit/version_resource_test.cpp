// VerQueryValueW-style queries over VS_VERSIONINFO bytes: well-formed blocks as resource compilers
// write them, and blocks whose lengths lie.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "platform/text.h"
#include "platform/version_resource.h"
#include "tests/unit/pe_test_images.h"

namespace tessaly {
namespace {

using testing::Block;
using testing::Encode;
using testing::FixedInfoBytes;
using testing::Put16;
using testing::Root;
using testing::Text;
using testing::TranslationValue;
using testing::VersionNode;

// Two translations, German first, as in a typical localised plugin.
std::vector<uint8_t> TwoTableInfo() {
  return Encode(
      Root({Block(L"StringFileInfo",
                  {Block(L"040704e4", {Text(L"FileVersion", L"2.0 (de)"), Text(L"Comments", L"")}),
                   Block(L"040904B0",
                         {Text(L"CompanyName", L"Quillmoor"), Text(L"fileversion", L"2.0 (en)")})}),
            Block(L"VarFileInfo", {TranslationValue({{0x0407, 1252}, {0x0409, 1200}})})},
           FixedInfoBytes(0x00020000, 0x00000001, 0x00030004, 0x00050006)));
}

TEST(VersionResourceTest, FixedInfoTranslationsAndStrings) {
  const VersionResource info(TwoTableInfo());

  FixedFileInfo fixed;
  ASSERT_EQ(info.QueryFixedInfo(fixed), 0u);
  EXPECT_EQ(fixed.signature, FixedFileInfo::kSignature);
  EXPECT_EQ(fixed.FileVersion(), 0x0002000000000001ull);
  EXPECT_EQ(fixed.ProductVersion(), 0x0003000400050006ull);
  EXPECT_EQ(fixed.fileType, 2u);

  std::vector<VersionTranslation> translations;
  ASSERT_EQ(info.QueryTranslations(translations), 0u);
  EXPECT_EQ(translations, (std::vector<VersionTranslation>{{0x0407, 1252}, {0x0409, 1200}}));

  struct Case {
    const wchar_t* path;
    ErrorCode rc;
    const wchar_t* text;
  };
  const Case cases[] = {
      {L"\\StringFileInfo\\040704e4\\FileVersion", 0, L"2.0 (de)"},
      {L"\\StringFileInfo\\040904b0\\FileVersion", 0, L"2.0 (en)"},  // keys ignore case
      {L"\\STRINGFILEINFO\\040904B0\\FILEVERSION", 0, L"2.0 (en)"},
      {L"\\\\StringFileInfo\\\\040704e4\\FileVersion\\", 0, L"2.0 (de)"},  // empty parts skipped
      {L"StringFileInfo\\040904b0\\CompanyName", 0, L"Quillmoor"},
      {L"\\StringFileInfo\\040704e4\\Comments", 0, L""},
      {L"\\StringFileInfo\\040704e4\\CompanyName", err::ResourceTypeNotFound, L""},
      {L"\\StringFileInfo\\040904b0\\FileVersio", err::ResourceTypeNotFound, L""},
      {L"\\StringFileInfo\\040904b0\\FileVersionX", err::ResourceTypeNotFound, L""},
      {L"\\StringFileInfo\\040904e4\\FileVersion", err::ResourceTypeNotFound, L""},
  };
  for (const Case& c : cases) {
    std::wstring text = L"stale";
    EXPECT_EQ(info.QueryString(c.path, text), c.rc) << ToUtf8(c.path);
    EXPECT_EQ(text, c.text) << ToUtf8(c.path);
  }

  // Values as VerQueryValueW reports them: characters for text, bytes for binary data.
  VersionValue value;
  ASSERT_EQ(info.QueryValue(L"\\StringFileInfo\\040704e4\\FileVersion", value), 0u);
  EXPECT_TRUE(value.isText);
  EXPECT_EQ(value.length, 9);
  ASSERT_EQ(info.QueryValue(L"\\VarFileInfo\\Translation", value), 0u);
  EXPECT_FALSE(value.isText);
  EXPECT_EQ(value.length, 8);
  ASSERT_EQ(info.QueryValue(L"", value), 0u);
  EXPECT_EQ(value.length, FixedFileInfo::kSize);
  EXPECT_EQ(value.data, info.bytes().data() + 40);  // after the key "VS_VERSION_INFO" and padding
}

TEST(VersionResourceTest, ListsChildrenInOrder) {
  const VersionResource info(TwoTableInfo());
  std::vector<std::wstring> keys;
  ASSERT_EQ(info.ListChildren(L"\\", keys), 0u);
  EXPECT_EQ(keys, (std::vector<std::wstring>{L"StringFileInfo", L"VarFileInfo"}));
  ASSERT_EQ(info.ListChildren(L"\\StringFileInfo", keys), 0u);
  EXPECT_EQ(keys, (std::vector<std::wstring>{L"040704e4", L"040904B0"}));
  ASSERT_EQ(info.ListChildren(L"\\StringFileInfo\\040904b0", keys), 0u);
  EXPECT_EQ(keys, (std::vector<std::wstring>{L"CompanyName", L"fileversion"}));
  EXPECT_EQ(info.ListChildren(L"\\Missing", keys), err::ResourceTypeNotFound);
  EXPECT_TRUE(keys.empty());
}

TEST(VersionResourceTest, StringPathUsesFourLowerCaseHexDigitsEach) {
  EXPECT_EQ(VersionResource::StringPath({0x0409, 0x04B0}, L"FileVersion"),
            L"\\StringFileInfo\\040904b0\\FileVersion");
  EXPECT_EQ(VersionResource::StringPath({0x0007, 0x00E4}, L"X"), L"\\StringFileInfo\\000700e4\\X");
  EXPECT_EQ(VersionResource::StringPath({0xFFFF, 0xABCD}, L""), L"\\StringFileInfo\\ffffabcd\\");
}

TEST(VersionResourceTest, EmptyAndShortValues) {
  // No fixed information at all, and a translation table without entries.
  const VersionResource info(
      Encode(Root({Block(L"VarFileInfo", {TranslationValue({})}, 0)}, std::vector<uint8_t>{})));
  FixedFileInfo fixed;
  EXPECT_EQ(info.QueryFixedInfo(fixed), err::UnidentifiedError);
  std::vector<VersionTranslation> translations{{1, 2}};
  EXPECT_EQ(info.QueryTranslations(translations), 0u);
  EXPECT_TRUE(translations.empty());

  // A fixed-information block cut to 40 bytes is not one.
  const VersionResource shortFixed(Encode(Root({}, std::vector<uint8_t>(40, 0xBD))));
  EXPECT_EQ(shortFixed.QueryFixedInfo(fixed), err::UnidentifiedError);

  // A translation table of 6 bytes holds one whole entry.
  VersionNode odd{L"Translation", {0x09, 0x04, 0xB0, 0x04, 0x07, 0x04}, 6, 0, {}};
  const VersionResource oddTable(Encode(Root({Block(L"VarFileInfo", {odd}, 0)})));
  ASSERT_EQ(oddTable.QueryTranslations(translations), 0u);
  EXPECT_EQ(translations, (std::vector<VersionTranslation>{{0x0409, 0x04B0}}));

  const VersionResource none;
  EXPECT_EQ(none.QueryFixedInfo(fixed), err::ResourceTypeNotFound);
  EXPECT_EQ(none.QueryTranslations(translations), err::ResourceTypeNotFound);
}

// Lengths that lie. Each case changes the encoded block of TwoTableInfo() and states what a
// query for the English FileVersion then gives.
struct LyingCase {
  const char* name;
  std::function<void(std::vector<uint8_t>&)> change;
  ErrorCode rc;
  const wchar_t* text;
};

// Offsets into TwoTableInfo() found by searching for a key.
size_t KeyOffset(const std::vector<uint8_t>& b, const std::wstring& key) {
  const auto needle = ToUtf16Bytes(key, true);
  const auto it = std::search(b.begin(), b.end(), needle.begin(), needle.end());
  return it == b.end() ? 0 : size_t(it - b.begin()) - 6;  // the block starts 6 bytes earlier
}

const LyingCase kLyingCases[] = {
    {"root length 0", [](auto& b) { Put16(b, 0, 0); }, err::ResourceTypeNotFound, L""},
    {"root length 4", [](auto& b) { Put16(b, 0, 4); }, err::ResourceTypeNotFound, L""},
    {"root length past the buffer", [](auto& b) { Put16(b, 0, 0xFFFF); }, 0, L"2.0 (en)"},
    {"root length ends before the strings", [](auto& b) { Put16(b, 0, 100); },
     err::ResourceTypeNotFound, L""},
    {"first table length 0", [](auto& b) { Put16(b, KeyOffset(b, L"040704e4"), 0); },
     err::ResourceTypeNotFound, L""},
    {"first table length 2", [](auto& b) { Put16(b, KeyOffset(b, L"040704e4"), 2); },
     err::ResourceTypeNotFound, L""},
    {"first table swallows the second",
     [](auto& b) { Put16(b, KeyOffset(b, L"040704e4"), 0xFFF0); }, err::ResourceTypeNotFound, L""},
    {"string value length past its block",
     [](auto& b) { Put16(b, KeyOffset(b, L"fileversion") + 2, 0x7FFF); }, 0, L"2.0 (en)"},
    {"string value length 0", [](auto& b) { Put16(b, KeyOffset(b, L"fileversion") + 2, 0); }, 0,
     L""},
    {"string value length 3", [](auto& b) { Put16(b, KeyOffset(b, L"fileversion") + 2, 3); }, 0,
     L"2.0"},
    {"value length of StringFileInfo skips its children",
     [](auto& b) { Put16(b, KeyOffset(b, L"StringFileInfo") + 2, 0x4000); },
     err::ResourceTypeNotFound, L""},
    {"key without its terminator",
     [](auto& b) {
       const size_t block = KeyOffset(b, L"fileversion");
       Put16(b, block, 6 + 2 * 4);  // the block ends inside the key
     },
     err::ResourceTypeNotFound, L""},
};

class LyingLengthsTest : public ::testing::TestWithParam<LyingCase> {};

TEST_P(LyingLengthsTest, StaysInsideTheBlock) {
  const LyingCase& c = GetParam();
  std::vector<uint8_t> bytes = TwoTableInfo();
  c.change(bytes);
  const VersionResource info(bytes);
  std::wstring text = L"stale";
  EXPECT_EQ(info.QueryString(L"\\StringFileInfo\\040904b0\\FileVersion", text), c.rc);
  EXPECT_EQ(text, c.text);
  // Every other query stays within the buffer too.
  std::vector<std::wstring> keys;
  (void)info.ListChildren(L"\\StringFileInfo", keys);
  FixedFileInfo fixed;
  (void)info.QueryFixedInfo(fixed);
  std::vector<VersionTranslation> translations;
  (void)info.QueryTranslations(translations);
}

INSTANTIATE_TEST_SUITE_P(Cases, LyingLengthsTest, ::testing::ValuesIn(kLyingCases),
                         [](const auto& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

TEST(VersionResourceTest, EveryTruncationGivesAPrefixOrNothing) {
  const std::vector<uint8_t> full = TwoTableInfo();
  const std::wstring path = L"\\StringFileInfo\\040904b0\\FileVersion";
  for (size_t n = 0; n <= full.size(); ++n) {
    const VersionResource info(std::vector<uint8_t>(full.begin(), full.begin() + n));
    std::wstring text;
    const ErrorCode rc = info.QueryString(path, text);
    if (rc == 0) {
      ASSERT_EQ(std::wstring(L"2.0 (en)").substr(0, text.size()), text) << n;
    } else {
      ASSERT_EQ(rc, err::ResourceTypeNotFound) << n;
    }
  }
}

}  // namespace
}  // namespace tessaly
