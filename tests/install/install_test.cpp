// The setup program of this build's edition in a fresh Wine prefix (this test program is built
// for the same architecture: the 32-bit setup with the 32-bit build, the x64 setup with the 64-bit
// one): a silent install puts the program, its file database and its user guide into the program
// files folder of its edition with a Start-menu shortcut and an uninstaller registered in its
// registry view; the installed program starts as the shortcut starts it and opens its guide; a
// silent uninstall removes what setup installed and nothing of the user's.
// Environment: TESSALY_SETUP (the setup program), TESSALY_BUILD (the build folder whose
// Tessaly.exe and FileDatabase.xml it holds), TESSALY_GUIDE (the guide it holds), TESSALY_PROBE
// (the end-to-end probe, which stands in for the PDF reader).
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"
#include "resources/version.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/page_titles.h"
#include "tests/e2e/probe/probe_ids.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

namespace tessaly::e2e {
namespace {

constexpr const wchar_t* kUninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tessaly";
constexpr const wchar_t* kSettingsKey = L"Software\\Quillmoor\\Tessaly";
constexpr const wchar_t* kInstalledFiles[] = {L"Tessaly.exe", L"FileDatabase.xml",
                                              L"TessalyUserGuide.pdf", L"Uninstall.exe"};
constexpr const wchar_t* kBackups[] = {L"BackupHklmDefault.xml", L"BackupHklm32Bit.xml",
                                       L"BackupHkcuDefault.xml"};
// Change backups as the program names them (Change-<date>-<time>-<ms>-<number>.xml) and as a
// later naming (UTC, a counter) may: the uninstaller's option matches Change-*.xml.
constexpr const wchar_t* kChangeBackups[] = {L"Change-20261211-093000-125-001.xml",
                                             L"Change-20261211T093000Z-0002.xml"};
constexpr Milliseconds kUninstallTimeout{60000};
constexpr bool kX64 = sizeof(void*) == 8;
// The registry view each edition registers its uninstaller in, and the other edition's.
constexpr REGSAM kSetupView = kX64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = kX64 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

std::wstring ShellFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path
                                                                                        : L"";
}

// The edition's program files folder: C:\Program Files for the x64 setup, C:\Program Files (x86)
// for the 32-bit one on 64-bit Windows.
std::wstring InstallFolder() {
  return ShellFolder(kX64 ? CSIDL_PROGRAM_FILES : CSIDL_PROGRAM_FILESX86) + L"\\Tessaly";
}
std::wstring ShortcutPath() { return ShellFolder(CSIDL_COMMON_PROGRAMS) + L"\\Tessaly.lnk"; }
std::wstring GuideShortcutPath() {
  return ShellFolder(CSIDL_COMMON_PROGRAMS) + L"\\Tessaly User Guide.lnk";
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::string> ReadBytes(const std::wstring& path) {
  std::ifstream file(path.c_str(), std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream file(path.c_str(), std::ios::binary);
  file << bytes;
  return static_cast<bool>(file);
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The uninstaller's registration, in the edition's view.
template <typename T>
std::optional<T> UninstallValue(const wchar_t* name, DWORD type) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | kSetupView, &key) !=
      ERROR_SUCCESS)
    return std::nullopt;
  T data{};
  DWORD size = sizeof data;
  const LSTATUS status = RegGetValueW(key, nullptr, name, type, nullptr, &data, &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return data;
}

std::optional<std::wstring> UninstallString(const wchar_t* name) {
  struct Text {
    wchar_t chars[1024];
  };
  const std::optional<Text> text = UninstallValue<Text>(name, RRF_RT_REG_SZ);
  if (!text) return std::nullopt;
  return std::wstring(text->chars);
}

std::optional<DWORD> UninstallNumber(const wchar_t* name) {
  return UninstallValue<DWORD>(name, RRF_RT_REG_DWORD);
}

bool Registered() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | kSetupView, &key) !=
      ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

bool SettingsKeyExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// Runs a command line and returns its exit code once it ended; nothing when it did not start or
// end in time.
std::optional<DWORD> RunAndWait(std::wstring commandLine, DWORD timeoutMs = 120000) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    ADD_FAILURE() << "cannot start " << ToUtf8(commandLine) << ", error " << GetLastError();
    return std::nullopt;
  }
  CloseHandle(process.hThread);
  std::optional<DWORD> code;
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    code = exitCode;
  }
  CloseHandle(process.hProcess);
  return code;
}

