// CPluginList and CPluginMap over the in-memory file system: grouping by name without regard to
// case, ids, group counts, the five column sorts with their stability, and deleting a member's
// file (read-only, held open, already gone) with redirection off.
#include "plugins/plugin_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "plugins/dupe_finder_state.h"
#include "tests/support/fake_file_system.h"
#include "tests/support/fake_system.h"
#include "tests/unit/forwarding_file_system.h"
#include "tests/unit/pe_test_images.h"

namespace tessaly {
namespace {

constexpr FileTime kDay = 24ull * 3600 * kFileTimeTicksPerSecond;
constexpr FileTime kMarch2024 = 133541550000000000ull;

std::vector<uint8_t> Dll(uint16_t machine) {
  testing::PeLayout layout;
  layout.machine = machine;
  layout.pe32Plus = machine == pe::kMachineAmd64 || machine == pe::kMachineIa64;
  return testing::BuildPe(layout).bytes;
}

// An i386 DLL whose fixed version information holds the file version major.minor.build.rev.
std::vector<uint8_t> VersionedDll(uint16_t major, uint16_t minor, uint16_t build, uint16_t rev) {
  const auto fixed =
      testing::FixedInfoBytes(uint32_t(major) << 16 | minor, uint32_t(build) << 16 | rev, 0, 0);
  return testing::VersionedDll(testing::Encode(testing::Root({}, fixed))).bytes;
}

class PluginMapTest : public ::testing::Test {
 protected:
  void SetUp() override { fs.AddVolume(L"D:", 1ull << 30, 1ull << 31); }

  CPluginFile Found(const std::wstring& path) {
    CPluginFile file(fs, system);
    EXPECT_EQ(file.Lookup(path), 0u) << ToUtf8(path);
    return file;
  }
  // A file known only by a directory entry, for sorts that never touch the disk.
  CPluginFile Entry(const std::wstring& path, uint64_t size, FileTime written) {
    FindData entry;
    entry.name = path.substr(path::FindFileName(path));
    entry.size = size;
    entry.lastWriteTime = written;
    CPluginFile file(fs, system);
    EXPECT_EQ(file.Assign(path, &entry), 0u);
    return file;
  }

  static std::vector<uint32_t> Ids(const CPluginList& list) {
    std::vector<uint32_t> ids;
    for (const auto& m : list.Members()) {
      EXPECT_EQ(m.file.Id(), m.id);
      ids.push_back(m.id);
    }
    return ids;
  }

  FakeFileSystem fs;
  FakeSystem system;
};

TEST_F(PluginMapTest, GroupsByFileNameWithoutRegardToCase) {
  fs.AddFile(L"C:\\A\\Synth.dll", Dll(pe::kMachineI386));
  fs.AddFile(L"D:\\B\\SYNTH.DLL", Dll(pe::kMachineI386));
  fs.AddFile(L"C:\\A\\Delay.dll", Dll(pe::kMachineI386));
  CPluginMap map;
  EXPECT_TRUE(map.Add(Found(L"C:\\A\\Synth.dll")));
  EXPECT_TRUE(map.Add(Found(L"D:\\B\\SYNTH.DLL")));
  EXPECT_TRUE(map.Add(Found(L"C:\\A\\Delay.dll")));

  std::vector<std::wstring> keys;
  for (const auto& [key, list] : map.GetGroups()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::wstring>{L"delay.dll", L"synth.dll"}));

