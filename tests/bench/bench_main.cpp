// The duplicate finder's benchmark: times the search engine, the finder page through the real UI,
// a minimal Win32 walk of the same tree, cmd's dir and the engine reporting to a plain window, and
// prints one table; then what a sent message costs by what receives it (ui_factors.h), the
// list-box fill, and with --full the variants that explain the rest. --scale runs the finder's
// measures at 1, 4 and 16 times the tree.
#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/settings/profile_store.h"
#include "plugins/plugin_folders.h"
#include "platform/text.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "plugins/dupe_search.h"
#include "plugins/plugin_map.h"
#include "resources/resource.h"
#include "tests/bench/bench_output.h"
#include "tests/bench/catalog_bench.h"
#include "tests/bench/products_bench.h"
#include "tests/bench/relocate_bench.h"
#include "tests/bench/bench_timing.h"
#include "tests/bench/ui_factors.h"
#include "tests/e2e/driver.h"

#include <psapi.h>
#include <shlobj.h>

namespace tessaly::bench {
namespace {

// The tree: kGroups x kFoldersPerGroup leaf folders of kFilesPerFolder files each, 3 DLLs in
// even-numbered folders and 2 in odd ones.
constexpr wchar_t kBenchFolder[] = L"C:\\bench";
constexpr wchar_t kTreeRoot[] = L"C:\\bench\\tree";
constexpr wchar_t kMarker[] = L"C:\\bench\\tree-complete.txt";
constexpr char kMarkerText[] = "tessaly bench tree v1: 2000 folders, 20000 files, 5000 DLLs\n";
constexpr int kGroups = 20;
constexpr int kFoldersPerGroup = 100;
constexpr int kFolders = kGroups * kFoldersPerGroup;
constexpr int kFilesPerFolder = 10;
constexpr uint32_t kTreeFiles = kFolders * kFilesPerFolder;
constexpr uint32_t kTreeDlls = 5000;
// DLL names come from a pool smaller than the number of DLLs, so most names occur 3 or 4 times.
constexpr int kNamePool = 1600;
constexpr int kRuns = 5;
// The diagnostics run more rounds: their differences are small beside the noise of a busy machine.
constexpr int kDiagnosticRounds = 11;
// How often the page's status line is read while the search runs.
constexpr int kPollMs = 10;

constexpr wchar_t kStartTitle[] = L"Tessaly - Start";
constexpr wchar_t kFoldersTitle[] = L"Tessaly - Choose Plugin Folders";
constexpr wchar_t kFinderTitle[] = L"Tessaly - Find Duplicate VST Plugins";
constexpr wchar_t kCompleted[] = L"Completed searching 1 folders.";

// 32-bit and 64-bit fixtures, with and without version resources.
constexpr const wchar_t* kFixtures[] = {
    L"plugin_1_0_32.dll",  L"plugin_2_5_32.dll", L"plugin_10_1_32.dll",
    L"no_resources32.dll", L"plugin_3_0_64.dll", L"no_resources64.dll",
};
constexpr const wchar_t* kBaseNames[] = {L"Synth",     L"Delay",  L"Reverb", L"Chorus", L"Comp",
                                         L"Equalizer", L"Filter", L"Drums",  L"Bass",   L"Pad"};
constexpr const wchar_t* kOtherFiles[] = {L"readme.txt",  L"license.txt",   L"Manual.pdf",
                                          L"Factory.fxb", L"Preset 01.fxp", L"settings.ini",
                                          L"notes.rtf",   L"artwork.png"};

std::string Narrow(const std::wstring& text) { return ToUtf8(text); }

// --- The tree ---------------------------------------------------------------------------------

std::wstring LeafFolder(int index) {
  return FormatText(L"%s\\g%02d\\f%02d", kTreeRoot, index / kFoldersPerGroup,
                    index % kFoldersPerGroup);
}

int DllsIn(int folder) { return folder % 2 == 0 ? 3 : 2; }

std::wstring DllName(int folder, int j) {
  const int key = (folder * 7 + j * 537) % kNamePool;
  std::wstring name = FormatText(L"%s%d", kBaseNames[key % 10], key / 10);
  // Some files carry the extension in capitals, as real plugin folders do.
  name += (folder + j) % 8 == 0 ? L".DLL" : L".dll";
  return name;
}

bool WriteSmallFile(const std::wstring& path, int seed) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string text = "Tessaly benchmark file " + std::to_string(seed) + "\r\n";
  text.resize(96, '.');
  DWORD written = 0;
  const bool ok =
      ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  CloseHandle(file);
  return ok;
}

std::string ReadSmallFile(const std::wstring& path) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  char buffer[256];
  DWORD got = 0;
  std::string text;
  if (::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) text.assign(buffer, got);
  CloseHandle(file);
  return text;
}

std::wstring FixturesFolder() {
  const std::wstring folder = e2e::PathFromEnvironment(L"TESSALY_FIXTURES");
  if (folder.empty()) Fail("TESSALY_FIXTURES is not set (the folder of the fixture DLLs)");
  for (const wchar_t* name : kFixtures) {
    const std::wstring path = folder + L"\\" + name;
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
      Fail("fixture " + Narrow(path) +
           " is missing: build the tessaly_fixtures target of the windows preset first");
    }
  }
  return folder;
}

// --- The floor: the least Win32 code that walks the tree and reads every DLL's header ---------

struct WalkCount {
  uint32_t files = 0;
  uint32_t dlls = 0;
  uint32_t folders = 0;
  uint32_t listings = 0;
};

bool HasDllExtension(const wchar_t* name, size_t length) {
  return length >= 4 && EqualsNoCase(std::wstring_view(name + length - 4, 4), L".dll");
}

void ReadHeader(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char buffer[1024];
  DWORD got = 0;
  ::ReadFile(file, buffer, sizeof buffer, &got, nullptr);
  CloseHandle(file);
}

// The read as the engine's backend makes it: redirection off around it, the size asked first,
// the position set, a buffer allocated.
void ReadHeaderLikeEngine(const std::wstring& path) {
  void* redirection = nullptr;
  const BOOL disabled = Wow64DisableWow64FsRedirection(&redirection);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    LARGE_INTEGER size, position{};
    if (GetFileSizeEx(file, &size) && SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) {
      std::vector<uint8_t> buffer(static_cast<size_t>(std::min<LONGLONG>(size.QuadPart, 1024)));
      DWORD got = 0;
      ::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr);
    }
    CloseHandle(file);
  }
  if (disabled) Wow64RevertWow64FsRedirection(redirection);
}

struct FloorOptions {
  bool readHeaders = true;  // open and read 1 KB of each DLL
  bool engineRead = false;  // ... the way the engine's backend does
  bool twoPasses = false;   // list "*.dll" for the files, then "*" for the subfolders
  bool basicLargeFetch =
      true;  // FindFirstFileExW(FindExInfoBasic, LARGE_FETCH), else FindFirstFileW
};

void Read(const std::wstring& path, const FloorOptions& o) {
  if (o.engineRead) {
    ReadHeaderLikeEngine(path);
  } else {
    ReadHeader(path);
  }
}

HANDLE OpenListing(const std::wstring& pattern, WIN32_FIND_DATAW& data, const FloorOptions& o) {
  if (o.basicLargeFetch) {
    return FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                            FIND_FIRST_EX_LARGE_FETCH);
  }
  return FindFirstFileW(pattern.c_str(), &data);
}

bool IsDots(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

void FloorWalk(std::wstring& path, const FloorOptions& o, WalkCount& count) {
  ++count.folders;
  const size_t length = path.size();
  WIN32_FIND_DATAW data;
  if (o.twoPasses) {
    path += L"\\*.dll";
    HANDLE h = OpenListing(path, data, o);
    ++count.listings;
    path.resize(length);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const size_t nameLength = wcslen(data.cFileName);
        if (!HasDllExtension(data.cFileName, nameLength)) continue;
        ++count.dlls;
        if (o.readHeaders) {
          path += L'\\';
          path.append(data.cFileName, nameLength);
          Read(path, o);
          path.resize(length);
        }
      } while (FindNextFileW(h, &data));
      FindClose(h);
    }
  }
  path += L"\\*";
  HANDLE h = OpenListing(path, data, o);
  ++count.listings;
  path.resize(length);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const size_t nameLength = wcslen(data.cFileName);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (IsDots(data.cFileName)) continue;
      path += L'\\';
      path.append(data.cFileName, nameLength);
      FloorWalk(path, o, count);
      path.resize(length);
      continue;
    }
    ++count.files;
    if (o.twoPasses || !HasDllExtension(data.cFileName, nameLength)) continue;
    ++count.dlls;
    if (o.readHeaders) {
      path += L'\\';
      path.append(data.cFileName, nameLength);
      Read(path, o);
      path.resize(length);
    }
  } while (FindNextFileW(h, &data));
  FindClose(h);
}