// Ends the uninstaller's working copies that a failed test left running, so that the next test
// does not wait for them.
void EndUninstallers();

// True while the uninstaller's working copy runs (Un.exe in the temporary folder; Au_.exe in
// older versions of the installer compiler).
bool UninstallerRuns() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return true;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !found;
       more = Process32NextW(snapshot, &entry)) {
    found = SameText(entry.szExeFile, L"Un.exe") || SameText(entry.szExeFile, L"Au_.exe");
  }
  CloseHandle(snapshot);
  return found;
}

void EndUninstallers() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (SameText(entry.szExeFile, L"Un.exe") || SameText(entry.szExeFile, L"Au_.exe")) {
      if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)) {
        TerminateProcess(process, 1);
        CloseHandle(process);
      }
    }
  }
  CloseHandle(snapshot);
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

struct Shortcut {
  std::wstring target;
  std::wstring folder;
};

std::optional<Shortcut> ReadShortcut(const std::wstring& path) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return std::nullopt;
  }
  std::optional<Shortcut> result;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t target[MAX_PATH] = {};
    wchar_t folder[MAX_PATH] = {};
    if (SUCCEEDED(file->Load(path.c_str(), STGM_READ)) &&
        SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
        SUCCEEDED(link->GetWorkingDirectory(folder, MAX_PATH))) {
      result = Shortcut{target, folder};
    }
    file->Release();
  }
  link->Release();
  return result;
}

// A key under "SOFTWARE\Native Instruments" in one hive and view, so that the first run has
// product keys to back up, as on a musician's machine.
void AddProductKey(HKEY hive, REGSAM view) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(hive, L"SOFTWARE\\Native Instruments\\Install Test Product", 0, nullptr,
                            0, KEY_WRITE | view, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const wchar_t folder[] = L"C:\\Program Files\\Native Instruments\\Install Test Product\\";
  RegSetValueExW(key, L"InstallDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder),
                 sizeof folder);
  RegCloseKey(key);
}

// Opens .pdf files with the probe, which writes the path it was given into the file its record
// variable names. Machine-wide, in both views: Wine reads file types only from there.
void RegisterPdfReader(const std::wstring& probe) {
  const std::wstring command = Quoted(probe) + L" \"%1\"";
  const std::wstring type = L"TessalyTest.Pdf";
  for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    for (const auto& [subkey, value] :
         {std::pair{L"Software\\Classes\\.pdf", type},
          std::pair{L"Software\\Classes\\TessalyTest.Pdf\\shell\\open\\command", command}}) {
      HKEY key = nullptr;
      ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, 0, KEY_WRITE | view,
                                nullptr, &key, nullptr),
                ERROR_SUCCESS);
      RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
      RegCloseKey(key);
    }
  }
}

class InstallTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CoInitialize(nullptr); }

  void SetUp() override {
    setup_ = PathFromEnvironment(L"TESSALY_SETUP");
    build_ = PathFromEnvironment(L"TESSALY_BUILD");
    guide_ = PathFromEnvironment(L"TESSALY_GUIDE");
    ASSERT_TRUE(Exists(setup_)) << "TESSALY_SETUP: " << ToUtf8(setup_);
    ASSERT_TRUE(Exists(build_ + L"\\Tessaly.exe")) << "TESSALY_BUILD: " << ToUtf8(build_);
    ASSERT_TRUE(Exists(guide_)) << "TESSALY_GUIDE: " << ToUtf8(guide_);
  }

  void TearDown() override { EndUninstallers(); }

  void Install() {
    ASSERT_EQ(RunAndWait(Quoted(setup_) + L" /S"), std::optional<DWORD>(0));
    ASSERT_TRUE(Registered());
  }

  // Runs the registered quiet uninstall with `extra` switches and waits for its end. The
  // uninstaller runs on from a copy of itself in the temporary folder (so that it can delete its
  // own file), so its end is the end of that copy's process.
  void Uninstall(const std::wstring& extra = {}) {
    const std::optional<std::wstring> quiet = UninstallString(L"QuietUninstallString");
    ASSERT_TRUE(quiet);
    ASSERT_EQ(RunAndWait(*quiet + extra), std::optional<DWORD>(0));
    ASSERT_TRUE(WaitUntil([] { return !UninstallerRuns(); }, kUninstallTimeout));
  }

  std::wstring setup_, build_, guide_;
};

