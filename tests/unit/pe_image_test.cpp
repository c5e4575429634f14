// PE header parsing, RVA mapping and the version-resource lookup, on built images and on images
// broken in the ways real files (truncated downloads, packers, fuzzers) break them.
#include <gtest/gtest.h>

#include <functional>

#include "platform/pe_image.h"
#include "platform/text.h"
#include "tests/support/fake_file_system.h"
#include "tests/unit/pe_test_images.h"

namespace tessaly {
namespace {

using testing::BuildPe;
using testing::PeImage;
using testing::PeLayout;
using testing::Put16;
using testing::Put32;
using testing::StandardVersionInfo;
using testing::TestResource;
using testing::VersionedDll;

const std::vector<uint8_t> kVersionInfo = StandardVersionInfo({{0x0409, 0x04B0}});

struct MachineCase {
  const char* name;
  uint16_t machine;
  bool pe32Plus;
};

class PeHeadersTest : public ::testing::TestWithParam<MachineCase> {};

TEST_P(PeHeadersTest, ParsesHeadersDirectoriesAndSections) {
  const MachineCase& c = GetParam();
  const PeImage image = VersionedDll(kVersionInfo, c.machine, c.pe32Plus);

  PeHeaders h;
  ASSERT_EQ(ParsePeHeaders(image.bytes.data(), image.bytes.size(), h), 0u);
  EXPECT_EQ(h.ntHeadersOffset, 0x80u);
  EXPECT_EQ(h.machine, c.machine);
  EXPECT_EQ(h.IsPe32Plus(), c.pe32Plus);
  EXPECT_EQ(h.IsPe32(), !c.pe32Plus);
  EXPECT_EQ(h.imageBase, c.pe32Plus ? testing::kTestImageBase64 : testing::kTestImageBase32);
  EXPECT_EQ(h.sectionAlignment, 0x1000u);
  EXPECT_EQ(h.fileAlignment, 0x200u);
  EXPECT_EQ(h.subsystem, 2);
  EXPECT_EQ(h.directories.size(), 16u);
  EXPECT_EQ(h.Directory(pe::kDirectoryResource).rva, image.resourceRva);
  ASSERT_EQ(h.sections.size(), 2u);
  EXPECT_EQ(h.sections[0].name, ".text");
  EXPECT_EQ(h.sections[1].name, ".rsrc");
  EXPECT_EQ(h.sections[1].rawOffset, image.resourceFileOffset);
  EXPECT_EQ(h.RvaToFileOffset(image.resourceRva), image.resourceFileOffset);

  // The machine from the first bytes only, as the plugin scan reads it.
  EXPECT_EQ(ReadMachine(image.bytes.data(), 1024), c.machine);

  std::vector<uint8_t> version;
  MemoryImageReader reader(image.bytes.data(), image.bytes.size());
  ASSERT_EQ(ReadVersionResourceBytes(reader, version), 0u);
  EXPECT_EQ(version, kVersionInfo);
}

INSTANTIATE_TEST_SUITE_P(Machines, PeHeadersTest,
                         ::testing::Values(MachineCase{"I386", pe::kMachineI386, false},
                                           MachineCase{"Amd64", pe::kMachineAmd64, true},
                                           MachineCase{"Arm", pe::kMachineArm, false},
                                           MachineCase{"ArmNt", pe::kMachineArmNt, false},
                                           MachineCase{"Arm64", pe::kMachineArm64, true},
                                           MachineCase{"Ia64", pe::kMachineIa64, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PeImageTest, ReadMachineLooksOnlyAtTheBytesGiven) {
  struct Case {
    uint32_t lfanew;
    size_t prefix;
    bool found;
  };
  // The signature and the Machine field after it must lie within the prefix.
  const Case cases[] = {
      {0x80, 1024, true},   {0x3FA, 1024, true},  // Machine in the last two bytes
      {0x3FC, 1024, false},  // signature in the last four bytes, Machine past them
      {0x3FC, 4096, true},  {0x400, 1024, false}, {0x80, 0x80 + 5, false},
      {0x40, 0x46, true},   // headers right after the DOS header, cut after Machine
      {0x80, 0x3F, false},  // not even the whole DOS header
  };
  for (const Case& c : cases) {
    PeLayout layout;
    layout.lfanew = c.lfanew;
    const PeImage image = BuildPe(layout);
    const size_t n = std::min(c.prefix, image.bytes.size());
    EXPECT_EQ(ReadMachine(image.bytes.data(), n).has_value(), c.found)
        << "lfanew " << c.lfanew << ", " << c.prefix << " bytes";
  }
  const std::string text = "MZ is how this text file starts, but it is no program at all.\r\n";
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.resize(1024, ' ');
  EXPECT_FALSE(ReadMachine(bytes.data(), bytes.size()));
  EXPECT_FALSE(ReadMachine(nullptr, 0));
}

TEST(PeImageTest, RvaMapsOnlyIntoRawSectionData) {
  PeHeaders h;
  h.sections.push_back({".text", 0x3000, 0x1000, 0x200, 0x400, 0});
  h.sections.push_back({".bss", 0x1000, 0x4000, 0, 0, 0});
  EXPECT_EQ(h.RvaToFileOffset(0x1000), 0x400u);
  uint64_t left = 0;
  EXPECT_EQ(h.RvaToFileOffset(0x11FF, &left), 0x5FFu);
  EXPECT_EQ(left, 1u);
  EXPECT_FALSE(h.RvaToFileOffset(0x1200));  // in the section's memory, but past its raw data
  EXPECT_FALSE(h.RvaToFileOffset(0x0FFF));  // headers
  EXPECT_FALSE(h.RvaToFileOffset(0x4000));  // a section without raw data
  h.sections.push_back({".big", 0, 0xFFFFF000, 0xFFFFFFFF, 0x600, 0});
  EXPECT_EQ(h.RvaToFileOffset(0xFFFFFFFF), 0x600u + 0xFFF);  // no 32-bit overflow
}

struct LanguageCase {
  std::vector<uint16_t> languages;
  uint16_t chosen;
};

TEST(PeImageTest, ChoosesNeutralThenUsEnglishThenTheFirstLanguage) {
  const LanguageCase cases[] = {
      {{0x0407, 0x0409}, 0x0409}, {{0x0000, 0x0409}, 0x0000}, {{0x0407, 0x040C}, 0x0407},
      {{0x0C0A}, 0x0C0A},         {{0x0407, 0x0809}, 0x0407},  // English, but not US English
  };
  for (const LanguageCase& c : cases) {
    PeLayout layout;
    for (uint16_t language : c.languages) {
      layout.resources.push_back({pe::kResourceTypeVersion, pe::kVersionResourceId, language,
                                  StandardVersionInfo({{language, 1200}})});
    }
    const PeImage image = BuildPe(layout);
    MemoryImageReader reader(image.bytes.data(), image.bytes.size());
    PeHeaders h;
    ASSERT_EQ(ParsePeHeaders(reader, h), 0u);
    PeResourceData found;
    ASSERT_EQ(FindResourceData(reader, h, pe::kResourceTypeVersion, pe::kVersionResourceId, found),
              0u);
    EXPECT_EQ(found.language, c.chosen) << "first language " << c.languages[0];
    std::vector<uint8_t> bytes;
    ASSERT_EQ(ReadVersionResourceBytes(reader, bytes), 0u);
    EXPECT_EQ(bytes, StandardVersionInfo({{c.chosen, 1200}}));
  }
}

TEST(PeImageTest, ResourceLookupErrors) {
  struct Case {
    const char* name;
    std::vector<TestResource> resources;
    ErrorCode findError;
  };
  const Case cases[] = {
      {"no resource section", {}, err::ResourceDataNotFound},
      {"string table only", {{6, 1, 0x0409, {1, 2, 3, 4}}}, err::ResourceTypeNotFound},
      {"version with id 2", {{16, 2, 0x0409, kVersionInfo}}, err::ResourceNameNotFound},
  };
  for (const Case& c : cases) {
    PeLayout layout;
    layout.resources = c.resources;
    const PeImage image = BuildPe(layout);
    MemoryImageReader reader(image.bytes.data(), image.bytes.size());
    PeHeaders h;
    ASSERT_EQ(ParsePeHeaders(reader, h), 0u) << c.name;
    PeResourceData found;
    EXPECT_EQ(FindResourceData(reader, h, pe::kResourceTypeVersion, pe::kVersionResourceId, found),
              c.findError)
        << c.name;
    // GetFileVersionInfo says the same for all of them.
    std::vector<uint8_t> bytes{1};
    EXPECT_EQ(ReadVersionResourceBytes(reader, bytes), err::ResourceDataNotFound) << c.name;
    EXPECT_TRUE(bytes.empty());
  }
}

// A broken image: what is changed, what ParsePeHeaders says, and what the version lookup says
// (0 when it still finds the resource intact).
struct BrokenCase {
  const char* name;
  std::function<void(PeImage&)> breakIt;
  ErrorCode parseError;
  ErrorCode versionError;
};

const BrokenCase kBrokenCases[] = {
    {"empty file", [](PeImage& i) { i.bytes.clear(); }, err::BadFormat, err::ResourceDataNotFound},
    {"cut inside the DOS header", [](PeImage& i) { i.bytes.resize(0x3D); }, err::BadFormat,
     err::ResourceDataNotFound},
    {"no MZ", [](PeImage& i) { i.bytes[0] = 'X'; }, err::BadFormat, err::ResourceDataNotFound},
    {"e_lfanew past the end", [](PeImage& i) { Put32(i.bytes, 0x3C, uint32_t(i.bytes.size())); },
     err::BadFormat, err::ResourceDataNotFound},
    {"e_lfanew 0xFFFFFFF0", [](PeImage& i) { Put32(i.bytes, 0x3C, 0xFFFFFFF0u); }, err::BadFormat,
     err::ResourceDataNotFound},
    {"e_lfanew at the last 2 bytes",
     [](PeImage& i) {
       Put32(i.bytes, 0x3C, uint32_t(i.bytes.size() - 2));
       Put16(i.bytes, i.bytes.size() - 2, 0x4550);
     },
     err::BadFormat, err::ResourceDataNotFound},
    {"no PE signature", [](PeImage& i) { i.bytes[0x81] = 'X'; }, err::BadFormat,
     err::ResourceDataNotFound},
    {"cut inside the file header", [](PeImage& i) { i.bytes.resize(0x80 + 10); }, err::BadFormat,
     err::ResourceDataNotFound},
    {"cut inside the optional header", [](PeImage& i) { i.bytes.resize(i.optionalHeader + 50); },
     err::BadFormat, err::ResourceDataNotFound},
    {"optional header past the end", [](PeImage& i) { Put16(i.bytes, i.fileHeader + 16, 0xFFFF); },
     err::BadFormat, err::ResourceDataNotFound},
    {"section table past the end", [](PeImage& i) { Put16(i.bytes, i.fileHeader + 2, 0xFFFF); },
     err::BadFormat, err::ResourceDataNotFound},
    {"cut inside the section table", [](PeImage& i) { i.bytes.resize(i.sectionTable + 60); },
     err::BadFormat, err::ResourceDataNotFound},
    {"unknown optional header magic", [](PeImage& i) { Put16(i.bytes, i.optionalHeader, 0x107); },
     0, err::ResourceDataNotFound},
    {"two data directories", [](PeImage& i) { Put32(i.bytes, i.directories - 4, 2); }, 0,
     err::ResourceDataNotFound},
    {"huge directory count is capped",
     [](PeImage& i) { Put32(i.bytes, i.directories - 4, 0xFFFFFFFF); }, 0, 0},
    {"resource directory of size 0", [](PeImage& i) { Put32(i.bytes, i.directories + 20, 0); }, 0,
     err::ResourceDataNotFound},
    {"resource directory outside every section",
     [](PeImage& i) { Put32(i.bytes, i.directories + 16, 0x00900000); }, 0,
     err::ResourceDataNotFound},
    {"cut inside the resource directory",
     [](PeImage& i) { i.bytes.resize(i.resourceFileOffset + 20); }, 0, err::ResourceDataNotFound},
    {"type entries past the section",
     [](PeImage& i) { Put16(i.bytes, i.resourceFileOffset + 14, 0xFFFF); }, 0,
     err::ResourceDataNotFound},
    {"type entry points back at the root",
     [](PeImage& i) { Put32(i.bytes, i.resourceFileOffset + 20, 0x80000000u); }, 0,
     err::ResourceDataNotFound},
    {"type entry points past the section",
     [](PeImage& i) { Put32(i.bytes, i.resourceFileOffset + 20, 0xFFFFFFF0u); }, 0,
     err::ResourceDataNotFound},
    {"language entry is a directory that loops",
     [](PeImage& i) {
       const size_t lang = i.resourceFileOffset + i.languageDirectories[0];
       Put32(i.bytes, lang + 20, 0x80000000u | uint32_t(i.languageDirectories[0]));
     },
     0, err::ResourceDataNotFound},
    {"data entry past the section",
     [](PeImage& i) {
       const size_t lang = i.resourceFileOffset + i.languageDirectories[0];
       Put32(i.bytes, lang + 20, 0x7FFFFFF0u);
     },
     0, err::ResourceDataNotFound},
    {"data outside every section",
     [](PeImage& i) { Put32(i.bytes, i.resourceFileOffset + i.dataEntries[0], 0x00800000); }, 0,
     err::ResourceDataNotFound},
    {"data of size 0",
     [](PeImage& i) { Put32(i.bytes, i.resourceFileOffset + i.dataEntries[0] + 4, 0); }, 0,
     err::ResourceDataNotFound},
    {"data size of 4 GB is capped",
     [](PeImage& i) { Put32(i.bytes, i.resourceFileOffset + i.dataEntries[0] + 4, 0xFFFFFFFF); }, 0,
     0},
};

class BrokenImageTest : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenImageTest, FailsCleanly) {
  const BrokenCase& c = GetParam();
  PeImage image = VersionedDll(kVersionInfo);
  c.breakIt(image);

  PeHeaders h;
  EXPECT_EQ(ParsePeHeaders(image.bytes.data(), image.bytes.size(), h), c.parseError);

  MemoryImageReader reader(image.bytes.data(), image.bytes.size());
  std::vector<uint8_t> version;
  EXPECT_EQ(ReadVersionResourceBytes(reader, version), c.versionError);
  if (c.versionError == 0) {
    // The block is found whole; anything after it (a capped size) is what the file holds.
    ASSERT_GE(version.size(), kVersionInfo.size());
    EXPECT_LE(version.size(), pe::kMaxVersionResourceSize);
    EXPECT_TRUE(std::equal(kVersionInfo.begin(), kVersionInfo.end(), version.begin()));
  } else {
    EXPECT_TRUE(version.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, BrokenImageTest, ::testing::ValuesIn(kBrokenCases),
                         [](const auto& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

TEST(PeImageTest, EveryTruncationFailsOrFindsTheWholeResource) {
  const PeImage image = VersionedDll(kVersionInfo);
  for (size_t n = 0; n <= image.bytes.size(); ++n) {
    std::vector<uint8_t> cut(image.bytes.begin(), image.bytes.begin() + n);
    MemoryImageReader reader(cut.data(), cut.size());
    std::vector<uint8_t> version;
    const ErrorCode rc = ReadVersionResourceBytes(reader, version);
    if (rc == 0) {
      // A resource cut short by the end of the file keeps what the file has.
      ASSERT_FALSE(version.empty()) << n;
      ASSERT_TRUE(std::equal(version.begin(), version.end(), kVersionInfo.begin())) << n;
    } else {
      ASSERT_EQ(rc, err::ResourceDataNotFound) << n;
    }
  }
}

TEST(PeImageTest, FileReaderFetchesOnlyTheHeadersAndTheResource) {
  FakeFileSystem fs;
  PeLayout layout;
  layout.padding = 8 * 1024 * 1024;  // a large plugin: megabytes of code before the resources
  layout.resources.push_back({16, 1, 0x0409, kVersionInfo});
  const PeImage image = BuildPe(layout);
  fs.AddFile(L"C:\\VST\\Big.dll", image.bytes);

  FileImageReader reader(fs, L"C:\\VST\\Big.dll", 4096);
  std::vector<uint8_t> version;
  ASSERT_EQ(ReadVersionResourceBytes(reader, version), 0u);
  EXPECT_EQ(version, kVersionInfo);
  EXPECT_LE(reader.bytesRead(), 3u * 4096);

  EXPECT_EQ(ReadVersionResourceBytes(fs, L"C:\\VST\\Big.dll", version), 0u);
  EXPECT_EQ(version, kVersionInfo);
}

TEST(PeImageTest, FileReaderReportsTheFileSystemsErrors) {
  FakeFileSystem fs;
  fs.AddFile(L"C:\\VST\\Synth.dll", VersionedDll(kVersionInfo).bytes);
  fs.AddFile(L"C:\\VST\\Readme.txt", std::string_view("Just text."));
  fs.AddFile(L"C:\\VST\\Empty.dll", std::vector<uint8_t>{});
  fs.InjectFailure(FakeFileSystem::Operation::ReadFile, L"C:\\VST\\Synth.dll",
                   err::SharingViolation);
  struct Case {
    const wchar_t* path;
    ErrorCode expected;
  };
  const Case cases[] = {
      {L"C:\\VST\\Synth.dll", err::SharingViolation},
      {L"C:\\VST\\Missing.dll", err::FileNotFound},
      {L"C:\\Missing\\Synth.dll", err::PathNotFound},
      {L"C:\\VST\\Readme.txt", err::ResourceDataNotFound},
      {L"C:\\VST\\Empty.dll", err::ResourceDataNotFound},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> version{1, 2};
    EXPECT_EQ(ReadVersionResourceBytes(fs, c.path, version), c.expected) << ToUtf8(c.path);
    EXPECT_TRUE(version.empty());
  }
}

}  // namespace
}  // namespace tessaly