WalkCount Floor(const FloorOptions& o, const wchar_t* root = kTreeRoot) {
  WalkCount count;
  std::wstring path = root;
  path.reserve(512);
  FloorWalk(path, o, count);
  return count;
}

bool TreeComplete() {
  if (ReadSmallFile(kMarker) != kMarkerText) return false;
  FloorOptions listOnly;
  listOnly.readHeaders = false;
  const WalkCount count = Floor(listOnly);
  return count.files == kTreeFiles && count.dlls == kTreeDlls &&
         count.folders == 1 + kGroups + kFolders;
}

void EnsureTree(const std::wstring& fixtures) {
  if (TreeComplete()) {
    Log("tree: reusing %s (%u files, %u DLLs, %d folders)\n", Narrow(kTreeRoot).c_str(), kTreeFiles,
        kTreeDlls, kFolders);
    return;
  }
  Log("tree: generating %s (%d folders; only on the first run) ...\n", Narrow(kTreeRoot).c_str(),
      kFolders);
  const auto started = Clock::now();
  DeleteFileW(kMarker);
  if (const ErrorCode rc = e2e::DeleteTree(kTreeRoot))
    Fail(Str("cannot delete the old tree, error %u", rc));
  uint32_t dlls = 0, files = 0;
  for (int folder = 0; folder < kFolders; ++folder) {
    const std::wstring leaf = LeafFolder(folder);
    const int created = SHCreateDirectoryExW(nullptr, leaf.c_str(), nullptr);
    if (created != ERROR_SUCCESS)
      Fail(Str("cannot create %s, error %d", Narrow(leaf).c_str(), created));
    const int dllCount = DllsIn(folder);
    for (int j = 0; j < dllCount; ++j) {
      const std::wstring source = fixtures + L"\\" + kFixtures[(folder + j) % std::size(kFixtures)];
      const std::wstring target = leaf + L"\\" + DllName(folder, j);
      if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) {
        Fail(Str("cannot copy to %s, error %lu", Narrow(target).c_str(), GetLastError()));
      }
      ++dlls;
      ++files;
    }
    for (int j = 0; j < kFilesPerFolder - dllCount; ++j) {
      const std::wstring target = leaf + L"\\" + kOtherFiles[j];
      if (!WriteSmallFile(target, folder * kFilesPerFolder + j)) {
        Fail(Str("cannot write %s, error %lu", Narrow(target).c_str(), GetLastError()));
      }
      ++files;
    }
    if ((folder + 1) % 100 == 0) {
      Log("tree: %d of %d folders made (%.0f s)\n", folder + 1, kFolders,
          Ms(Clock::now() - started) / 1000);
    }
  }
  if (files != kTreeFiles || dlls != kTreeDlls) Fail("the tree layout does not add up");
  HANDLE marker = CreateFileW(kMarker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  if (marker == INVALID_HANDLE_VALUE ||
      !::WriteFile(marker, kMarkerText, sizeof kMarkerText - 1, &written, nullptr)) {
    Fail(Str("cannot write the marker, error %lu", GetLastError()));
  }
  CloseHandle(marker);
  if (!TreeComplete()) Fail("the tree just generated does not list as expected");
  Log("tree: %u files, %u DLLs in %d folders, generated in %.1f s\n", files, dlls, kFolders,
      Ms(Clock::now() - started) / 1000);
}

// --- (a) the engine, with a breakdown ---------------------------------------------------------

class NullObserver : public DupeSearchObserver {
 public:
  void OnSearchState(bool) override {}
  void OnStatus(const std::wstring&) override {}
  void OnFile(const std::wstring&) override { ++files; }
  uint32_t files = 0;
};

// Where the engine's time goes: the file system and system calls it makes, timed around the
// backend (listing time excludes the engine's own work inside the visitor).
struct Breakdown {
  double dllListing = 0, allListing = 0, reading = 0, finalPath = 0, redirection = 0;
  uint32_t dllListings = 0, allListings = 0, reads = 0, finalPaths = 0, redirections = 0;
};

class TimedFileSystem : public Win32FileSystem {
 public:
  explicit TimedFileSystem(Breakdown& b) : b_(b) {}
  ErrorCode FindFiles(std::wstring_view pattern, const Visitor& visit) override {
    const bool dllPattern = EndsWithNoCase(pattern, L"\\*.dll");
    ++(dllPattern ? b_.dllListings : b_.allListings);
    double inside = 0;
    const auto t0 = Clock::now();
    const ErrorCode rc = Win32FileSystem::FindFiles(pattern, [&](const FindData& entry) {
      const auto v0 = Clock::now();
      const bool goOn = visit(entry);
      inside += Ms(Clock::now() - v0);
      return goOn;
    });
    (dllPattern ? b_.dllListing : b_.allListing) += Ms(Clock::now() - t0) - inside;
    return rc;
  }
  ErrorCode ReadFile(std::wstring_view path, uint64_t offset, size_t maxBytes,
                     std::vector<uint8_t>& out) override {
    ++b_.reads;
    const auto t0 = Clock::now();
    const ErrorCode rc = Win32FileSystem::ReadFile(path, offset, maxBytes, out);
    b_.reading += Ms(Clock::now() - t0);
    return rc;
  }
  ErrorCode GetFinalPath(std::wstring_view path, std::wstring& out) override {
    ++b_.finalPaths;
    const auto t0 = Clock::now();
    const ErrorCode rc = Win32FileSystem::GetFinalPath(path, out);
    b_.finalPath += Ms(Clock::now() - t0);
    return rc;
  }

 private:
  Breakdown& b_;
};

class TimedSystem : public Win32System {
 public:
  explicit TimedSystem(Breakdown& b) : b_(b) {}
  std::unique_ptr<RedirectionScope> DisableFileRedirection() override {
    ++b_.redirections;
    const auto t0 = Clock::now();
    auto inner = Win32System::DisableFileRedirection();
    b_.redirection += Ms(Clock::now() - t0);
    return std::make_unique<TimedScope>(std::move(inner), b_);
  }

 private:
  // Times the revert as well.
  class TimedScope : public RedirectionScope {
   public:
    TimedScope(std::unique_ptr<RedirectionScope> inner, Breakdown& b)
        : inner_(std::move(inner)), b_(b) {}
    ~TimedScope() override {
      const auto t0 = Clock::now();
      inner_.reset();
      b_.redirection += Ms(Clock::now() - t0);
    }

   private:
    std::unique_ptr<RedirectionScope> inner_;
    Breakdown& b_;
  };
  Breakdown& b_;
};

// The tree's DLLs copied from a 32-bit fixture (the first four of kFixtures).
uint32_t Tree32BitDlls() {
  uint32_t count = 0;
  for (int folder = 0; folder < kFolders; ++folder) {
    for (int j = 0; j < DllsIn(folder); ++j) count += (folder + j) % std::size(kFixtures) < 4;
  }
  return count;
}

uint32_t MapFiles(const CPluginMap& map) {
  uint32_t singles = 0, duplicates = 0, total = 0;
  map.CountGroups(singles, duplicates, total);
  return total;
}

// One search over the tree; fails loudly unless it found every DLL.
// With `options.modernFormats` the search also compares the copies of each name by content
// (the tree's copies of one fixture are identical, so most copies are read whole).
double EngineRun(FileSystem& fs, System& system, DupeSearchObserver& observer,
                 CPluginMap* keep = nullptr, DupeSearchOptions options = {},
                 const wchar_t* root = kTreeRoot, uint32_t dlls = kTreeDlls) {
  CPluginMap expected, unexpected;
  CancelFlag stop{0};
  DupeSearchResult result;
  const double ms = TimeIt([&] {
    result = RunDupeSearch(fs, system, {root}, 0, expected, unexpected, observer, stop, options);
  });
  const uint32_t found = MapFiles(expected) + MapFiles(unexpected);
  // Each copy of the tree sorts its copies of the 32-bit fixtures into the expected map.
  const uint32_t expected32 = Tree32BitDlls() * (dlls / kTreeDlls);
  if (MapFiles(expected) != expected32) {
    Fail(Str("the engine sorted %u files as 32-bit, not %u", MapFiles(expected), expected32));
  }
  if (!result.completed || found != dlls) {
    Fail(Str("the engine's search did not complete as expected (completed %d, error %u, %u files)",
             result.completed ? 1 : 0, result.error, found));
  }
  if (keep) *keep = std::move(expected);
  return ms;
}