TEST_F(InstallTest, SilentSetupInstallsTheProgramThatOpensItsGuideAndUninstallKeepsUserData) {
  Install();

  // The three files, as the build made them, and the uninstaller.
  const std::wstring folder = InstallFolder();
  const std::pair<const wchar_t*, std::wstring> delivered[] = {
      {L"Tessaly.exe", build_ + L"\\Tessaly.exe"},
      {L"FileDatabase.xml", build_ + L"\\FileDatabase.xml"},
      {L"TessalyUserGuide.pdf", guide_}};
  for (const auto& [name, original] : delivered) {
    const std::optional<std::string> installed = ReadBytes(folder + L"\\" + name);
    ASSERT_TRUE(installed) << ToUtf8(name) << " is not in " << ToUtf8(folder);
    EXPECT_TRUE(*installed == ReadBytes(original).value_or("<unreadable>"))
        << ToUtf8(name) << " differs from " << ToUtf8(original);
  }
  EXPECT_TRUE(Exists(folder + L"\\Uninstall.exe"));

  // The Start-menu shortcut starts the program in its own folder (where FileDatabase.xml is).
  const std::optional<Shortcut> shortcut = ReadShortcut(ShortcutPath());
  ASSERT_TRUE(shortcut) << "no shortcut " << ToUtf8(ShortcutPath());
  EXPECT_TRUE(SameText(shortcut->target, folder + L"\\Tessaly.exe")) << ToUtf8(shortcut->target);
  EXPECT_TRUE(SameText(shortcut->folder, folder)) << ToUtf8(shortcut->folder);
  EXPECT_TRUE(Exists(GuideShortcutPath()));

  // The registration that Windows lists under installed programs.
  EXPECT_EQ(UninstallString(L"DisplayName"), std::optional<std::wstring>(L"Tessaly"));
  EXPECT_EQ(UninstallString(L"DisplayVersion"),
            std::optional<std::wstring>(FromUtf8(TESSALY_VERSION_TEXT)));
  EXPECT_EQ(UninstallString(L"Publisher"),
            std::optional<std::wstring>(FromUtf8(TESSALY_PUBLISHER)));
  EXPECT_TRUE(SameText(UninstallString(L"DisplayIcon").value_or(L""), folder + L"\\Tessaly.exe,0"));
  EXPECT_TRUE(SameText(UninstallString(L"InstallLocation").value_or(L""), folder));
  EXPECT_TRUE(SameText(UninstallString(L"UninstallString").value_or(L""),
                       Quoted(folder + L"\\Uninstall.exe")));
  // At least the size of the program and the guide, in KB.
  const auto size = [](const std::wstring& path) { return ReadBytes(path).value_or("").size(); };
  EXPECT_GE(UninstallNumber(L"EstimatedSize").value_or(0) * 1024ull,
            size(build_ + L"\\Tessaly.exe") + size(guide_) - 2048);
  EXPECT_EQ(UninstallNumber(L"NoModify"), std::optional<DWORD>(1));

  // The installed program, started as its shortcut starts it: its first run backs up the product
  // keys, and "Open User Guide" hands the installed guide to the PDF reader.
  ASSERT_NO_FATAL_FAILURE(AddProductKey(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY));
  ASSERT_NO_FATAL_FAILURE(AddProductKey(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY));
  ASSERT_NO_FATAL_FAILURE(AddProductKey(HKEY_CURRENT_USER, 0));
  ASSERT_NO_FATAL_FAILURE(RegisterPdfReader(PathFromEnvironment(L"TESSALY_PROBE")));
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring record = std::wstring(temp) + L"tessaly-install-guide.txt";
  DeleteFileW(record.c_str());
  const ScopedEnvironment recorder(probe::kRecordVariable, record);
  {
    ProgramRun run;
    ASSERT_EQ(run.Start(shortcut->target, {}, shortcut->folder), 0u);
    HWND start = FindPage(run, kStartTitle);
    ASSERT_NE(start, nullptr);
    const std::wstring documents = ProgramDocumentsFolder();
    EXPECT_TRUE(WaitUntil([&] {
      for (const wchar_t* backup : kBackups) {
        if (!Exists(documents + L"\\" + backup)) return false;
      }
      return true;
    })) << "the first run made no backups in "
        << ToUtf8(documents);
    ASSERT_TRUE(SysCommand(start, 0x20));
    EXPECT_TRUE(WaitUntil([&] {
      return ReadBytes(record).value_or("") == ToUtf8(folder) + "\\TessalyUserGuide.pdf\n";
    })) << "the reader was given: "
        << ReadBytes(record).value_or("<nothing>");
    EXPECT_FALSE(FindMessageBox(run, nullptr, Milliseconds(1000)))
        << "the program reported an error";
    SaveScreenshot(L"installed-start-page");
    ASSERT_TRUE(Click(start, IDCANCEL));
    EXPECT_EQ(run.WaitForExit(), std::optional<uint32_t>(0));
  }
  ASSERT_TRUE(SettingsKeyExists());

  // The silent uninstall removes what setup installed, and keeps the settings and backups.
  ASSERT_NO_FATAL_FAILURE(Uninstall());
  EXPECT_FALSE(Registered());
  EXPECT_FALSE(Exists(folder)) << ToUtf8(folder) << " stays";
  for (const wchar_t* name : kInstalledFiles)
    EXPECT_FALSE(Exists(folder + L"\\" + name)) << ToUtf8(name);
  EXPECT_FALSE(Exists(ShortcutPath()));
  EXPECT_FALSE(Exists(GuideShortcutPath()));
  EXPECT_TRUE(SettingsKeyExists());
  for (const wchar_t* backup : kBackups) {
    EXPECT_TRUE(Exists(ProgramDocumentsFolder() + L"\\" + backup)) << ToUtf8(backup);
  }
}

