// The duplicate search and final paths on the real system: the listing's own matching of
// "*.dll" (Wine's also matches generated short names), machine types read from real files, and
// the final path of the prefix's link-tree fixture, whose tree\link is a link to ..\real.
#include "plugins/dupe_search.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/file_ops.h"
#include "platform/text.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_file_system.h"
#include "tests/support/backends.h"
#include "tests/unit/pe_test_images.h"

namespace tessaly {
namespace {

class Silent : public DupeSearchObserver {
 public:
  void OnSearchState(bool) override {}
  void OnStatus(const std::wstring&) override {}
  void OnFile(const std::wstring& text) override {
    if (!StartsWithNoCase(text, L"Found ")) files.push_back(text);  // not the summary
  }
  std::vector<std::wstring> files;
};

std::vector<uint8_t> Dll(uint16_t machine) {
  testing::PeLayout layout;
  layout.machine = machine;
  layout.pe32Plus = machine == pe::kMachineAmd64;
  return testing::BuildPe(layout).bytes;
}

TEST(DupeSearchWin32Test, TakesFilesEndingInDllAndSortsThemByMachine) {
  auto harness = testing::Win32FileSystemBackends().front().make();
  FileSystem& fs = harness->fs();
  const std::wstring root = harness->scratch;
  const auto dll32 = Dll(pe::kMachineI386), dll64 = Dll(pe::kMachineAmd64);
  ASSERT_EQ(fs.CreateFolder(root + L"\\Sub"), 0u);
  ASSERT_EQ(fs.WriteFile(root + L"\\Synth.dll", dll32.data(), dll32.size()), 0u);
  ASSERT_EQ(fs.WriteFile(root + L"\\Sub\\SYNTH.DLL", dll32.data(), dll32.size()), 0u);
  ASSERT_EQ(fs.WriteFile(root + L"\\Wide.dll", dll64.data(), dll64.size()), 0u);
  // "*.dll" reaches this one through its short name where the system makes short names.
  ASSERT_EQ(fs.WriteFile(root + L"\\Extra.dllx", dll32.data(), dll32.size()), 0u);

  CPluginMap expected, unexpected;
  Silent observer;
  CancelFlag stop{0};
  const DupeSearchResult result =
      RunDupeSearch(fs, harness->system(), {root}, 0, expected, unexpected, observer, stop);
  EXPECT_TRUE(result.completed);
  ASSERT_NE(expected.Find(L"synth.dll"), nullptr);
  EXPECT_EQ(expected.Find(L"synth.dll")->Count(), 2u);
  EXPECT_NE(unexpected.Find(L"wide.dll"), nullptr);
  EXPECT_EQ(expected.GetGroups().size() + unexpected.GetGroups().size(), 2u);
  EXPECT_EQ(observer.files.size(), 3u);
  for (const std::wstring& file : observer.files) {
    EXPECT_TRUE(EndsWithNoCase(file, L".dll")) << ToUtf8(file);
  }
}

// VST3 files and bundles and CLAP files on real folders: a bundle's machine comes from its
// binary (an ARM64 one named by its folder), bundles are compared whole with bundles, and
// deleting a bundle takes its tree, or all but a file held open.
TEST(DupeSearchWin32Test, FindsBundlesComparesCopiesAndDeletesABundleWhole) {
  auto harness = testing::Win32FileSystemBackends().front().make();
  FileSystem& fs = harness->fs();
  const std::wstring root = harness->scratch;
  const auto dll64 = Dll(pe::kMachineAmd64);
  auto other64 = dll64;
  other64.back() ^= 0x5A;
  const auto write = [&](const std::wstring& path, const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(CreateDirectoryTree(fs, path.substr(0, path.rfind(L'\\'))), 0u) << ToUtf8(path);
    ASSERT_EQ(fs.WriteFile(path, bytes.data(), bytes.size()), 0u) << ToUtf8(path);
  };
  const std::wstring bundle = root + L"\\VST3\\Pad.vst3";
  write(bundle + L"\\Contents\\x86_64-win\\Pad.vst3", dll64);
  write(bundle + L"\\Contents\\Resources\\moduleinfo.json", {'{', '}'});
  write(root + L"\\Copy\\Pad.vst3\\Contents\\x86_64-win\\Pad.vst3", dll64);  // the same bundle
  write(root + L"\\Copy\\Pad.vst3\\Contents\\Resources\\moduleinfo.json", {'{', '}'});
  write(root + L"\\Old\\Pad.vst3", dll64);  // the same bytes as the bundle's binary
  write(root + L"\\Arm\\Pad.vst3\\Contents\\arm64-win\\Pad.vst3", Dll(pe::kMachineArm64));
  write(root + L"\\Other\\Pad.vst3", other64);                       // the same size, other bytes
  write(root + L"\\Empty.vst3\\Contents\\Resources\\x.txt", {'x'});  // no binary
  write(root + L"\\Keys.clap", dll64);

  CPluginMap expected, unexpected;
  Silent observer;
  CancelFlag stop{0};
  ASSERT_TRUE(
      RunDupeSearch(fs, harness->system(), {root}, 1, expected, unexpected, observer, stop, {true})
          .completed);
  CPluginList* pads = expected.Find(L"pad.vst3");
  ASSERT_NE(pads, nullptr);
  ASSERT_EQ(pads->Count(), 4u);
  // The ARM64 bundle is an other-platform plugin, named so.
  ASSERT_NE(unexpected.Find(L"pad.vst3"), nullptr);
  EXPECT_STREQ(
      MachineTypeLabel(unexpected.Find(L"pad.vst3")->Members().front().file.RecordedMachine()),
      L"ARM64");
  ASSERT_NE(expected.Find(L"keys.clap"), nullptr);
  ASSERT_NE(unexpected.Find(L"empty.vst3"), nullptr);
  const CPluginFile* bundleFile = nullptr;
  const CPluginFile* copyFile = nullptr;
  const CPluginFile* oldFile = nullptr;
  const CPluginFile* otherFile = nullptr;
  for (const auto& m : pads->Members()) {
    if (m.file.IsBundle())
      (EndsWithNoCase(m.file.GetFolder(), L"\\Copy") ? copyFile : bundleFile) = &m.file;
    if (EndsWithNoCase(m.file.GetFolder(), L"\\Old")) oldFile = &m.file;
    if (EndsWithNoCase(m.file.GetFolder(), L"\\Other")) otherFile = &m.file;
  }
  ASSERT_TRUE(bundleFile && copyFile && oldFile && otherFile);
  EXPECT_EQ(bundleFile->RecordedMachine(), pe::kMachineAmd64);
  EXPECT_EQ(bundleFile->GetSize(), dll64.size() + 2) << "the whole bundle";
  EXPECT_NE(bundleFile->ContentClass(), 0u);
  EXPECT_EQ(copyFile->ContentClass(), bundleFile->ContentClass());
  EXPECT_EQ(oldFile->ContentClass(), 0u) << "a file is never a bundle's copy";
  EXPECT_EQ(otherFile->ContentClass(), 0u);

  // A file of the bundle held open without sharing: the rest goes, the member stays with it.
  const std::wstring binary = bundle + L"\\Contents\\x86_64-win\\Pad.vst3";
  HANDLE held = CreateFileW(binary.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(pads->DeleteById(bundleFile->Id()), err::SharingViolation);
  CloseHandle(held);
  EXPECT_TRUE(PathExists(fs, binary));
  EXPECT_FALSE(PathExists(fs, bundle + L"\\Contents\\Resources\\moduleinfo.json"));
  ASSERT_EQ(bundleFile->BundleMembers().size(), 1u);
  EXPECT_EQ(bundleFile->BundleMembers()[0].relativePath, L"Contents\\x86_64-win\\Pad.vst3");
  EXPECT_EQ(pads->Count(), 4u);

  ASSERT_EQ(pads->DeleteById(bundleFile->Id()), 0u);
  EXPECT_FALSE(PathExists(fs, bundle));
  EXPECT_TRUE(PathExists(fs, root + L"\\VST3")) << "only the bundle goes";
  EXPECT_TRUE(PathExists(fs, root + L"\\Old\\Pad.vst3"));
  EXPECT_EQ(pads->Count(), 3u);
}

TEST(FinalPathWin32Test, AFolderLinkLeadsToItsTarget) {
  const std::wstring fixture = L"C:\\tessaly-fixtures\\link-tree";
  Win32FileSystem fs;
  bool linkListed = false;
  (void)fs.FindFiles(fixture + L"\\tree\\*", [&](const FindData& entry) {
    if (EqualsNoCase(entry.name, L"link") && entry.IsDirectory() && entry.IsReparsePoint())
      linkListed = true;
    return true;
  });
  if (!linkListed)
    GTEST_SKIP() << "no link-tree fixture in this prefix (scripts/wine-run.sh makes it)";

  std::wstring real, viaLink;
  ASSERT_EQ(fs.GetFinalPath(fixture + L"\\real", real), 0u);
  ASSERT_EQ(fs.GetFinalPath(fixture + L"\\tree\\link", viaLink), 0u);
  EXPECT_TRUE(EqualsNoCase(real, fixture + L"\\real")) << ToUtf8(real);
  EXPECT_EQ(viaLink, real);
}

}  // namespace
}  // namespace tessaly