// --- (a') the engine reporting to a window of another thread, as the page's worker does -------

class WindowReports : public DupeSearchObserver {
 public:
  explicit WindowReports(HWND window) : window_(window) {}
  void OnSearchState(bool) override {}
  void OnStatus(const std::wstring& text) override {
    SendMessageW(window_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  void OnFile(const std::wstring& text) override {
    SendMessageW(window_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }

 private:
  HWND window_;
};

// A static on a thread of its own with a message loop: hidden, or shown with the page's style
// for its status lines (which then paints each text, path ellipsis and all).
class ReportWindowThread {
 public:
  explicit ReportWindowThread(bool visible) {
    thread_ = std::thread([this, visible] {
      const DWORD style =
          visible ? WS_POPUP | WS_VISIBLE | SS_NOPREFIX | SS_PATHELLIPSIS : WS_POPUP;
      HWND w = CreateWindowExW(0, L"STATIC", L"", style, 20, 20, 900, 16, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
      window_.store(w);
      ready_.store(true);
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
      if (w) DestroyWindow(w);
    });
    while (!ready_.load()) Sleep(1);
    if (!window_.load()) Fail(Str("cannot create the report window, error %lu", GetLastError()));
  }
  ~ReportWindowThread() {
    PostMessageW(window_.load(), WM_QUIT, 0, 0);
    thread_.join();
  }
  HWND Window() const { return window_.load(); }

 private:
  std::thread thread_;
  std::atomic<HWND> window_{nullptr};
  std::atomic<bool> ready_{false};
};

// --- (b) the page through the UI --------------------------------------------------------------

struct UiRun {
  double ms = 0;           // from the click on Next to the page showing its filled lists
  double msToPage = 0;     // ... to the finder page being found
  double msCompleted = 0;  // ... to the status line saying the search has completed
  SIZE_T peakWorkingSet = 0;
  SIZE_T peakPagefile = 0;
  // The status reads while the page searched: how many, and how long they waited for the page.
  int reads = 0;
  double readMs = 0;
  double longestReadMs = 0;
};

// How the driver watches the page's status line while the search runs.
struct Poll {
  int ms = kPollMs;
  // true: InternalGetWindowText, which reads the copy of the text that the window manager keeps
  // and sends the page's thread nothing, so a read never waits for the page;
  // false: WM_GETTEXTLENGTH and WM_GETTEXT sent to the page's thread (e2e::Text), which wait
  // while the page's thread is busy, filling its lists for instance.
  bool quiet = true;
};

std::wstring StatusText(HWND page, const Poll& poll) {
  if (!poll.quiet) return e2e::Text(page, IDC_SEARCH_STATUS).value_or(L"");
  wchar_t text[512];
  const int n = InternalGetWindowText(GetDlgItem(page, IDC_SEARCH_STATUS), text, 512);
  return std::wstring(text, static_cast<size_t>(std::max(n, 0)));
}

// The first line of the page's list of duplicate names, read with messages sent to the page's
// thread: the answer comes once that thread is free again. Nothing when it does not answer.
std::optional<std::wstring> FirstNameLine(HWND page) {
  HWND list = GetDlgItem(page, IDC_DUPLICATE_NAMES);
  DWORD_PTR length = 0;
  if (!list || !SendMessageTimeoutW(list, LB_GETTEXTLEN, 0, 0, SMTO_ABORTIFHUNG, 30000, &length) ||
      length == static_cast<DWORD_PTR>(LB_ERR)) {
    return std::nullopt;
  }
  // Room for any line: the line may change between the two messages.
  std::wstring text(std::max<size_t>(length + 1, 2048), L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, 30000, &copied) ||
      copied == static_cast<DWORD_PTR>(LB_ERR)) {
    return std::nullopt;
  }
  text.resize(std::min<size_t>(copied, text.size() - 1));
  return text;
}

// The page once, from the click on Next to "Completed" on its status line, and on to its lists
// being filled (the names list no longer says "Searching..." and the page answers again); `exe` is
// the program to run (empty: TESSALY_EXE).
UiRun PageRun(const Poll& poll, std::wstring exe = {}, const wchar_t* root = kTreeRoot) {
  if (const ErrorCode rc = e2e::DeleteProgramSettings())
    Fail(Str("cannot reset the settings, error %u", rc));
  Win32Registry registry;
  CProfileStore profile(registry);
  if (!profile.WriteProfileInt(kSettingsSection, kFirstRun, 0) ||
      !profile.WriteProfileInt(kSettingsSection, kSelectedPlatform, 0) ||
      !profile.WriteProfileString(kSettingsSection, kVstPaths32, root)) {
    Fail("cannot write the program's settings");
  }
  if (exe.empty()) exe = e2e::ProgramPath();
  if (exe.empty()) Fail("TESSALY_EXE is not set (the path of Tessaly.exe)");
  e2e::ProgramRun run;
  if (const ErrorCode rc = run.Start(exe))
    Fail(Str("cannot start %s, error %u", Narrow(exe).c_str(), rc));
  const e2e::Milliseconds pageTimeout{30000};
  HWND start = e2e::FindPage(run, kStartTitle, pageTimeout);
  if (!start) Fail("the Start page did not appear");
  if (!e2e::Click(start, IDC_WIZARD_DUPLICATES) || !e2e::Click(start, IDC_NEXT))
    Fail("cannot leave the Start page");
  HWND folders = e2e::FindPage(run, kFoldersTitle, pageTimeout);
  if (!folders) Fail("the plugin folders page did not appear");
  // The Next button is enabled once the page has shown its folder.
  if (!e2e::WaitUntil([&] { return e2e::IsEnabled(folders, IDC_NEXT); }, pageTimeout))
    Fail("Next stays disabled");

  UiRun result;
  const auto t0 = Clock::now();
  if (!e2e::Click(folders, IDC_NEXT)) Fail("cannot click Next on the plugin folders page");
  HWND finder = nullptr;
  // The 16 times larger tree of the scale run takes minutes.
  const auto deadline = t0 + std::chrono::minutes(30);
  for (;;) {
    if (!finder) {
      finder = e2e::FindPage(run, kFinderTitle, e2e::Milliseconds(0));
      if (finder) result.msToPage = Ms(Clock::now() - t0);
    } else {
      const auto r0 = Clock::now();
      const bool completed = StatusText(finder, poll) == kCompleted;
      const double readMs = Ms(Clock::now() - r0);
      ++result.reads;
      result.readMs += readMs;
      result.longestReadMs = std::max(result.longestReadMs, readMs);
      if (completed) break;
    }
    if (Clock::now() > deadline)
      Fail("the search page did not report completion within 30 minutes");
    if (!run.Running()) Fail("Tessaly.exe ended during the search");
    Sleep(poll.ms);
  }
  result.msCompleted = Ms(Clock::now() - t0);
  // The page fills its lists after the search; until then it answers no message.
  for (;;) {
    const std::optional<std::wstring> line = FirstNameLine(finder);
    if (line && !line->empty() && *line != L"Searching...") break;
    if (Clock::now() > deadline) Fail("the search page did not fill its lists within 30 minutes");
    if (!run.Running()) Fail("Tessaly.exe ended while filling its lists");
    Sleep(poll.ms);
  }
  result.ms = Ms(Clock::now() - t0);

  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, run.ProcessId());
  if (process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(process, &counters, sizeof counters)) {
      result.peakWorkingSet = counters.PeakWorkingSetSize;
      result.peakPagefile = counters.PeakPagefileUsage;
    }
    CloseHandle(process);
  }
  if (!e2e::Click(finder, IDCANCEL) || !run.WaitForExit(e2e::Milliseconds(30000))) {
    Log("  (Tessaly.exe did not quit within 30 s; killed)\n");
    run.Kill();
  }
  return result;
}

// --- (d) the peer -------------------------------------------------------------------------------

double PeerRun() {
  std::wstring command = L"cmd.exe /c dir /s /b ";
  command += kTreeRoot;
  command += L"\\*.dll > NUL";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  const auto t0 = Clock::now();
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &info)) {
    Fail(Str("cannot start cmd, error %lu", GetLastError()));
  }
  WaitForSingleObject(info.hProcess, INFINITE);
  const double ms = Ms(Clock::now() - t0);
  DWORD code = 1;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  if (code != 0) Fail(Str("cmd's dir ended with %lu", code));
  return ms;
}

// --- Output ---------------------------------------------------------------------------------------