TEST_F(InstallTest, UninstallLeavesTheUsersOwnFilesAndRemovesUserDataOnlyWhenAsked) {
  Install();
  const std::wstring folder = InstallFolder();
  const std::wstring documents = ProgramDocumentsFolder();
  ASSERT_EQ(SHCreateDirectoryExW(nullptr, documents.c_str(), nullptr) == ERROR_SUCCESS ||
                Exists(documents),
            true);
  // The user's own files beside ours, and the program's settings and backups.
  ASSERT_TRUE(WriteBytes(folder + L"\\My plugin notes.txt", "notes"));
  ASSERT_TRUE(WriteBytes(documents + L"\\My export.xml", "<mine/>"));
  for (const wchar_t* backup : kBackups)
    ASSERT_TRUE(WriteBytes(documents + L"\\" + backup, "<backup/>"));
  for (const wchar_t* backup : kChangeBackups)
    ASSERT_TRUE(WriteBytes(documents + L"\\" + backup, "<change/>"));
  // Names that only look alike are the user's.
  ASSERT_TRUE(WriteBytes(documents + L"\\Change notes.txt", "mine"));
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Quillmoor\\Tessaly\\Settings",
                            L"FirstRun", REG_DWORD, "\0\0\0\0", 4),
            ERROR_SUCCESS);

  ASSERT_NO_FATAL_FAILURE(Uninstall(L" /REMOVEUSERDATA"));
  // The folder stays for the user's file; everything setup put there is gone.
  EXPECT_FALSE(Registered());
  for (const wchar_t* name : kInstalledFiles)
    EXPECT_FALSE(Exists(folder + L"\\" + name)) << ToUtf8(name);
  EXPECT_EQ(ReadBytes(folder + L"\\My plugin notes.txt"), std::optional<std::string>("notes"));
  // Asked to, it removed the settings, the three first-run backups and the change backups, and
  // only those.
  EXPECT_FALSE(SettingsKeyExists());
  for (const wchar_t* backup : kBackups)
    EXPECT_FALSE(Exists(documents + L"\\" + backup)) << ToUtf8(backup);
  for (const wchar_t* backup : kChangeBackups)
    EXPECT_FALSE(Exists(documents + L"\\" + backup)) << ToUtf8(backup);
  EXPECT_EQ(ReadBytes(documents + L"\\My export.xml"), std::optional<std::string>("<mine/>"));
  EXPECT_EQ(ReadBytes(documents + L"\\Change notes.txt"), std::optional<std::string>("mine"));

  DeleteFileW((folder + L"\\My plugin notes.txt").c_str());
  RemoveDirectoryW(folder.c_str());
  DeleteFileW((documents + L"\\My export.xml").c_str());
  DeleteFileW((documents + L"\\Change notes.txt").c_str());
}

