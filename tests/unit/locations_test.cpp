// System locations on 64-bit and 32-bit Windows: program and common files of each platform, the
// Service Center folder, and the default VST folders with their order, exclusions and dedupe.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/locations.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_registry.h"
#include "tests/support/fake_system.h"

namespace tessaly {
namespace {

using Texts = std::vector<std::wstring>;
constexpr RegRoot kHklm = RegRoot::LocalMachine;

const wchar_t kPf[] = L"C:\\Program Files";
const wchar_t kPfX86[] = L"C:\\Program Files (x86)";
const wchar_t kCf[] = L"C:\\Program Files\\Common Files";
const wchar_t kCfX86[] = L"C:\\Program Files (x86)\\Common Files";

TEST(LocationsTest, ProgramAndCommonFilesOn64BitWindows) {
  FakeSystem system;
  const struct {
    ErrorCode (*get)(System&, bool, std::wstring&);
    bool want64;
    const wchar_t* folder;
  } cases[] = {
      {GetProgramFilesFolder, true, kPf},
      {GetProgramFilesFolder, false, kPfX86},
      {GetCommonFilesFolder, true, kCf},
      {GetCommonFilesFolder, false, kCfX86},
  };
  for (const auto& c : cases) {
    std::wstring out;
    EXPECT_EQ(c.get(system, c.want64, out), 0u);
    EXPECT_EQ(out, c.folder);
  }
}

TEST(LocationsTest, The64BitFolderFallsBackToTheProgramsOwnVariable) {
  FakeSystem system;
  system.environment.erase(L"ProgramW6432");
  std::wstring out;
  EXPECT_EQ(GetProgramFilesFolder(system, true, out), 0u);
  EXPECT_EQ(out, system.environment[L"ProgramFiles"]);

  system.environment.erase(L"ProgramFiles");
  system.environment[L"CommonProgramW6432"] = std::wstring(260, L'x');  // does not fit
  out = L"unchanged";
  EXPECT_EQ(GetProgramFilesFolder(system, true, out), err::EnvVarNotFound);
  EXPECT_EQ(out, L"unchanged");
  EXPECT_EQ(GetCommonFilesFolder(system, true, out), 0u);
  EXPECT_EQ(out, system.environment[L"CommonProgramFiles"]);
}

TEST(LocationsTest, ProgramAndCommonFilesOn32BitWindows) {
  FakeSystem system;
  system.UseWindows32Bit();
  std::wstring out;
  EXPECT_EQ(GetProgramFilesFolder(system, false, out), 0u);
  EXPECT_EQ(out, kPf);
  EXPECT_EQ(GetCommonFilesFolder(system, false, out), 0u);
  EXPECT_EQ(out, kCf);
  EXPECT_EQ(GetProgramFilesFolder(system, true, out), err::InvalidParameter);
  EXPECT_EQ(GetCommonFilesFolder(system, true, out), err::InvalidParameter);

  system.specialFolders.erase(csidl::ProgramFiles);
  EXPECT_EQ(GetProgramFilesFolder(system, false, out), err::PathNotFound);
}

TEST(LocationsTest, ServiceCenterFolderComesFromThe64BitView) {
  const wchar_t key[] = L"SOFTWARE\\Native Instruments\\ServiceCenter";
  FakeRegistry registry;
  std::wstring out;
  registry.SetString(kHklm, key, L"InstallDir", L"C:\\Wrong\\", RegView::Key32);
  EXPECT_EQ(GetServiceCenterFolder(registry, out), err::FileNotFound);

  registry.SetString(kHklm, key, L"InstallDir", L"C:\\Program Files\\Native Instruments\\SC\\",
                     RegView::Key64);
  EXPECT_EQ(GetServiceCenterFolder(registry, out), 0u);
  EXPECT_EQ(out, L"C:\\Program Files\\Native Instruments\\SC\\");

  // 259 characters and the terminator fill the 520 bytes; one more does not fit.
  registry.SetString(kHklm, key, L"InstallDir", std::wstring(259, L'p'), RegView::Key64);
  EXPECT_EQ(GetServiceCenterFolder(registry, out), 0u);
  registry.SetString(kHklm, key, L"InstallDir", std::wstring(260, L'p'), RegView::Key64);
  EXPECT_EQ(GetServiceCenterFolder(registry, out), err::MoreData);
  registry.SetDword(kHklm, key, L"InstallDir", 1, RegView::Key64);
  EXPECT_EQ(GetServiceCenterFolder(registry, out), err::InvalidData);
}

class DefaultVstFoldersTest : public ::testing::Test {
 protected:
  // Every folder the defaults can name, and a VSTPluginsPath in each view.
  void CreateAll() {
    for (const wchar_t* f :
         {L"C:\\Program Files\\Common Files\\VST2",
          L"C:\\Program Files\\Common Files\\Steinberg\\VST2", L"C:\\Program Files\\Vstplugins",
          L"C:\\Program Files\\Native Instruments\\VSTPlugins 64 bit",
          L"C:\\Program Files\\Native Instruments\\VSTPlugins 32 bit",
          L"C:\\Program Files\\Steinberg\\VstPlugins",
          L"C:\\Program Files (x86)\\Common Files\\VST2",
          L"C:\\Program Files (x86)\\Common Files\\Steinberg\\VST2",
          L"C:\\Program Files (x86)\\Vstplugins",
          L"C:\\Program Files (x86)\\Native Instruments\\VSTPlugins 64 bit",
          L"C:\\Program Files (x86)\\Native Instruments\\VSTPlugins 32 bit",
          L"C:\\Program Files (x86)\\Steinberg\\VstPlugins", L"D:\\VST64", L"D:\\VST32"}) {
      fs.AddFolder(f);
    }
    registry.SetString(kHklm, L"Software\\VST", L"VSTPluginsPath", L"D:\\VST64\\", RegView::Key64);
    registry.SetString(kHklm, L"Software\\VST", L"VSTPluginsPath", L"D:\\VST32", RegView::Key32);
  }