void Row(const Measure& m, const Measure& floor) {
  const double median = m.Median();
  Log("%-44s %10.1f %10.1f %10.0f %10.0f %8.2fx %8.2fx\n", m.label.c_str(), median, m.Min(),
      kTreeFiles / (median / 1000), kTreeDlls / (median / 1000), median / floor.Median(),
      RoundRatio(m, floor));
}

void Header() {
  Log("%-44s %10s %10s %10s %10s %9s %9s\n", "measure", "median ms", "min ms", "files/s", "DLLs/s",
      "vs floor", "by round");
}

// The headline table: the engine, the page, the floor, the peer and the plain program.
void PrintTable(const std::vector<Bench>& headline, const std::vector<UiRun>& uiRuns, int runs) {
  const Measure& engine = headline[0].measure;
  const Measure& page = headline[1].measure;
  const Measure& floor = headline[2].measure;
  const double floorMedian = floor.Median();
  Log("\nresults (tree %s: %u files, %u DLLs, %d folders; median and min of %d runs after 1 "
      "warm-up)\n",
      Narrow(kTreeRoot).c_str(), kTreeFiles, kTreeDlls, kFolders, runs);
  Log("(b) is timed from the click on Next to the page showing its filled lists: the status line's "
      "\"%s\"\n"
      "read every %d ms without messages to the page (InternalGetWindowText), then its names list "
      "read\n"
      "(LB_GETTEXT, answered once the page has filled its lists)\n",
      Narrow(kCompleted).c_str(), kPollMs);
  Log("(\"vs floor\": median over (c)'s median; \"by round\": median of the ratios to (c) of the "
      "same round)\n");
  Header();
  for (const Bench& b : headline) Row(b.measure, floor);
  const double ratioA = engine.Median() / floorMedian, ratioB = page.Median() / floorMedian;
  Log("(a)/(c) = %.2f (aim 1.30: %s)   (b)/(c) = %.2f (aim 2.00: %s)   from the medians\n", ratioA,
      ratioA <= 1.3 ? "met" : "missed", ratioB, ratioB <= 2.0 ? "met" : "missed");
  Log("(a)/(c) = %.2f                    (b)/(c) = %.2f                    round by round\n",
      RoundRatio(engine, floor), RoundRatio(page, floor));
  Log("(a)/(c) = %.2f                    (b)/(c) = %.2f                    from the minimums\n",
      engine.Min() / floor.Min(), page.Min() / floor.Min());
  SIZE_T peakWs = 0, peakPf = 0;
  std::vector<double> toPage;
  for (const UiRun& r : uiRuns) {
    peakWs = std::max(peakWs, r.peakWorkingSet);
    peakPf = std::max(peakPf, r.peakPagefile);
    toPage.push_back(r.msToPage);
  }
  if (peakWs == 0 && peakPf == 0) {
    Log("(b) peak memory: not available (GetProcessMemoryInfo gave nothing)\n");
  } else {
    Log("(b) peak memory of Tessaly.exe (largest of the runs): working set %.1f MB, pagefile %.1f "
        "MB\n",
        peakWs / 1048576.0, peakPf / 1048576.0);
  }
  Log("(b) of which from the click to the finder page being found: median %.1f ms\n",
      Measure{"", toPage}.Median());
  // The page's cost per file: its time to "Completed" beyond the engine alone of the same round,
  // beside the plain program's, (p) beyond (a), both over the engine's reports.
  const Measure& plain = headline[4].measure;
  constexpr double kReports = kTreeDlls + 3;
  std::vector<double> fill, pagePerFile, plainPerFile;
  for (size_t r = 0; r < uiRuns.size() && r < engine.ms.size() && r < plain.ms.size(); ++r) {
    fill.push_back(uiRuns[r].ms - uiRuns[r].msCompleted);
    pagePerFile.push_back((uiRuns[r].msCompleted - engine.ms[r]) / kReports);
    plainPerFile.push_back((plain.ms[r] - engine.ms[r]) / kReports);
  }
  Log("(b) of which from \"Completed\" to the lists filled: median %.1f ms\n", MedianOf(fill));
  if (headline.size() > 5) {
    // The search with VST3 and CLAP plugins on: the same walk, then the comparison of copies.
    const Measure& compared = headline[5].measure;
    Log("(v)/(a) = %.2f from the medians, %.2f round by round: the cost of comparing copies by\n"
        "content (the same tree: its names' copies of one fixture are identical)\n",
        compared.Median() / engine.Median(), RoundRatio(compared, engine));
  }
  const double pageCost = MedianOf(pagePerFile), plainCost = MedianOf(plainPerFile);
  Log("per file reported, beyond (a) of the same round: the page (to \"Completed\") %.3f ms, the "
      "plain\n"
      "program (p) %.3f ms: %.2fx (aim 1.50: %s)\n",
      pageCost, plainCost, pageCost / plainCost, pageCost <= 1.5 * plainCost ? "met" : "missed");
}

// What to run: the table (quick by default, --full for every round and diagnostic), the page
// alone (--page), the message-cost factors alone (--factors) or the list-box fill alone
// (--lists); the numbers can be overridden.
struct Options {
  enum class Mode { Table, Page, Factors, Lists, Catalog, Products, Relocate } mode = Mode::Table;
  std::wstring relocateMeasure;  // --relocate's measure (relocate_bench.h)
  bool full = false;
  bool scale = false;   // --scale: the scale run of the finder, or with --catalog of the catalog
  int rounds = 0;       // 0: the mode's own
  int messages = 0;     // messages per factor run; 0: the mode's own
  double workUs = -1;   // spin between two messages of the factor runs; < 0: none
  bool engine = false;  // the factor runs' messages come from the engine searching the tree
};

constexpr int kQuickRuns = 3;
constexpr int kQuickFactorMessages = 1000;
constexpr int kFullFactorMessages = 5000;
constexpr int kFullFactorRounds = 7;
constexpr int kPageRounds = 3;
// Plugin-like names for the list-box fill, about as many as a large plugin folder holds.
constexpr int kListNames = 550;

// The texts the factor runs send: the paths of the tree's DLLs, as the worker reports them.
std::vector<std::wstring> ReportTexts() {
  std::vector<std::wstring> texts;
  for (int folder = 0; folder < kFolders; ++folder) {
    for (int j = 0; j < DllsIn(folder); ++j)
      texts.push_back(LeafFolder(folder) + L"\\" + DllName(folder, j));
  }
  return texts;
}

std::vector<std::wstring> ListNames() {
  std::vector<std::wstring> names;
  for (int i = 0; i < kListNames; ++i) {
    // Scattered, so that the sorted list inserts all over rather than always at the end.
    const int key = (i * 397) % kListNames;
    names.push_back(
        FormatText(L"%s %d%s", kBaseNames[key % 10], key, key % 3 ? L".dll" : L" x64.dll"));
  }
  return names;
}

// --- The factors of a sent message's cost, each alone --------------------------------------------

struct Factor {
  const char* label;
  ReceiverSetup setup;
  bool quick;  // also in the quick run
};

