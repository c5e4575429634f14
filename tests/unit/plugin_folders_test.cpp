// The folders the VST3 and CLAP option adds: the common-files folders of each platform and the
// per-user ones (%LOCALAPPDATA%\Programs\Common and the folders of CLAP_PATH), when they exist.
#include "plugins/plugin_folders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fake_file_system.h"
#include "tests/support/fake_system.h"

namespace tessaly {
namespace {

const std::wstring kLocal = L"C:\\Users\\Musician\\AppData\\Local\\Programs\\Common";

std::vector<std::wstring> Folders(const CSafeStringList& list) {
  std::vector<std::wstring> folders;
  for (const std::wstring& folder : list.Entries()) folders.push_back(folder);
  return folders;
}

TEST(PluginFoldersTest, PerUserFoldersAreAddedToEachListWhenTheyExist) {
  const struct {
    const char* what;
    bool windows64;
    std::vector<std::wstring> existing;
    const wchar_t* clapPath;          // null: not set
    std::vector<std::wstring> added;  // to each list, after the common-files folders
  } cases[] = {
      {"none exists", true, {}, nullptr, {}},
      {"the per-user VST3 and CLAP folders",
       true,
       {kLocal + L"\\VST3", kLocal + L"\\CLAP"},
       nullptr,
       {kLocal + L"\\VST3", kLocal + L"\\CLAP"}},
      {"only the per-user CLAP folder", true, {kLocal + L"\\CLAP"}, nullptr, {kLocal + L"\\CLAP"}},
      {"CLAP_PATH with a missing folder, an empty part, spaces and a trailing backslash",
       true,
       {L"D:\\Clap", L"E:\\More Clap"},
       L"D:\\Clap\\; ;F:\\Missing;;  E:\\More Clap ",
       {L"D:\\Clap", L"E:\\More Clap"}},
      {"a folder both per-user and in CLAP_PATH is added once",
       true,
       {kLocal + L"\\CLAP"},
       L"C:\\USERS\\Musician\\AppData\\Local\\Programs\\Common\\CLAP",
       {kLocal + L"\\CLAP"}},
      {"32-bit Windows has only the one list",
       false,
       {kLocal + L"\\VST3"},
       nullptr,
       {kLocal + L"\\VST3"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeFileSystem fs;
    FakeSystem system;
    if (!c.windows64) system.UseWindows32Bit();
    system.CreateSpecialFolders(fs);
    fs.AddVolume(L"D:", 1ull << 30, 1ull << 31);
    fs.AddVolume(L"E:", 1ull << 30, 1ull << 31);
    for (const std::wstring& folder : c.existing) fs.AddFolder(folder);
    if (c.clapPath) system.environment[L"CLAP_PATH"] = c.clapPath;
    PluginFolderChoice choice;
    choice.is64BitWindows = c.windows64;
    choice.folders32.Add(L"C:\\VST", false);
    EXPECT_EQ(AddModernFormatFolders(system, fs, choice), c.added.size() * (c.windows64 ? 2 : 1));
    std::vector<std::wstring> expected32 = {L"C:\\VST"};
    expected32.insert(expected32.end(), c.added.begin(), c.added.end());
    EXPECT_EQ(Folders(choice.folders32), expected32);
    EXPECT_EQ(Folders(choice.folders64), c.windows64 ? c.added : std::vector<std::wstring>{});
    // Nothing twice.
    EXPECT_EQ(AddModernFormatFolders(system, fs, choice), 0u);
  }
}

}  // namespace
}  // namespace tessaly