TEST_F(InstallTest, SetupRefusesToInstallOverTheOtherEdition) {
  // The other edition's registration, as its setup writes it in its own view.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0,
                            KEY_WRITE | kOtherView, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const wchar_t name[] = L"Tessaly";
  RegSetValueExW(key, L"DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof name);
  RegCloseKey(key);

  EXPECT_EQ(RunAndWait(Quoted(setup_) + L" /S"),
            std::optional<DWORD>(1638));  // ERROR_PRODUCT_VERSION
  EXPECT_FALSE(Registered());
  EXPECT_FALSE(Exists(InstallFolder() + L"\\Tessaly.exe"));
  EXPECT_FALSE(Exists(ShortcutPath()));

  ASSERT_EQ(RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, kOtherView, 0), ERROR_SUCCESS);
  ASSERT_NO_FATAL_FAILURE(Install());
  ASSERT_NO_FATAL_FAILURE(Uninstall());
}

struct TopSearch {
  std::wstring_view prefix;
  HWND found;
};

BOOL CALLBACK MatchTop(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TopSearch*>(data);
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  if (IsWindowVisible(window) &&
      std::wstring_view(title).substr(0, search->prefix.size()) == search->prefix) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The first visible top-level window whose title starts with `prefix` (the installer compiler's
// captions end in a blank); nullptr at timeout.
HWND FindTopWindow(std::wstring_view prefix) {
  TopSearch search{prefix, nullptr};
  WaitUntil([&] {
    EnumWindows(MatchTop, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  });
  return search.found;
}

struct ChildSearch {
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK MatchChild(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<ChildSearch*>(data);
  wchar_t name[64] = {};
  GetClassNameW(child, name, 64);
  if (lstrcmpiW(name, search->className) == 0 && IsWindowVisible(child)) {
    search->found = child;
    return FALSE;
  }
  return TRUE;
}

// The first visible descendant window of class `className`.
HWND FindVisibleChild(HWND parent, const wchar_t* className) {
  ChildSearch search{className, nullptr};
  EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

TEST_F(InstallTest, TheUninstallersOptionToRemoveUserDataStartsUnticked) {
  Install();
  const std::wstring folder = InstallFolder();
  {
    ProgramRun uninstaller;
    ASSERT_EQ(uninstaller.Start(folder + L"\\Uninstall.exe"), 0u);
    HWND window = FindTopWindow(L"Tessaly Uninstall");
    ASSERT_NE(window, nullptr);
    // The confirmation page, then the page with the option.
    HWND tree = nullptr;
    for (int page = 0; page < 3 && !tree; ++page) {
      tree = FindVisibleChild(window, WC_TREEVIEWW);
      if (!tree) {
        ASSERT_TRUE(PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0));
        WaitUntil([&] { return FindVisibleChild(window, WC_TREEVIEWW) != nullptr; },
                  Milliseconds(3000));
      }
    }
    ASSERT_NE(tree, nullptr) << "no page with the option";
    const auto item = reinterpret_cast<LPARAM>(
        reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)));
    ASSERT_NE(item, 0);
    EXPECT_EQ(SendMessageW(tree, TVM_GETCOUNT, 0, 0), 1)
        << "one option, the uninstall itself hidden";
    // State image 1 is the empty box, 2 the ticked one.
    const auto state =
        SendMessageW(tree, TVM_GETITEMSTATE, static_cast<WPARAM>(item), TVIS_STATEIMAGEMASK);
    EXPECT_EQ(state >> 12, 1) << "the option to remove the user's data is ticked";
    SaveScreenshot(L"uninstall-options");
    // Cancel leaves everything installed.
    ASSERT_TRUE(PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0));
    ASSERT_TRUE(WaitUntil([] { return !UninstallerRuns(); }, kUninstallTimeout));
  }
  EXPECT_TRUE(Registered());
  for (const wchar_t* name : kInstalledFiles)
    EXPECT_TRUE(Exists(folder + L"\\" + name)) << ToUtf8(name);
  ASSERT_NO_FATAL_FAILURE(Uninstall());
}

TEST_F(InstallTest, UninstallWhileTheProgramRunsRemovesNothing) {
  Install();
  const std::wstring folder = InstallFolder();
  {
    ProgramRun run;
    ASSERT_EQ(run.Start(folder + L"\\Tessaly.exe", {}, folder), 0u);
    HWND start = FindPage(run, kStartTitle);
    ASSERT_NE(start, nullptr);
    // Can the running program file be deleted here at all? Windows refuses to mark it for
    // deletion; where the mark is taken, it is taken back at once and the file stays.
    const std::wstring program = folder + L"\\Tessaly.exe";
    HANDLE handle =
        CreateFileW(program.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    bool deletable = false;
    if (handle != INVALID_HANDLE_VALUE) {
      FILE_DISPOSITION_INFO disposition{TRUE};
      deletable =
          SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
      disposition = FILE_DISPOSITION_INFO{FALSE};  // (its member name is a macro of windows.h)
      if (deletable)
        SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
      CloseHandle(handle);
    }
    ASSERT_TRUE(Exists(program));
    if (deletable) {
      ASSERT_TRUE(Click(start, IDCANCEL));
      run.WaitForExit();
      ASSERT_NO_FATAL_FAILURE(Uninstall());
      GTEST_SKIP() << "this system lets a running program file be deleted, so an uninstall "
                      "cannot be stopped by a running Tessaly";
    }
    ASSERT_NO_FATAL_FAILURE(Uninstall());
    // It stopped before removing anything: the program, its files and the registration stay.
    EXPECT_TRUE(Registered());
    for (const wchar_t* name : kInstalledFiles)
      EXPECT_TRUE(Exists(folder + L"\\" + name)) << ToUtf8(name);
    EXPECT_TRUE(Exists(ShortcutPath()));
    EXPECT_TRUE(run.Running());
    ASSERT_TRUE(Click(start, IDCANCEL));
    EXPECT_EQ(run.WaitForExit(), std::optional<uint32_t>(0));
  }
  // Closed, it goes.
  ASSERT_NO_FATAL_FAILURE(Uninstall());
  EXPECT_FALSE(Registered());
  EXPECT_FALSE(Exists(folder));
}

// The setup program's first two pages, as the user guide pictures them (tests/install/
// setup-pictures.sh makes the pictures): the welcome page, then the folder page, which proposes
// the edition's program files folder. Cancel, confirmed, installs nothing.
TEST_F(InstallTest, SetupPagesProposeTheEditionsFolderAndCancelInstallsNothing) {
  ProgramRun setup;
  ASSERT_EQ(setup.Start(setup_), 0u);
  HWND window = FindTopWindow(L"Tessaly Setup");
  ASSERT_NE(window, nullptr);
  SaveScreenshot(L"setup-welcome");
  ASSERT_TRUE(PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0));
  HWND folderEdit = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    return (folderEdit = FindVisibleChild(window, WC_EDITW)) != nullptr;
  })) << "no folder page";
  // The edit belongs to the setup process: its text comes by message, not GetWindowText.
  wchar_t folder[MAX_PATH] = {};
  WaitUntil([&] {
    DWORD_PTR length = 0;
    return SendMessageTimeoutW(folderEdit, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(folder),
                               SMTO_ABORTIFHUNG, 5000, &length) &&
           length > 0;
  });
  EXPECT_TRUE(SameText(folder, InstallFolder())) << ToUtf8(folder);
  SaveScreenshot(L"setup-folder");

  ASSERT_TRUE(PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0));
  const std::optional<MessageBoxInfo> question = FindMessageBox(setup, window);
  ASSERT_TRUE(question) << "Cancel asked nothing";
  ASSERT_TRUE(Answer(*question, IDYES));
  EXPECT_TRUE(setup.WaitForExit().has_value());
  EXPECT_FALSE(Registered());
  EXPECT_FALSE(Exists(InstallFolder() + L"\\Tessaly.exe"));
}

}  // namespace
}  // namespace tessaly::e2e