  Texts Defaults(bool want64, unsigned* added = nullptr) {
    CSafeStringList list;
    list.Add(L"stale entry", false);
    const unsigned n = GetDefaultVstFolders(system, registry, fs, want64, list);
    EXPECT_EQ(n, list.Count());
    if (added) *added = n;
    return list.Entries();
  }

  FakeSystem system;
  FakeRegistry registry;
  FakeFileSystem fs;

  void SetUp() override { fs.AddVolume(L"D:", 1 << 30, 1ull << 34); }
};

TEST_F(DefaultVstFoldersTest, On64BitWindowsFor64BitPlugins) {
  CreateAll();
  EXPECT_EQ(Defaults(true), (Texts{
                                L"C:\\Program Files\\Common Files\\VST2",
                                L"C:\\Program Files\\Common Files\\Steinberg\\VST2",
                                L"C:\\Program Files\\Vstplugins",
                                L"C:\\Program Files\\Native Instruments\\VSTPlugins 64 bit",
                                L"C:\\Program Files\\Steinberg\\VstPlugins",
                                L"C:\\Program Files (x86)\\Native Instruments\\VSTPlugins 64 bit",
                                L"D:\\VST64",
                            }));
}

TEST_F(DefaultVstFoldersTest, On64BitWindowsFor32BitPlugins) {
  CreateAll();
  EXPECT_EQ(Defaults(false), (Texts{
                                 L"C:\\Program Files (x86)\\Common Files\\VST2",
                                 L"C:\\Program Files (x86)\\Common Files\\Steinberg\\VST2",
                                 L"C:\\Program Files (x86)\\Vstplugins",
                                 L"C:\\Program Files (x86)\\Native Instruments\\VSTPlugins 32 bit",
                                 L"C:\\Program Files (x86)\\Steinberg\\VstPlugins",
                                 L"C:\\Program Files\\Native Instruments\\VSTPlugins 32 bit",
                                 L"D:\\VST32",
                             }));
}

TEST_F(DefaultVstFoldersTest, MissingFoldersAreLeftOut) {
  fs.AddFolder(L"C:\\Program Files\\Steinberg\\VstPlugins");
  fs.AddFile(L"C:\\Program Files\\Vstplugins", "a file, not a folder");
  registry.SetString(kHklm, L"Software\\VST", L"VSTPluginsPath", L"D:\\Gone", RegView::Key64);
  EXPECT_EQ(Defaults(true), Texts{L"C:\\Program Files\\Steinberg\\VstPlugins"});
}

TEST_F(DefaultVstFoldersTest, ARegistryFolderAlreadyFoundAddsNothing) {
  fs.AddFolder(L"C:\\Program Files\\Vstplugins");
  for (const wchar_t* value :
       {L"c:\\program files\\VSTPLUGINS\\", L"C:\\Program Files\\Vstplugins\\\\"}) {
    registry.SetString(kHklm, L"Software\\VST", L"VSTPluginsPath", value, RegView::Key64);
    unsigned added = 0;
    EXPECT_EQ(Defaults(true, &added), Texts{L"C:\\Program Files\\Vstplugins"}) << value;
    EXPECT_EQ(added, 1u);
  }
}

TEST_F(DefaultVstFoldersTest, ARootFolderKeepsItsBackslash) {
  registry.SetString(kHklm, L"Software\\VST", L"VSTPluginsPath", L"D:\\", RegView::Key64);
  EXPECT_EQ(Defaults(true), Texts{L"D:\\"});
}

TEST_F(DefaultVstFoldersTest, On32BitWindows) {
  system.UseWindows32Bit();
  FakeRegistry registry32(false);
  for (const wchar_t* f :
       {L"C:\\Program Files\\Common Files\\VST2", L"C:\\Program Files\\Vstplugins",
        L"C:\\Program Files\\Native Instruments\\VSTPlugins 32 bit",
        L"C:\\Program Files\\Native Instruments\\VSTPlugins 64 bit"}) {
    fs.AddFolder(f);
  }
  registry32.SetString(kHklm, L"Software\\VST", L"VSTPluginsPath", L"D:\\VST32");
  fs.AddFolder(L"D:\\VST32");

  CSafeStringList list;
  EXPECT_EQ(GetDefaultVstFolders(system, registry32, fs, false, list), 4u);
  EXPECT_EQ(list.Entries(),
            (Texts{L"C:\\Program Files\\Common Files\\VST2", L"C:\\Program Files\\Vstplugins",
                   L"C:\\Program Files\\Native Instruments\\VSTPlugins 32 bit", L"D:\\VST32"}));

  list.Add(L"stale entry", false);
  EXPECT_EQ(GetDefaultVstFolders(system, registry32, fs, true, list), 0u);
  EXPECT_EQ(list.Count(), 0u) << "asking for 64-bit folders on 32-bit Windows yields none";
}

}  // namespace
}  // namespace tessaly