std::vector<Factor> Factors() {
  const ReceiverSetup dialog{Host::ModalDialog};
  ReceiverSetup skinned = dialog;
  skinned.skin = true;
  ReceiverSetup tips = skinned;
  tips.tips = true;
  ReceiverSetup perMessage = tips;
  perMessage.status = StatusLine::PerMessage;
  ReceiverSetup page = tips;
  page.status = StatusLine::Throttled;
  ReceiverSetup ownLoop = page;
  ownLoop.host = Host::ModelessOwnLoop;
  ReceiverSetup msgWait = page;
  msgWait.host = Host::ModelessMsgWait;
  ReceiverSetup polled10 = page;
  polled10.pollMs = 10;
  ReceiverSetup polled50 = page;
  polled50.pollMs = 50;
  ReceiverSetup outside10 = page;
  outside10.pollMs = 10;
  outside10.pollFromProcess = true;
  ReceiverSetup outside50 = outside10;
  outside50.pollMs = 50;
  ReceiverSetup ownLoopOutside10 = outside10;
  ownLoopOutside10.host = Host::ModelessOwnLoop;
  ReceiverSetup windowOutside10{Host::ShownWindow};
  windowOutside10.pollMs = 10;
  windowOutside10.pollFromProcess = true;
  ReceiverSetup comctlSubclass = dialog;
  comctlSubclass.subclass = ReceiverSetup::Subclass::Comctl32;
  ReceiverSetup procSubclass = dialog;
  procSubclass.subclass = ReceiverSetup::Subclass::WindowProc;
  ReceiverSetup pageOnMain = page;
  pageOnMain.receiverOnCallingThread = true;
  ReceiverSetup plainOnMain{Host::HiddenWindow};
  plainOnMain.receiverOnCallingThread = true;
  ReceiverSetup plainOwnLoop = dialog;
  plainOwnLoop.host = Host::ModelessOwnLoop;
  return {
      {"(f1) hidden window, GetMessageW loop", {Host::HiddenWindow}, true},
      {"(f2) shown window with a status static", {Host::ShownWindow}, true},
      {"(f3) dialog, system modal loop", dialog, true},
      {"(f4) as f3, skin on", skinned, true},
      {"(f4a) as f3, a no-op SetWindowSubclass", comctlSubclass, true},
      {"(f4b) as f3, a no-op window procedure", procSubclass, true},
      {"(f5) as f4, tool tips on", tips, true},
      {"(f6) as f5, status line set per message", perMessage, true},
      {"(f7) as f5, status line every 50 ms (page)", page, true},
      {"(f8) as f7, own GetMessageW/IsDialogMessageW", ownLoop, true},
      {"(f9) as f7, own MsgWaitForMultipleObjectsEx", msgWait, false},
      {"(f10) as f3, own GetMessageW/IsDialogMessageW", plainOwnLoop, false},
      {"(f11) as f7, read by another thread every 10 ms", polled10, false},
      {"(f12) as f7, read by another thread every 50 ms", polled50, false},
      {"(f13) as f7, read by another process every 10 ms", outside10, false},
      {"(f14) as f7, read by another process every 50 ms", outside50, false},
      {"(f15) as f8, read by another process every 10 ms", ownLoopOutside10, false},
      {"(f16) as f2, read by another process every 10 ms", windowOutside10, false},
      {"(f17) as f1, the receiver the main thread", plainOnMain, false},
      {"(f18) as f7, the receiver the main thread", pageOnMain, false},
  };
}

void FactorHeader() {
  Log("%-50s %12s %12s %9s %9s\n", "measure", "median ms/msg", "min ms/msg", "vs f1", "by round");
}

// A table to print once everything has run.
using Section = std::function<void()>;

// The engine's reports sent to a receiver, as the page's worker sends them to the page.
class ReceiverReports : public DupeSearchObserver {
 public:
  explicit ReceiverReports(HWND receiver) : receiver_(receiver) {}
  void OnSearchState(bool) override {}
  void OnStatus(const std::wstring& text) override { Send(text); }
  void OnFile(const std::wstring& text) override { Send(text); }
  uint32_t reports = 0;

 private:
  void Send(const std::wstring& text) {
    Report(receiver_, text.c_str());
    ++reports;
  }
  HWND receiver_;
};

// Runs the factors in rounds; returns their table: the time per message beyond the sender's own
// work. The sender is the main thread, sending `messages` texts with `workUs` of spinning before
// each, or with `engine` the search engine over the tree, reporting every file (its time alone,
// measured in the same rounds, is taken off).
Section RunFactors(bool full, int messages, double workUs, int rounds, bool engine) {
  static const std::vector<std::wstring> texts = ReportTexts();
  static Win32FileSystem fs;
  static Win32System system;
  std::vector<Bench> benches;
  if (engine) {
    messages =
        static_cast<int>(kTreeDlls) + 3;  // a report per DLL, two status lines and the summary
    benches.push_back({{"(f0) the engine alone, reporting to nothing", {}}, [] {
                         NullObserver observer;
                         return EngineRun(fs, system, observer);
                       }});
  }
  for (const Factor& f : Factors()) {
    if (!full && !f.quick) continue;
    const ReceiverSetup setup = f.setup;
    if (engine) {
      benches.push_back(
          {{f.label, {}}, [setup, messages] {
             return TimeWithReceiver(setup, texts, [messages](HWND target) {
               ReceiverReports observer(target);
               const double ms = EngineRun(fs, system, observer);
               if (observer.reports != static_cast<uint32_t>(messages)) {
                 Fail(Str("the engine sent %u reports, not %d", observer.reports, messages));
               }
               return ms;
             });
           }});
    } else {
      benches.push_back({{f.label, {}}, [setup, messages, workUs] {
                           return TimeSentMessages(setup, texts, messages, workUs);
                         }});
    }
  }
  Log("message costs: %d messages per run, SendMessageW to a receiver thread from %s;\n"
      "1 warm-up round, then %d rounds of every variant in turn:\n",
      messages,
      engine       ? "the engine searching the tree"
      : workUs > 0 ? Str("the main thread, %.0f us of spinning before each", workUs).c_str()
                   : "the main thread, back to back",
      rounds);
  RunRounds(benches, rounds);
  // Per message: each round's time less the sender's own work (the engine alone in that round, or
  // the spins), over the messages.
  const double spinMs = workUs > 0 ? messages * workUs / 1000 : 0;
  std::vector<Measure> measures;
  for (size_t i = engine ? 1 : 0; i < benches.size(); ++i) {
    Measure m{benches[i].measure.label, {}};
    for (size_t r = 0; r < benches[i].measure.ms.size(); ++r) {
      const double own = engine ? benches[0].measure.ms[r] : spinMs;
      m.ms.push_back((benches[i].measure.ms[r] - own) / messages);
    }
    measures.push_back(std::move(m));
  }
  const double engineMs = engine ? benches[0].measure.Median() : 0;
  return [measures, messages, workUs, rounds, engine, engineMs] {
    Log("\nmessage costs (ms per sent message, %s; median and min of %d rounds after 1 warm-up;\n"
        "%d messages a run; \"vs f1\": median over f1's median, \"by round\": median of the ratios "
        "to f1 of the same round)\n",
        engine ? Str("sent by the engine over the tree, less the engine alone in the same round "
                     "(median %.1f ms)",
                     engineMs)
                     .c_str()
        : workUs > 0 ? "the spins taken off"
                     : "sent back to back",
        rounds, messages);
    FactorHeader();
    const Measure& base = measures[0];
    for (const Measure& m : measures) {
      Log("%-50s %12.3f %12.3f %8.2fx %8.2fx\n", m.label.c_str(), m.Median(), m.Min(),
          m.Median() / base.Median(), RoundRatio(m, base));
    }
  };
}

// --- The list-box fill ----------------------------------------------------------------------------

Section RunListFill(int rounds) {
  const std::vector<std::wstring> names = ListNames();
  std::vector<Bench> benches;
  benches.push_back({{Str("(l1) %d names, LB_ADDSTRING each, redraw on", kListNames), {}},
                     [&names] { return TimeListBoxFill(false, false, names); }});
  benches.push_back({{Str("(l2) %d names, SetListBoxLines", kListNames), {}},
                     [&names] { return TimeListBoxFill(true, false, names); }});
  benches.push_back({{"(l3) as l1, with the page's tool tips", {}},
                     [&names] { return TimeListBoxFill(false, true, names); }});
  benches.push_back({{"(l4) as l2, with the page's tool tips", {}},
                     [&names] { return TimeListBoxFill(true, true, names); }});
  Log("list-box fill (a sorted list box in a skinned dialog shaped like the finder page, shown; "
      "timed until painted):\n");
  RunRounds(benches, rounds);
  std::vector<Measure> measures;
  for (const Bench& b : benches) measures.push_back(b.measure);
  return [measures, rounds] {
    Log("\nlist-box fill (median and min of %d rounds after 1 warm-up)\n", rounds);
    Log("%-46s %10s %10s\n", "measure", "median ms", "min ms");
    for (const Measure& m : measures)
      Log("%-46s %10.1f %10.1f\n", m.label.c_str(), m.Median(), m.Min());
  };
}

// --- The page alone, its status read two ways, beside the floor ----------------------------------

// One way of running the page, with the times to "Completed" kept beside the full times.
struct PageVariant {
  Poll poll;
  std::string label;
  std::shared_ptr<Measure> completed;
};

// The page runs of one program: the status line read quietly every 10 ms (as in the table), and
// with `sentReads` also with WM_GETTEXT every 10 and every 50 ms, as the driver used to read it.
void AddPageBenches(std::vector<Bench>& benches, std::vector<PageVariant>& variants,
                    const std::string& tag, const std::wstring& exe, bool sentReads) {
  std::vector<PageVariant> added = {
      {Poll{10, true}, "(b) page" + tag + ", status read quietly / 10 ms", nullptr}};
  if (sentReads) {
    added.push_back({Poll{10, false}, "(b) page" + tag + ", WM_GETTEXT every 10 ms", nullptr});
    added.push_back({Poll{50, false}, "(b) page" + tag + ", WM_GETTEXT every 50 ms", nullptr});
  }
  for (PageVariant v : added) {
    v.completed = std::make_shared<Measure>(Measure{v.label, {}});
    variants.push_back(v);
    benches.push_back(
        {{v.label, {}}, [v, exe] {
           const UiRun r = PageRun(v.poll, exe);
           Log("    %s: %.1f ms, \"Completed\" after %.1f ms; %d status reads, %.1f ms in all, the "
               "longest %.1f ms\n",
               v.label.c_str(), r.ms, r.msCompleted, r.reads, r.readMs, r.longestReadMs);
           v.completed->ms.push_back(r.msCompleted);
           return r.ms;
         }});
  }
}

