// GetFileVersionString and ReadVersionResource over the in-memory file system: the value of the
// first translation, the error of each way a file can lack it, and redirection during the read.
#include <gtest/gtest.h>

#include "platform/file_version.h"
#include "platform/text.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_system.h"
#include "tests/unit/forwarding_file_system.h"
#include "tests/unit/pe_test_images.h"

namespace tessaly {
namespace {

using testing::Block;
using testing::Encode;
using testing::Root;
using testing::StandardVersionInfo;
using testing::Text;
using testing::TranslationValue;
using testing::VersionedDll;

// Forwards to the fake and notes, for each read, whether redirection was off at the time.
class ReadRecordingFileSystem : public testing::ForwardingFileSystem {
 public:
  ReadRecordingFileSystem(FakeFileSystem& fs, FakeSystem& system)
      : ForwardingFileSystem(fs), system_(system) {}

  ErrorCode ReadFile(std::wstring_view p, uint64_t offset, size_t maxBytes,
                     std::vector<uint8_t>& out) override {
    ++reads;
    if (system_.ActiveRedirectionScopes() == 0) ++readsWithRedirection;
    return inner_.ReadFile(p, offset, maxBytes, out);
  }

  int reads = 0;
  int readsWithRedirection = 0;

 private:
  FakeSystem& system_;
};

class FileVersionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.AddFile(L"C:\\VST\\Two.dll",
               VersionedDll(StandardVersionInfo({{0x0407, 1252}, {0x0409, 1200}})).bytes);
    fs.AddFile(
        L"C:\\VST\\Synth64.dll",
        VersionedDll(StandardVersionInfo({{0x0409, 1200}}, L"7.1"), pe::kMachineAmd64, true).bytes);
    fs.AddFile(
        L"C:\\VST\\NoTranslation.dll",
        VersionedDll(Encode(Root({Block(L"StringFileInfo",
                                        {Block(L"040904b0", {Text(L"FileVersion", L"1.0")})})})))
            .bytes);
    fs.AddFile(
        L"C:\\VST\\EmptyTranslation.dll",
        VersionedDll(Encode(Root({Block(L"VarFileInfo", {TranslationValue({})}, 0)}))).bytes);
    fs.AddFile(
        L"C:\\VST\\NoFileVersion.dll",
        VersionedDll(Encode(Root({Block(L"StringFileInfo",
                                        {Block(L"040904b0", {Text(L"ProductName", L"Synth")})}),
                                  Block(L"VarFileInfo", {TranslationValue({{0x0409, 1200}})})})))
            .bytes);
    // The table the translation names is missing; another one is there.
    fs.AddFile(
        L"C:\\VST\\OtherTable.dll",
        VersionedDll(Encode(Root({Block(L"StringFileInfo",
                                        {Block(L"040904e4", {Text(L"FileVersion", L"1.0")})}),
                                  Block(L"VarFileInfo", {TranslationValue({{0x0409, 1200}})})})))
            .bytes);
    fs.AddFile(L"C:\\VST\\NoResources.dll", testing::BuildPe({}).bytes);
    fs.AddFile(L"C:\\VST\\Readme.dll", std::string_view("This is a text file.\r\n"));
    fs.AddFile(L"C:\\VST\\Empty.dll", std::vector<uint8_t>{});
  }

  FakeFileSystem fs;
  FakeSystem system;
};

TEST_F(FileVersionTest, ValueOfTheFirstTranslationOrTheError) {
  struct Case {
    const wchar_t* path;
    ErrorCode rc;
    const wchar_t* text;
  };
  const Case cases[] = {
      {L"C:\\VST\\Two.dll", 0, L"1.2.3.4 040704e4"},
      {L"c:\\vst\\SYNTH64.DLL", 0, L"7.1 040904b0"},
      {L"C:\\VST\\NoTranslation.dll", err::UnidentifiedError, L""},
      {L"C:\\VST\\EmptyTranslation.dll", err::UnidentifiedError, L""},
      {L"C:\\VST\\NoFileVersion.dll", err::ResourceTypeNotFound, L""},
      {L"C:\\VST\\OtherTable.dll", err::ResourceTypeNotFound, L""},
      {L"C:\\VST\\NoResources.dll", err::ResourceDataNotFound, L""},
      {L"C:\\VST\\Readme.dll", err::ResourceDataNotFound, L""},
      {L"C:\\VST\\Empty.dll", err::ResourceDataNotFound, L""},
      {L"C:\\VST\\Missing.dll", err::FileNotFound, L""},
      {L"C:\\Missing\\Synth.dll", err::PathNotFound, L""},
      {L"", err::NotReady, L""},
  };
  for (const Case& c : cases) {
    std::wstring text = L"stale";
    EXPECT_EQ(GetFileVersionString(fs, system, c.path, text), c.rc) << ToUtf8(c.path);
    EXPECT_EQ(text, c.text) << ToUtf8(c.path);
  }
}

TEST_F(FileVersionTest, ReadsWithRedirectionOffAndRestoresIt) {
  ReadRecordingFileSystem recording(fs, system);
  std::wstring text;
  ASSERT_EQ(GetFileVersionString(recording, system, L"C:\\VST\\Two.dll", text), 0u);
  EXPECT_GT(recording.reads, 0);
  EXPECT_EQ(recording.readsWithRedirection, 0);
  EXPECT_EQ(system.ActiveRedirectionScopes(), 0);

  // Also when the read fails, and not at all for an empty path.
  const int made = system.RedirectionScopesMade();
  EXPECT_EQ(GetFileVersionString(recording, system, L"C:\\VST\\Missing.dll", text),
            err::FileNotFound);
  EXPECT_EQ(system.ActiveRedirectionScopes(), 0);
  EXPECT_EQ(system.RedirectionScopesMade(), made + 1);
  EXPECT_EQ(GetFileVersionString(recording, system, L"", text), err::NotReady);
  EXPECT_EQ(system.RedirectionScopesMade(), made + 1);
}

TEST_F(FileVersionTest, ReadVersionResourceGivesTheWholeBlock) {
  VersionResource resource;
  ASSERT_EQ(ReadVersionResource(fs, L"C:\\VST\\Synth64.dll", resource), 0u);
  EXPECT_EQ(resource.bytes(), StandardVersionInfo({{0x0409, 1200}}, L"7.1"));
  FixedFileInfo fixed;
  ASSERT_EQ(resource.QueryFixedInfo(fixed), 0u);
  EXPECT_EQ(fixed.FileVersion(), 0x0001000200030004ull);

  EXPECT_EQ(ReadVersionResource(fs, L"C:\\VST\\Readme.dll", resource), err::ResourceDataNotFound);
  EXPECT_TRUE(resource.empty());
  fs.InjectFailure(FakeFileSystem::Operation::ReadFile, L"C:\\VST\\Two.dll", err::AccessDenied);
  EXPECT_EQ(ReadVersionResource(fs, L"C:\\VST\\Two.dll", resource), err::AccessDenied);
  // Memory that the file system could not get while reading is reported as 574.
  fs.InjectFailure(FakeFileSystem::Operation::ReadFile, L"C:\\VST\\Synth64.dll",
                   err::NotEnoughMemory);
  std::wstring text = L"stale";
  EXPECT_EQ(GetFileVersionString(fs, system, L"C:\\VST\\Synth64.dll", text),
            err::NotEnoughMemoryVersion);
  EXPECT_EQ(text, L"");
}

}  // namespace
}  // namespace tessaly