  for (const wchar_t* text : {L"synth.dll", L"SYNTH.DLL", L"Synth.Dll"}) {
    const CPluginList* group = map.Find(text);
    ASSERT_NE(group, nullptr) << ToUtf8(text);
    EXPECT_EQ(group->Count(), 2u);
    EXPECT_EQ(Ids(*group), (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(group->Members().front().file.GetPath(), L"C:\\A\\Synth.dll");
    EXPECT_EQ(group->Members().back().file.GetPath(), L"D:\\B\\SYNTH.DLL");
  }
  EXPECT_EQ(map.Find(L"synth"), nullptr);
  EXPECT_EQ(map.Find(L"(no files found)"), nullptr);

  uint32_t singles = 9, duplicates = 9, total = 9;
  EXPECT_EQ(map.CountGroups(singles, duplicates, total), 2u);
  EXPECT_EQ(singles, 1u);
  EXPECT_EQ(duplicates, 1u);
  EXPECT_EQ(total, 3u);

  map.Clear();
  EXPECT_EQ(map.CountGroups(singles, duplicates, total), 0u);
  EXPECT_EQ(singles + duplicates + total, 0u);
}

TEST_F(PluginMapTest, AFileWithoutADirectoryEntryIsNotAdded) {
  CPluginMap map;
  CPluginFile fresh(fs, system);
  EXPECT_FALSE(map.Add(fresh));
  CPluginFile missing(fs, system);
  EXPECT_NE(missing.Lookup(L"C:\\VST\\Gone.dll"), 0u);
  EXPECT_FALSE(map.Add(missing));
  EXPECT_TRUE(map.GetGroups().empty());
}

TEST_F(PluginMapTest, CountsSinglesDuplicatesAndFilesButNotEmptiedGroups) {
  CPluginMap map;
  for (const wchar_t* path : {L"C:\\1\\synth.dll", L"C:\\2\\Synth.dll", L"C:\\3\\SYNTH.dll",
                              L"C:\\1\\delay.dll", L"C:\\1\\gone.dll"}) {
    fs.AddFile(path, Dll(pe::kMachineI386));
    ASSERT_TRUE(map.Add(Found(path)));
  }
  uint32_t singles = 0, duplicates = 0, total = 0;
  EXPECT_EQ(map.CountGroups(singles, duplicates, total), 3u);
  EXPECT_EQ(singles, 2u);
  EXPECT_EQ(duplicates, 1u);
  EXPECT_EQ(total, 5u);

  // The last member deleted: the key stays, its empty list counts nowhere.
  ASSERT_EQ(map.Find(L"gone.dll")->DeleteById(0), 0u);
  EXPECT_EQ(map.CountGroups(singles, duplicates, total), 3u);
  EXPECT_EQ(singles, 1u);
  EXPECT_EQ(duplicates, 1u);
  EXPECT_EQ(total, 4u);
}

TEST_F(PluginMapTest, IdsFollowTheOrderOfAddAndAreNotReused) {
  for (const wchar_t* path : {L"C:\\A\\x.dll", L"C:\\B\\x.dll", L"C:\\C\\x.dll"})
    fs.AddFile(path, Dll(pe::kMachineI386));
  CPluginList list;
  ASSERT_TRUE(list.Add(Found(L"C:\\A\\x.dll")));
  ASSERT_TRUE(list.Add(Found(L"C:\\B\\x.dll")));
  ASSERT_EQ(list.DeleteById(0), 0u);
  EXPECT_EQ(Ids(list), std::vector<uint32_t>{1});
  ASSERT_TRUE(list.Add(Found(L"C:\\C\\x.dll")));
  EXPECT_EQ(Ids(list), (std::vector<uint32_t>{1, 2}));
  EXPECT_EQ(list.Count(), 2u);
  ASSERT_NE(list.FindById(2), nullptr);
  EXPECT_EQ(list.FindById(2)->GetPath(), L"C:\\C\\x.dll");
  EXPECT_EQ(list.FindById(0), nullptr);
}

TEST_F(PluginMapTest, SortsByEachColumnAscendingAndStably) {
  // Finding order: ids 0..4. Paths, sizes, dates, versions and machines each give another order.
  // Each sort starts from the folder order 1, 3, 0, 2, 4, and ties must keep that order.
  struct Plugin {
    const wchar_t* path;
    std::vector<uint8_t> bytes;
    FileTime written;
  };
  std::vector<uint8_t> textDll(600, 'x');  // no header: machine "?", no version
  const Plugin plugins[] = {
      {L"C:\\b\\p.dll", VersionedDll(2, 0, 0, 0), kMarch2024 + 1 * kDay},   // 0
      {L"C:\\A\\p.dll", Dll(pe::kMachineAmd64), kMarch2024 + 1 * kDay},     // 1
      {L"C:\\c\\p.dll", textDll, kMarch2024 + 2 * kDay},                    // 2
      {L"C:\\a\\q\\p.dll", Dll(pe::kMachineArmNt), kMarch2024 + 3 * kDay},  // 3
      {L"C:\\D\\p.dll", VersionedDll(1, 10, 0, 0), kMarch2024},             // 4
  };
  CPluginList list;
  for (const Plugin& p : plugins) {
    fs.AddFile(p.path, p.bytes, attr::Archive, p.written);
    ASSERT_TRUE(list.Add(Found(p.path)));
  }
  // Sizes: the two small PE images of the same layout tie, and so do the versioned ones.
  const uint64_t sizes[] = {list.FindById(0)->GetSize(), list.FindById(1)->GetSize(),
                            list.FindById(2)->GetSize(), list.FindById(3)->GetSize(),
                            list.FindById(4)->GetSize()};
  ASSERT_EQ(sizes[0], sizes[4]);
  ASSERT_EQ(sizes[1], sizes[3]);
  ASSERT_LT(sizes[2], sizes[1]);
  ASSERT_LT(sizes[1], sizes[0]);

  const struct {
    int column;
    std::vector<uint32_t> ids;
  } cases[] = {
      // C:\A\p.dll < C:\a\q\p.dll < C:\b < C:\c < C:\D without regard to case.
      {CPluginList::kFolder, {1, 3, 0, 2, 4}},
      // Days 0 (4), 1 (1 and 0, as they stood), 2 (2), 3 (3).
      {CPluginList::kDate, {4, 1, 0, 2, 3}},
      // No version (0) for 1, 3, 2 as they stood; then 1.10 and 2.0.
      {CPluginList::kVersion, {1, 3, 2, 4, 0}},
      // The text file, the PE pair, the versioned pair, each tie as it stood.
      {CPluginList::kSize, {2, 1, 3, 0, 4}},
      // "?" (2), 32-bit (0, 4), ARM (3), 64-bit (1).
      {CPluginList::kPlatform, {2, 0, 4, 3, 1}},
  };
  for (const auto& c : cases) {
    list.Sort(CPluginList::kFolder);
    list.Sort(c.column);
    EXPECT_EQ(Ids(list), c.ids) << "column " << c.column;
    list.Sort(c.column);
    EXPECT_EQ(Ids(list), c.ids) << "column " << c.column << " sorted twice";
  }

  list.Sort(CPluginList::kFolder);
  list.Sort(CPluginList::kSize);
  list.Reverse();
  EXPECT_EQ(Ids(list), (std::vector<uint32_t>{4, 0, 3, 1, 2})) << "ties reversed too";

  const std::vector<uint32_t> before = Ids(list);
  for (int column : {5, -1, 100}) {
    list.Sort(column);
    EXPECT_EQ(Ids(list), before) << "column " << column;
  }
}

TEST_F(PluginMapTest, PlatformSortOrdersTheLabels) {
  CPluginList list;
  const struct {
    const wchar_t* path;
    std::vector<uint8_t> bytes;
  } files[] = {
      {L"C:\\1\\p.dll", Dll(pe::kMachineAmd64)}, {L"C:\\2\\p.dll", Dll(pe::kMachineIa64)},
      {L"C:\\3\\p.dll", Dll(pe::kMachineArmNt)}, {L"C:\\4\\p.dll", Dll(pe::kMachineI386)},
      {L"C:\\5\\p.dll", Dll(pe::kMachineArm64)}, {L"C:\\6\\p.dll", Dll(0x5032)},  // RISC-V: "?"
  };
  for (const auto& f : files) {
    fs.AddFile(f.path, f.bytes);
    ASSERT_TRUE(list.Add(Found(f.path)));
  }
  list.Sort(CPluginList::kPlatform);
  std::vector<std::wstring> labels;
  for (const auto& m : list.Members()) {
    uint16_t machine = 0;
    CPluginFile file = m.file;
    (void)file.GetMachineType(machine);
    labels.push_back(MachineTypeLabel(machine));
  }
  EXPECT_EQ(labels,
            (std::vector<std::wstring>{L"?", L"32-bit", L"ARM", L"Itanium", L"64-bit", L"ARM64"}));
}

TEST_F(PluginMapTest, ADateWithoutCalendarDateNeverGoesFirst) {
  constexpr FileTime kBeyond = 0x8000000000000000ull;  // FileTimeToSystemTime refuses it
  for (const bool beyondFirst : {true, false}) {
    CPluginList list;
    list.Add(Entry(L"C:\\x\\a.dll", 1, beyondFirst ? kBeyond : kMarch2024));
    list.Add(Entry(L"C:\\y\\a.dll", 1, beyondFirst ? kMarch2024 : kBeyond));
    list.Sort(CPluginList::kDate);
    EXPECT_EQ(Ids(list), (std::vector<uint32_t>{0, 1})) << beyondFirst;
  }
}

// Records whether redirection was off for each attribute change and delete.
class RedirectionWatchingFileSystem : public testing::ForwardingFileSystem {
 public:
  RedirectionWatchingFileSystem(FileSystem& inner, FakeSystem& system)
      : ForwardingFileSystem(inner), system_(system) {}
  ErrorCode GetAttributes(std::wstring_view p, uint32_t& a) override {
    Note(L"GetAttributes");
    return inner_.GetAttributes(p, a);
  }
  ErrorCode SetAttributes(std::wstring_view p, uint32_t a) override {
    Note(L"SetAttributes");
    return inner_.SetAttributes(p, a);
  }
  ErrorCode DeleteFile(std::wstring_view p) override {
    Note(L"DeleteFile");
    return inner_.DeleteFile(p);
  }
  std::vector<std::wstring> calls;

 private:
  void Note(const wchar_t* call) {
    calls.push_back(std::wstring(call) +
                    (system_.ActiveRedirectionScopes() > 0 ? L" off" : L" REDIRECTED"));
  }
  FakeSystem& system_;
};

TEST_F(PluginMapTest, DeleteByIdRemovesTheFileAndThenTheMember) {
  const std::wstring path = L"C:\\VST\\Synth.dll";
  struct Case {
    const char* what;
    uint32_t attributes;  // of the file; 0 = remove it before the delete
    bool holdOpen;
    ErrorCode rc;
    bool memberKept;
    bool fileKept;
  };
  const Case cases[] = {
      {"plain file", attr::Archive, false, 0, false, false},
      {"read-only file", attr::ReadOnly | attr::Archive, false, 0, false, false},
      {"already gone", 0, false, 0, false, false},
      {"held open by another program", attr::Archive, true, err::SharingViolation, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs.AddFile(path, Dll(pe::kMachineI386), c.attributes ? c.attributes : attr::Archive);
    fs.AddFile(L"D:\\VST\\Synth.dll", Dll(pe::kMachineI386));
    RedirectionWatchingFileSystem watching(fs, system);
    CPluginList list;
    CPluginFile found(watching, system);
    ASSERT_EQ(found.Lookup(path), 0u);
    ASSERT_TRUE(list.Add(found));
    CPluginFile other(watching, system);
    ASSERT_EQ(other.Lookup(L"D:\\VST\\Synth.dll"), 0u);
    ASSERT_TRUE(list.Add(other));
    if (!c.attributes) {
      ASSERT_EQ(fs.DeleteFile(path), 0u);
    }
    auto held = c.holdOpen ? fs.HoldOpen(path) : nullptr;

    EXPECT_EQ(list.DeleteById(0), c.rc);
    EXPECT_EQ(list.FindById(0) != nullptr, c.memberKept);
    EXPECT_EQ(list.Count(), c.memberKept ? 2u : 1u);
    EXPECT_EQ(fs.IsFile(path), c.fileKept);
    EXPECT_TRUE(fs.IsFile(L"D:\\VST\\Synth.dll")) << "only the member's own file goes";
    // Every touch of the file happened with redirection off, and the scope has ended.
    ASSERT_FALSE(watching.calls.empty());
    for (const std::wstring& call : watching.calls) {
      EXPECT_EQ(call.find(L"REDIRECTED"), std::wstring::npos) << ToUtf8(call);
    }
    EXPECT_EQ(system.ActiveRedirectionScopes(), 0);
    if (c.attributes & attr::ReadOnly) {
      EXPECT_NE(std::find(watching.calls.begin(), watching.calls.end(), L"SetAttributes off"),
                watching.calls.end());
    }
    held.reset();
    if (fs.Exists(path)) fs.DeleteFile(path);
    fs.DeleteFile(L"D:\\VST\\Synth.dll");
  }
}

TEST_F(PluginMapTest, DeleteByIdErrorsKeepTheMember) {
  fs.AddFile(L"C:\\VST\\Synth.dll", Dll(pe::kMachineI386), attr::ReadOnly);
  CPluginList list;
  ASSERT_TRUE(list.Add(Found(L"C:\\VST\\Synth.dll")));
  ASSERT_TRUE(list.Add(CPluginFile(fs, system)));  // a member without a path

  EXPECT_EQ(list.DeleteById(7), err::FileNotFound);
  EXPECT_EQ(list.DeleteById(1), err::NotReady);

  // The attribute cannot be cleared, so the delete is refused as well.
  fs.InjectFailure(FakeFileSystem::Operation::SetAttributes, L"C:\\VST\\Synth.dll",
                   err::AccessDenied);
  EXPECT_EQ(list.DeleteById(0), err::AccessDenied);
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_TRUE(fs.IsFile(L"C:\\VST\\Synth.dll"));

  fs.ClearFailures();
  EXPECT_EQ(list.DeleteById(0), 0u);
  EXPECT_FALSE(fs.Exists(L"C:\\VST\\Synth.dll"));
  EXPECT_EQ(list.DeleteById(0), err::FileNotFound) << "the member went with its file";

  // An attribute that cannot be read does not stop the delete of a writable file; once the
  // file is gone the member goes too, and the delete counts as done.
  fs.AddFile(L"C:\\VST\\Delay.dll", Dll(pe::kMachineI386));
  ASSERT_TRUE(list.Add(Found(L"C:\\VST\\Delay.dll")));  // id 2
  fs.InjectFailure(FakeFileSystem::Operation::GetAttributes, L"C:\\VST\\Delay.dll",
                   err::AccessDenied);
  EXPECT_EQ(list.DeleteById(2), 0u);
  EXPECT_FALSE(fs.Exists(L"C:\\VST\\Delay.dll"));
  EXPECT_EQ(list.FindById(2), nullptr);
}

// A bundle member: the folder tree goes whole; a bundle that became a link loses only the link;
// a path that is no longer a folder is not deleted through the bundle's member.
TEST_F(PluginMapTest, DeletingABundleRemovesItsFolderTreeAndNothingOutsideIt) {
  const std::wstring bundle = L"C:\\VST3\\Serum.vst3";
  const std::wstring binary = bundle + L"\\Contents\\x86_64-win\\Serum.vst3";
  const auto member = [&](FakeFileSystem& files, const std::wstring& path) {
    FindData entry;
    entry.name = L"Serum.vst3";
    entry.attributes = attr::Directory;
    FindData binaryEntry;
    binaryEntry.size = 4;
    CPluginFile file(files, system);
    EXPECT_EQ(file.AssignBundle(path, &entry, binary, &binaryEntry), 0u);
    return file;
  };
  struct Case {
    const char* what;
    void (*arrange)(FakeFileSystem& fs);
    ErrorCode rc;
    bool bundleGone;
  };
  const Case cases[] = {
      {"a whole tree, read-only files included",
       [](FakeFileSystem& fs) {
         fs.AddFile(L"C:\\VST3\\Serum.vst3\\Contents\\x86_64-win\\Serum.vst3", "bin");
         fs.AddFile(L"C:\\VST3\\Serum.vst3\\Contents\\Resources\\Presets\\a.vstpreset", "p",
                    attr::ReadOnly);
         fs.AddFile(L"C:\\VST3\\Serum.vst3\\desktop.ini", "x", attr::Hidden | attr::System);
       },
       0, true},
      {"a bundle that is gone already", [](FakeFileSystem&) {}, 0, true},
      {"a link in the bundle keeps its target",
       [](FakeFileSystem& fs) {
         fs.AddFile(L"C:\\VST3\\Serum.vst3\\Contents\\x86_64-win\\Serum.vst3", "bin");
         fs.AddFolderLink(L"C:\\VST3\\Serum.vst3\\Contents\\Shared", L"C:\\Shared");
       },
       0, true},
      {"a bundle that is a link itself keeps its target",
       [](FakeFileSystem& fs) { fs.AddFolderLink(L"C:\\VST3\\Serum.vst3", L"C:\\Shared"); }, 0,
       true},
      {"a file of the bundle's name is not deleted",
       [](FakeFileSystem& fs) { fs.AddFile(L"C:\\VST3\\Serum.vst3", "now a file"); },
       err::AccessDenied, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeFileSystem fs;
    fs.AddFile(L"C:\\Shared\\keep.txt", "shared");
    fs.AddFile(L"C:\\VST3\\Other.vst3\\Contents\\x86_64-win\\Other.vst3", "other");
    c.arrange(fs);
    CPluginList list;
    ASSERT_TRUE(list.Add(member(fs, bundle)));
    EXPECT_EQ(list.DeleteById(0), c.rc);
    EXPECT_EQ(!fs.Exists(bundle), c.bundleGone);
    EXPECT_EQ(list.Count(), c.bundleGone ? 0u : 1u);
    EXPECT_TRUE(fs.IsFile(L"C:\\Shared\\keep.txt"));
    EXPECT_TRUE(fs.IsFile(L"C:\\VST3\\Other.vst3\\Contents\\x86_64-win\\Other.vst3"));
    EXPECT_TRUE(fs.IsFolder(L"C:\\VST3"));
    EXPECT_EQ(system.ActiveRedirectionScopes(), 0);
  }
}

// The question names the folder tree that goes with its files; a file held open stops the delete
// of that file only: the member stays with what is left, and the message names the held file.
TEST_F(PluginMapTest, ABundleDeletedInPartKeepsWhatIsLeftAndNamesTheHeldFile) {
  const std::wstring bundle = L"C:\\VST3\\Pad.vst3";
  fs.AddFile(bundle + L"\\Contents\\x86_64-win\\Pad.vst3", std::vector<uint8_t>(2000, 1));
  fs.AddFile(bundle + L"\\Contents\\Resources\\Presets\\a.vstpreset", std::vector<uint8_t>(100, 2));
  fs.AddFile(bundle + L"\\Contents\\moduleinfo.json", std::vector<uint8_t>(300, 3));
  std::vector<BundleMember> members;
  ASSERT_EQ(ListBundle(fs, bundle, members), 0u);
  ASSERT_EQ(members.size(), 3u);
  EXPECT_EQ(members[0].relativePath, L"Contents\\moduleinfo.json");
  EXPECT_EQ(members[1].relativePath, L"Contents\\Resources\\Presets\\a.vstpreset");
  EXPECT_EQ(members[2].relativePath, L"Contents\\x86_64-win\\Pad.vst3");

  FindData entry, binaryEntry;
  entry.name = L"Pad.vst3";
  entry.attributes = attr::Directory;
  binaryEntry.size = 2000;
  CPluginFile file(fs, system);
  ASSERT_EQ(file.AssignBundle(bundle, &entry, bundle + L"\\Contents\\x86_64-win\\Pad.vst3",
                              &binaryEntry, 0, members),
            0u);
  EXPECT_EQ(file.GetSize(), 2400u);
  EXPECT_EQ(DeleteQuestion(file, members),
            L"This will permanently delete the folder C:\\VST3\\Pad.vst3 with everything in it: 3 "
            L"files, 2.3 KB. Are you sure you wish to continue?");
  CPluginFile single = Found(bundle + L"\\Contents\\moduleinfo.json");
  EXPECT_EQ(DeleteQuestion(single, {}),
            L"This will permanently delete C:\\VST3\\Pad.vst3\\Contents\\moduleinfo.json. Are you "
            L"sure you wish to continue?");

  CPluginList list;
  ASSERT_TRUE(list.Add(file));
  {
    const auto held = fs.HoldOpen(bundle + L"\\Contents\\x86_64-win\\Pad.vst3");
    EXPECT_EQ(list.DeleteById(0), err::SharingViolation);
  }
  ASSERT_EQ(list.Count(), 1u);
  const CPluginFile& left = list.Members().front().file;
  ASSERT_EQ(left.BundleMembers().size(), 1u);
  EXPECT_EQ(left.BundleMembers()[0].relativePath, L"Contents\\x86_64-win\\Pad.vst3");
  EXPECT_EQ(left.GetSize(), 2000u) << "the row shows what is left";
  EXPECT_FALSE(fs.Exists(bundle + L"\\Contents\\moduleinfo.json"));
  EXPECT_EQ(DeleteFailedMessage(left, err::SharingViolation, left.BundleMembers()),
            L"Delete operation failed with error 32: C:\\VST3\\Pad.vst3\\Contents\\x86_64-win\\"
            L"Pad.vst3 is in use by another program or write-protected, so the bundle "
            L"C:\\VST3\\Pad.vst3 was deleted only in part. Left in it: 1 file, 2.0 KB. Close the "
            L"program that uses the file and delete the bundle again.");
  EXPECT_EQ(DeleteFailedMessage(single, err::AccessDenied, {}),
            L"Delete operation failed with error 5. Make sure the file is not write-protected or "
            L"currently in use.");

  // Once the file is let go, the rest goes.
  EXPECT_EQ(list.DeleteById(0), 0u);
  EXPECT_FALSE(fs.Exists(bundle));
  EXPECT_EQ(list.Count(), 0u);
}

}  // namespace
}  // namespace tessaly