// The page and the floor in rounds; TESSALY_EXE_B may name other Tessaly.exe programs (Windows
// paths, separated by ';'), whose pages then run in the same rounds, so all meet the same load.
// With `sentReads`, each page also with its status line read by WM_GETTEXT.
Section RunPagePolls(int rounds, bool sentReads) {
  std::vector<Bench> benches;
  std::vector<PageVariant> variants;
  benches.push_back({{"(c) floor: FindFirstFileExW + 1 KB reads", {}}, [] {
                       WalkCount count;
                       return TimeIt([&] { count = Floor(FloorOptions{}); });
                     }});
  std::vector<std::wstring> programs{e2e::ProgramPath()};
  std::wstring others = e2e::PathFromEnvironment(L"TESSALY_EXE_B");
  for (size_t at = 0; at < others.size();) {
    const size_t end = std::min(others.find(L';', at), others.size());
    if (end > at) programs.push_back(others.substr(at, end - at));
    at = end + 1;
  }
  for (size_t i = 0; i < programs.size(); ++i) {
    const std::string tag =
        programs.size() == 1 ? "" : std::string(" ") + static_cast<char>('A' + i);
    AddPageBenches(benches, variants, tag, programs[i], sentReads);
    Log("page%s: %s\n", tag.c_str(), Narrow(programs[i]).c_str());
  }
  Log("the page%s and the floor: 1 warm-up round, then %d rounds:\n",
      sentReads ? ", its status read quietly and with WM_GETTEXT," : "", rounds);
  RunRounds(benches, rounds);
  std::vector<Measure> measures;
  for (const Bench& b : benches) measures.push_back(b.measure);
  std::vector<Measure> completed;
  for (const PageVariant& v : variants) {
    Measure m = *v.completed;
    m.ms.erase(m.ms.begin());  // the warm-up's
    completed.push_back(std::move(m));
  }
  return [measures, completed, rounds] {
    Log("\npage runs (median and min of %d rounds after 1 warm-up; ratios to the floor), to the "
        "lists filled:\n",
        rounds);
    Header();
    const Measure& floor = measures[0];
    for (const Measure& m : measures) Row(m, floor);
    Log("the same runs, to \"Completed\" on the status line (the search alone):\n");
    for (const Measure& m : completed) Row(m, floor);
    Log("per file beyond the floor of the same round (median over the rounds, over the %u DLLs "
        "reported);\n"
        "the fill: from \"Completed\" to the lists filled:\n",
        kTreeDlls);
    for (size_t i = 0; i < completed.size(); ++i) {
      const Measure& full = measures[i + 1];
      std::vector<double> searchPerFile, allPerFile, fill;
      for (size_t r = 0; r < full.ms.size() && r < floor.ms.size() && r < completed[i].ms.size();
           ++r) {
        searchPerFile.push_back((completed[i].ms[r] - floor.ms[r]) / kTreeDlls);
        allPerFile.push_back((full.ms[r] - floor.ms[r]) / kTreeDlls);
        fill.push_back(full.ms[r] - completed[i].ms[r]);
      }
      Log("%-44s search %.3f ms/file, with the fill %.3f ms/file; fill %.1f ms\n",
          full.label.c_str(), MedianOf(searchPerFile), MedianOf(allPerFile), MedianOf(fill));
    }
  };
}

// --- The scale run: the tree 1, 4 and 16 times over -------------------------------------------

// 16 copies of the tree, each file a hard link to the tree's own (the disk holds the tree once):
// C:\bench\scale\s4\p00..p03 and C:\bench\scale\p04..p15, so that s4\p00 is the tree once, s4 four
// times and C:\bench\scale sixteen times, each searched as one folder as the page searches it.
constexpr wchar_t kScaleRoot[] = L"C:\\bench\\scale";
constexpr wchar_t kScaleMarker[] = L"C:\\bench\\scale-complete.txt";
constexpr char kScaleMarkerText[] =
    "tessaly bench scale v1: 16 copies of the tree, 320000 files, 80000 DLLs\n";
constexpr int kScaleParts = 16;
constexpr int kScaleSizes[] = {1, 4, 16};

std::wstring ScalePart(int part) {
  return part < 4 ? FormatText(L"%s\\s4\\p%02d", kScaleRoot, part)
                  : FormatText(L"%s\\p%02d", kScaleRoot, part);
}

// The folder that holds `size` copies: s4\p00, s4 or the scale root.
std::wstring ScaleFolder(int size) {
  if (size == 1) return ScalePart(0);
  return size == 4 ? std::wstring(kScaleRoot) + L"\\s4" : std::wstring(kScaleRoot);
}

bool ScaleComplete() {
  if (ReadSmallFile(kScaleMarker) != kScaleMarkerText) return false;
  FloorOptions listOnly;
  listOnly.readHeaders = false;
  const WalkCount count = Floor(listOnly, kScaleRoot);
  return count.files == kScaleParts * kTreeFiles && count.dlls == kScaleParts * kTreeDlls;
}

// Links (or, where the file system has no hard links, copies) every file of the tree into each
// part. Made once, then reused after a listing that finds every file.
void EnsureScaleTree() {
  if (ScaleComplete()) {
    Log("scale: reusing %s (%d copies of the tree)\n", Narrow(kScaleRoot).c_str(), kScaleParts);
    return;
  }
  Log("scale: making %s, %d copies of the tree as hard links (only on the first run) ...\n",
      Narrow(kScaleRoot).c_str(), kScaleParts);
  const auto started = Clock::now();
  DeleteFileW(kScaleMarker);
  if (const ErrorCode rc = e2e::DeleteTree(kScaleRoot))
    Fail(Str("cannot delete the old scale tree, error %u", rc));
  bool copied = false;
  for (int part = 0; part < kScaleParts; ++part) {
    for (int folder = 0; folder < kFolders; ++folder) {
      const std::wstring from = LeafFolder(folder);
      const std::wstring to = ScalePart(part) + from.substr(wcslen(kTreeRoot));
      const int created = SHCreateDirectoryExW(nullptr, to.c_str(), nullptr);
      if (created != ERROR_SUCCESS)
        Fail(Str("cannot create %s, error %d", Narrow(to).c_str(), created));
      WIN32_FIND_DATAW data;
      HANDLE h = FindFirstFileW((from + L"\\*").c_str(), &data);
      if (h == INVALID_HANDLE_VALUE) Fail(Str("cannot list %s", Narrow(from).c_str()));
      do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::wstring source = from + L"\\" + data.cFileName,
                           target = to + L"\\" + data.cFileName;
        if (CreateHardLinkW(target.c_str(), source.c_str(), nullptr)) continue;
        if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) {
          Fail(Str("cannot link or copy %s, error %lu", Narrow(target).c_str(), GetLastError()));
        }
        copied = true;
      } while (FindNextFileW(h, &data));
      FindClose(h);
    }
    Log("scale: %d of %d copies made (%.0f s)%s\n", part + 1, kScaleParts,
        Ms(Clock::now() - started) / 1000, copied ? " (copied: no hard links here)" : "");
  }
  HANDLE marker = CreateFileW(kScaleMarker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  if (marker == INVALID_HANDLE_VALUE ||
      !::WriteFile(marker, kScaleMarkerText, sizeof kScaleMarkerText - 1, &written, nullptr)) {
    Fail(Str("cannot write the scale marker, error %lu", GetLastError()));
  }
  CloseHandle(marker);
  if (!ScaleComplete()) Fail("the scale tree just made does not list as expected");
}

// The finder's measures at 1, 4 and 16 times the tree, each size in rounds of its own: the engine,
// the floor and the engine reporting to a plain window; then the page through the UI once (the
// largest takes minutes); the time per file at each size, how it grows, and the page's memory.
int RunScale(int rounds) {
  EnsureScaleTree();
  Win32FileSystem fs;
  Win32System system;
  struct Size {
    int times;
    std::vector<Bench> benches;
    SIZE_T peakWorkingSet = 0, peakPagefile = 0;
  };
  std::vector<Size> sizes;
  for (int times : kScaleSizes) sizes.push_back({times, {}});
  for (Size& size : sizes) {
    const std::wstring folder = ScaleFolder(size.times);
    const uint32_t dlls = kTreeDlls * size.times, files = kTreeFiles * size.times;
    Size* at = &size;
    size.benches.push_back({{Str("(a) engine, %dx", size.times), {}}, [&fs, &system, folder, dlls] {
                              NullObserver observer;
                              return EngineRun(fs, system, observer, nullptr, {}, folder.c_str(),
                                               dlls);
                            }});
    size.benches.push_back({{Str("(c) floor, %dx", size.times), {}}, [folder, dlls, files] {
                              WalkCount count;
                              const double ms =
                                  TimeIt([&] { count = Floor(FloorOptions{}, folder.c_str()); });
                              if (count.dlls != dlls || count.files != files)
                                Fail("the floor walk did not see the whole tree");
                              return ms;
                            }});
    size.benches.push_back(
        {{Str("(p) engine + SendMessageW, %dx", size.times), {}}, [&fs, &system, folder, dlls] {
           const std::vector<std::wstring> texts{L"warming up"};
           return TimeWithReceiver(ReceiverSetup{Host::HiddenWindow}, texts, [&](HWND target) {
             ReceiverReports observer(target);
             return EngineRun(fs, system, observer, nullptr, {}, folder.c_str(), dlls);
           });
         }});
    Log("scale %dx (%s: %u files, %u DLLs): 1 warm-up round, then %d rounds:\n", size.times,
        Narrow(folder).c_str(), files, dlls, rounds);
    RunRounds(size.benches, rounds);
    // The page once at each size (the largest takes minutes): its time and its peak memory.
    const UiRun page = PageRun(Poll{}, {}, folder.c_str());
    at->peakWorkingSet = page.peakWorkingSet;
    at->peakPagefile = page.peakPagefile;
    size.benches.push_back(
        {{Str("(b) finder page, %dx (one run)", size.times), {page.ms}}, nullptr});
    Log("  (b) the page at %dx: %.1f ms\n", size.times, page.ms);
  }
  Log("\nresults (scale run: the tree 1, 4 and 16 times, %u files a time; median and min of %d "
      "rounds after 1\n"
      "warm-up, each size in rounds of its own; us/file: the median over the files searched)\n",
      kTreeFiles, rounds);
  Log("%-44s %10s %10s %10s %10s\n", "measure", "median ms", "min ms", "us/file", "vs 1x");
  const size_t measures = sizes[0].benches.size();
  for (size_t m = 0; m < measures; ++m) {
    const double base = sizes[0].benches[m].measure.Median() / (kTreeFiles * sizes[0].times);
    for (const Size& size : sizes) {
      const Measure& measure = size.benches[m].measure;
      const double perFile = measure.Median() / (kTreeFiles * size.times);
      Log("%-44s %10.1f %10.1f %10.2f %9.2fx\n", measure.label.c_str(), measure.Median(),
          measure.Min(), perFile * 1000, perFile / base);
    }
  }
  Log("time per file at 16x over 1x (aim: at most 1.20 each):");
  for (size_t m = 0; m < measures; ++m) {
    const double first = sizes.front().benches[m].measure.Median() / sizes.front().times;
    const double last = sizes.back().benches[m].measure.Median() / sizes.back().times;
    Log(" %s %.2f%s", sizes[0].benches[m].measure.label.substr(0, 3).c_str(), last / first,
        last / first <= 1.2 ? "" : " (missed)");
  }
  Log("\n");
  for (const Size& size : sizes) {
    Log("(b) at %dx, peak memory of Tessaly.exe: working set %.1f MB, private bytes (pagefile) "
        "%.1f MB%s\n",
        size.times, size.peakWorkingSet / 1048576.0, size.peakPagefile / 1048576.0,
        size.times == 16 ? (std::max(size.peakWorkingSet, size.peakPagefile) < 100u * 1048576
                                ? " (aim: under 100 MB: met)"
                                : " (aim: under 100 MB: missed)")
                         : "");
  }
  return 0;
}

Options ParseOptions(int argc, wchar_t** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == L"--full") {
      o.full = true;
    } else if (a == L"--page") {
      o.mode = Options::Mode::Page;
    } else if (a == L"--factors") {
      o.mode = Options::Mode::Factors;
    } else if (a == L"--lists") {
      o.mode = Options::Mode::Lists;
    } else if (a == L"--catalog") {
      o.mode = Options::Mode::Catalog;
    } else if (a == L"--products") {
      o.mode = Options::Mode::Products;
    } else if (a == L"--scale") {
      o.scale = true;
    } else if (a == L"--relocate" && hasValue) {
      o.mode = Options::Mode::Relocate;
      o.relocateMeasure = argv[++i];
    } else if (a == L"--rounds" && hasValue) {
      o.rounds = _wtoi(argv[++i]);
    } else if (a == L"--messages" && hasValue) {
      o.messages = _wtoi(argv[++i]);
    } else if (a == L"--engine") {
      o.engine = true;
    } else if (a == L"--work-us" && hasValue) {
      o.workUs = _wtof(argv[++i]);
    } else {
      Fail("usage: tessaly_bench.exe [--full] [--page | --factors | --lists | --catalog | "
           "--products | --relocate MEASURE] [--scale] [--rounds N] [--messages N] [--work-us N] "
           "[--engine]");
    }
  }
  return o;
}

int Main(const Options& options) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  const bool full = options.full;
  const int factorMessages = options.messages > 0 ? options.messages
                             : full               ? kFullFactorMessages
                                                  : kQuickFactorMessages;
  if (options.mode == Options::Mode::Factors) {
    const Section table =
        RunFactors(true, factorMessages, options.workUs,
                   options.rounds > 0 ? options.rounds : kFullFactorRounds, options.engine);
    Log("\nresults\n");
    table();
    return 0;
  }
  if (options.mode == Options::Mode::Lists) {
    const Section table = RunListFill(options.rounds > 0 ? options.rounds : kFullFactorRounds);
    Log("\nresults\n");
    table();
    return 0;
  }
  if (options.mode == Options::Mode::Relocate) return RunRelocateBench(options.relocateMeasure);
  if (options.scale && options.mode != Options::Mode::Table &&
      options.mode != Options::Mode::Catalog && options.mode != Options::Mode::Products) {
    Fail("--scale runs with the finder's table (no mode), --catalog or --products");
  }
  if (options.mode == Options::Mode::Catalog && options.scale) {
    return RunCatalogScale(options.rounds > 0 ? options.rounds : kQuickRuns);
  }
  if (options.mode == Options::Mode::Catalog) {
    return RunCatalogBench(options.rounds > 0 ? options.rounds : full ? kRuns : kQuickRuns);
  }
  if (options.mode == Options::Mode::Products && options.scale) {
    return RunProductsScale(options.rounds > 0 ? options.rounds : kQuickRuns);
  }
  if (options.mode == Options::Mode::Products) {
    return RunProductsBench(options.rounds > 0 ? options.rounds : full ? kRuns : kQuickRuns);
  }
  const std::wstring fixtures = FixturesFolder();
  if (e2e::ProgramPath().empty()) Fail("TESSALY_EXE is not set (the path of Tessaly.exe)");
  SHCreateDirectoryExW(nullptr, kBenchFolder, nullptr);
  EnsureTree(fixtures);
  if (options.scale) return RunScale(options.rounds > 0 ? options.rounds : kQuickRuns);
  if (options.mode == Options::Mode::Page) {
    const Section table = RunPagePolls(options.rounds > 0 ? options.rounds : kPageRounds, full);
    Log("\nresults\n");
    table();
    return 0;
  }
  const int runs = options.rounds > 0 ? options.rounds : full ? kRuns : kQuickRuns;

  Win32FileSystem fs;
  Win32System system;
  auto floorRun = [](const FloorOptions& o, bool checked) {
    return [o, checked] {
      WalkCount count;
      const double ms = TimeIt([&] { count = Floor(o); });
      if (checked && (count.dlls != kTreeDlls || count.files != kTreeFiles)) {
        Fail("the floor walk did not see the whole tree");
      }
      return ms;
    };
  };

  Log("measuring (1 warm-up round, then %d rounds of every measure in turn):\n", runs);
  std::vector<UiRun> uiRuns;
  std::vector<Bench> headline;
  headline.push_back({{"(a) engine: RunDupeSearch", {}}, [&] {
                        NullObserver observer;
                        return EngineRun(fs, system, observer);
                      }});
  headline.push_back({{"(b) finder page through the UI", {}}, [&] {
                        const UiRun run = PageRun(Poll{});
                        uiRuns.push_back(run);
                        return run.ms;
                      }});
  headline.push_back(
      {{"(c) floor: FindFirstFileExW + 1 KB reads", {}}, floorRun(FloorOptions{}, true)});
  headline.push_back({{"(d) peer: cmd /c dir /s /b *.dll", {}}, [] { return PeerRun(); }});
  // The plain program: the engine reporting each file with SendMessageW to a window of another
  // thread that runs a plain GetMessageW loop, as the page's worker reports to the page.
  headline.push_back({{"(p) engine + SendMessageW to a plain window", {}}, [&] {
                        const std::vector<std::wstring> texts{L"warming up"};
                        return TimeWithReceiver(ReceiverSetup{Host::HiddenWindow}, texts,
                                                [&](HWND target) {
                                                  ReceiverReports observer(target);
                                                  return EngineRun(fs, system, observer);
                                                });
                      }});
  // After the five above, whose places the table's ratios name.
  headline.push_back({{"(v) engine, VST3 and CLAP on (+ comparison)", {}}, [&] {
                        NullObserver observer;
                        return EngineRun(fs, system, observer, nullptr, DupeSearchOptions{true});
                      }});
  RunRounds(headline, runs);
  uiRuns.erase(uiRuns.begin());  // the warm-up's

  // Where the page's time per file goes: the cost of one sent message by what receives it.
  std::vector<Section> sections;
  sections.push_back(RunFactors(full, factorMessages, options.workUs,
                                full ? kFullFactorRounds : runs, options.engine));
  if (full && !options.engine)
    sections.push_back(RunFactors(full, factorMessages, -1, kFullFactorRounds, true));
  sections.push_back(RunListFill(full ? kFullFactorRounds : runs));
  if (!full) {
    PrintTable(headline, uiRuns, runs);
    for (const Section& section : sections) section();
    return 0;
  }
  sections.push_back(RunPagePolls(runs, true));

  // Where the differences come from: variants of the floor, the engine timed call by call, the
  // maps alone and the engine reporting by SendMessageW as the page's worker does.
  Log("diagnostics:\n");
  FloorOptions listOnly;
  listOnly.readHeaders = false;
  FloorOptions plain;
  plain.basicLargeFetch = false;
  FloorOptions engineRead;
  engineRead.engineRead = true;
  FloorOptions twoPasses;
  twoPasses.twoPasses = true;
  FloorOptions twoPassesPlain = twoPasses;
  twoPassesPlain.basicLargeFetch = false;
  FloorOptions twoPassesPlainList = twoPassesPlain;
  twoPassesPlainList.readHeaders = false;
  FloorOptions engineShape = twoPassesPlain;
  engineShape.engineRead = true;

  Breakdown last;
  CPluginMap found;
  {
    NullObserver observer;
    EngineRun(fs, system, observer, &found);
  }
  std::vector<const CPluginFile*> files;
  for (const auto& [key, list] : found.GetGroups()) {
    for (const auto& member : list.Members()) files.push_back(&member.file);
  }
  ReportWindowThread hiddenWindow(false), shownWindow(true);

  std::vector<Bench> diagnostics;
  diagnostics.push_back({{"(c) floor, again", {}}, floorRun(FloorOptions{}, true)});
  diagnostics.push_back({{"(c1) floor, listing only", {}}, floorRun(listOnly, false)});
  diagnostics.push_back({{"(c2) floor, plain FindFirstFileW", {}}, floorRun(plain, false)});
  diagnostics.push_back(
      {{"(c3) floor, reads as the engine's backend", {}}, floorRun(engineRead, false)});
  diagnostics.push_back({{"(c4) floor, *.dll pass + * pass", {}}, floorRun(twoPasses, false)});
  diagnostics.push_back(
      {{"(c5) as c4, plain FindFirstFileW", {}}, floorRun(twoPassesPlain, false)});
  diagnostics.push_back({{"(c6) as c5, listing only", {}}, floorRun(twoPassesPlainList, false)});
  diagnostics.push_back(
      {{"(c7) as c5, reads as the engine's backend", {}}, floorRun(engineShape, false)});
  double bestTimed = 0;
  diagnostics.push_back({{"(a1) engine with per-call timers", {}}, [&] {
                           Breakdown b;
                           TimedFileSystem tfs(b);
                           TimedSystem tsys(b);
                           NullObserver observer;
                           const double ms = EngineRun(tfs, tsys, observer);
                           // The fastest run is the one least disturbed by the rest of the machine.
                           if (bestTimed == 0 || ms < bestTimed) {
                             bestTimed = ms;
                             last = b;
                           }
                           return ms;
                         }});
  diagnostics.push_back(
      {{Str("(m) CPluginMap::Add of %u 32-bit files", static_cast<unsigned>(files.size())), {}},
       [&] {
         CPluginMap map;
         return TimeIt([&] {
           for (const CPluginFile* file : files) map.Add(*file);
         });
       }});
  diagnostics.push_back({{"(a2) engine, SendMessageW per report", {}}, [&] {
                           WindowReports observer(hiddenWindow.Window());
                           return EngineRun(fs, system, observer);
                         }});
  diagnostics.push_back({{"(a3) as a2, to a shown static like the page's", {}}, [&] {
                           WindowReports observer(shownWindow.Window());
                           return EngineRun(fs, system, observer);
                         }});

  RunRounds(diagnostics, kDiagnosticRounds);

  PrintTable(headline, uiRuns, runs);
  for (const Section& section : sections) section();
  Log("\ndiagnostics (median and min of %d runs after 1 warm-up; ratios to \"(c) floor, again\")\n",
      kDiagnosticRounds);
  Header();
  for (const Bench& b : diagnostics) Row(b.measure, diagnostics[0].measure);
  const double accounted =
      last.dllListing + last.allListing + last.reading + last.finalPath + last.redirection;
  const double total = bestTimed;
  Log("(a1) breakdown of its fastest run (%.1f ms):\n", total);
  Log("  \"*.dll\" listings (FindFirstFileW..FindClose, entries copied)  %8.1f ms %6u calls\n",
      last.dllListing, last.dllListings);
  Log("  \"*.*\" listings for the subfolders                              %8.1f ms %6u calls\n",
      last.allListing, last.allListings);
  Log("  header reads (CreateFileW, size, seek, ReadFile, CloseHandle)    %8.1f ms %6u calls\n",
      last.reading, last.reads);
  Log("  WOW64 redirection off and on again                               %8.1f ms %6u scopes\n",
      last.redirection, last.redirections);
  Log("  final paths                                                      %8.1f ms %6u calls\n",
      last.finalPath, last.finalPaths);
  Log("  the engine's own work (paths, CPluginFile, maps, timers)         %8.1f ms\n",
      total - accounted);
  // (a2) and (a3) over (a) by round, through the floor measured beside each.
  const Measure& engine = headline[0].measure;
  const Measure& floor = headline[2].measure;
  const Measure& again = diagnostics[0].measure;
  const double engineAgain = RoundRatio(engine, floor) * again.Median();
  const double perHidden =
      (RoundRatio(diagnostics[10].measure, again) * again.Median() - engineAgain) / (kTreeDlls + 3);
  const double perShown =
      (RoundRatio(diagnostics[11].measure, again) * again.Median() - engineAgain) / (kTreeDlls + 3);
  Log("per report sent to another thread's window, over (a), scaled to the floor's median of the\n"
      "diagnostics: hidden static (a2) %.3f ms, shown static (a3) %.3f ms\n",
      perHidden, perShown);
  return 0;
}

}  // namespace
}  // namespace tessaly::bench

// No arguments: the quick table; --full: every round and diagnostic; --page: only the page through
// the UI, polled three ways (and TESSALY_EXE_B's page beside it); --factors: only the message costs;
// --catalog: the product catalog's registry scan (catalog_bench.h); --products: the product
// manager's page through the UI on the same keys (products_bench.h); --scale: the finder, or with
// --catalog or --products those, at 1, 4 and 16 times their work.
int wmain(int argc, wchar_t** argv) {
  // The benchmark started again as an outside poller of a window (see ui_factors.cpp).
  if (argc == 4 && std::wstring(argv[1]) == L"--poll-window") {
    return tessaly::bench::PollWindowMain(
        reinterpret_cast<HWND>(static_cast<uintptr_t>(wcstoull(argv[2], nullptr, 10))),
        _wtoi(argv[3]));
  }
  return tessaly::bench::Main(tessaly::bench::ParseOptions(argc, argv));
}
