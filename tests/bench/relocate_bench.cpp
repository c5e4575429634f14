// The relocation engine's benchmark: one measure per call (scripts/bench.sh --relocate runs the
// rounds, so that cp -r on the Linux side can take its turn between them).
//   make             the content, 10,000 files in 100 folders, made once and checked on each call
//   engine           RunRelocation as the page runs it, reporting to an observer that only notes
//                    the time of the log lines; its copy phase is timed from "Copying files to" to
//                    "Copied", and the whole run too. The link is refused as Windows refuses it
//                    without the privilege (Wine makes none anyway), so the run ends by renaming
//                    the library back and never moves it
//   engine-sent      the same, each report sent with SendMessageW to a plain window of another
//                    thread, as the page's worker sends its updates to the page
//   engine-buffered  the same as engine with the system's buffered copy (copy flags 0 instead of
//                    COPY_FILE_NO_BUFFERING)
//   engine-compare   the same as engine with file contents compared before the original would be
//                    deleted; every engine measure also notes its check of the copy ("check-ms",
//                    from "Checking that every file" to the link line)
//   plain, plain-nobuffering
//                    diagnostics: the least Win32 code that copies the same tree (FindFirstFileExW,
//                    CreateDirectoryW per folder, CopyFileExW per file without a progress routine),
//                    with copy flags 0 or COPY_FILE_NO_BUFFERING as the engine uses them
//   engine-nocopy    diagnostic: the engine with every file copy answered at once without copying,
//                    that is its walk and its checks per file alone
//   xcopy, robocopy  cmd /c xcopy <library> <target> /e /i /y > NUL, and robocopy /e the same way;
//                    a robocopy that copies nothing and fails (Wine 8's is a stub) ends with 3
#include "tests/bench/relocate_bench.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_ops.h"
#include "platform/text.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_system.h"
#include "relocation/relocation_engine.h"
#include "tests/bench/bench_output.h"
#include "tests/bench/bench_timing.h"
#include "tests/bench/ui_factors.h"
#include "tests/e2e/driver.h"
#include "tests/unit/forwarding_system.h"

#include <shlobj.h>

namespace tessaly::bench {
namespace {

constexpr wchar_t kLibrary[] = L"C:\\bench\\relocate\\Library";
constexpr wchar_t kTargetParent[] = L"C:\\bench\\relocate\\target";
constexpr wchar_t kTarget[] = L"C:\\bench\\relocate\\target\\Library";
constexpr wchar_t kMarker[] = L"C:\\bench\\relocate\\library-complete.txt";
constexpr int kFiles = 10000;
constexpr int kFilesPerFolder = 100;

// Mixed sizes: 10 files of 24 MB, 90 of 2 MB, 900 of 256 KB and 9,000 of 1 to 64 KB; about
// 1 GB in all.
uint64_t FileSize(int i) {
  if (i % 1000 == 0) return 24ull << 20;
  if (i % 100 == 50) return 2ull << 20;
  if (i % 10 == 5) return 256ull << 10;
  return 1024 + (static_cast<uint64_t>(i) * 7919) % (63 * 1024);
}

std::wstring FilePath(const std::wstring& root, int i) {
  return FormatText(L"%s\\Set %02d\\Part %d\\Sample %05d.ncw", root.c_str(), i / 1000,
                    (i / kFilesPerFolder) % 10, i);
}

uint64_t TotalBytes() {
  uint64_t total = 0;
  for (int i = 0; i < kFiles; ++i) total += FileSize(i);
  return total;
}

std::string MarkerText() {
  return Str("relocate bench library v1: %d files, %llu bytes\n", kFiles,
             static_cast<unsigned long long>(TotalBytes()));
}

std::string ReadMarker() {
  HANDLE file = CreateFileW(kMarker, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  char buffer[256];
  DWORD got = 0;
  std::string text;
  if (ReadFile(file, buffer, sizeof buffer, &got, nullptr)) text.assign(buffer, got);
  CloseHandle(file);
  return text;
}

bool WriteAll(const std::wstring& path, const std::vector<char>& noise, uint64_t size, int seed) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // Each file starts somewhere else in the noise, so no two files are alike.
  size_t offset = (static_cast<size_t>(seed) * 4099) % (noise.size() / 2);
  bool ok = true;
  while (ok && size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(size, noise.size() / 2));
    DWORD written = 0;
    ok = WriteFile(file, noise.data() + offset, chunk, &written, nullptr) && written == chunk;
    size -= chunk;
    offset = (offset + 1) % (noise.size() / 2);
  }
  CloseHandle(file);
  return ok;
}

// Files and bytes below `folder`, as the engine counts them.
TreeOperationProgress Count(const std::wstring& folder) {
  Win32FileSystem fs;
  TreeOperationProgress progress;
  // A failure shows in the count's errors, which the callers check.
  (void)CountTree(fs, {L"*.*"}, folder, kNeverCancelled, progress);
  return progress;
}

bool LibraryComplete() {
  if (ReadMarker() != MarkerText()) return false;
  const TreeOperationProgress counted = Count(kLibrary);
  return counted.errors == 0 && counted.filesCounted == kFiles && counted.bytesCounted == TotalBytes();
}

void MakeLibrary() {
  if (LibraryComplete()) {
    Log("library: %d files, %.1f MB in %s (made before)\n", kFiles, TotalBytes() / 1048576.0,
        ToUtf8(kLibrary).c_str());
    return;
  }
  Log("making the library: %d files, %.1f MB in %s\n", kFiles, TotalBytes() / 1048576.0,
      ToUtf8(kLibrary).c_str());
  DeleteFileW(kMarker);
  if (ErrorCode e = e2e::DeleteTree(kLibrary)) Fail(Str("cannot remove the old library (%u)", e));
  std::vector<char> noise(2 << 20);
  uint32_t x = 12345;
  for (char& c : noise) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  for (int i = 0; i < kFiles; ++i) {
    const std::wstring path = FilePath(kLibrary, i);
    if (i % kFilesPerFolder == 0) {
      const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
      const int made = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
      if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS) Fail(Str("cannot make %s", ToUtf8(folder).c_str()));
    }
    if (!WriteAll(path, noise, FileSize(i), i)) Fail(Str("cannot write %s", ToUtf8(path).c_str()));
    if ((i + 1) % 2000 == 0) Log("  %d files\n", i + 1);
  }
  HANDLE marker = CreateFileW(kMarker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  const std::string text = MarkerText();
  DWORD written = 0;
  if (marker == INVALID_HANDLE_VALUE ||
      !WriteFile(marker, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
    Fail("cannot write the library's marker");
  }
  CloseHandle(marker);
  if (!LibraryComplete()) Fail("the library is incomplete after making it");
}

// The link refused as Windows refuses it without the privilege: the run goes up to the link and
// then renames the library back, so a benchmark never moves it, on Wine or on Windows.
class NoLinks : public Win32FileSystem {
 public:
  ErrorCode CreateFolderLink(std::wstring_view, std::wstring_view) override {
    return err::PrivilegeNotHeld;
  }
};

// The system as it is, but older than Vista, so the tree copy uses the buffered copy.
class BeforeVista : public testing::ForwardingSystem {
 public:
  BeforeVista() : ForwardingSystem(real_) {}
  bool IsVistaOrLater() override { return false; }

 private:
  Win32System real_;
};

// Answers every file copy (and the rename of each copy into place) at once without copying: what
// the engine costs beside the copies. Its check then finds the copy missing and puts the library
// back.
class CopiesNothing : public NoLinks {
 public:
  ErrorCode CopyFile(std::wstring_view, std::wstring_view, CopyProgressRoutine, void*, CancelToken,
                     uint32_t) override {
    return err::Success;
  }
  ErrorCode MoveFile(std::wstring_view from, std::wstring_view to, uint32_t flags) override {
    // The run's temporary copy, "~tessaly-copy-<run>.partial".
    if (from.find(L"\\~tessaly-copy-") != std::wstring_view::npos &&
        EndsWithNoCase(from, L".partial")) {
      return err::Success;
    }
    return NoLinks::MoveFile(from, to, flags);
  }
};

// Notes when the copy phase starts and ends; `target` (when set) receives every report as the
// page would, by a sent message.
class Timings : public RelocationObserver {
 public:
  explicit Timings(HWND target) : target_(target) {}
  void LogLine(const std::wstring& text) override {
    if (text.rfind(L"Copying files to ", 0) == 0) copyStart = Clock::now();
    if (text.rfind(L"Copied ", 0) == 0) copyEnd = Clock::now();
    if (text.rfind(L"Checking that every file", 0) == 0) checkStart = Clock::now();
    if (text.rfind(L"Creating symbolic link", 0) == 0) checkEnd = Clock::now();
    Send();
  }
  void PhaseStarted(const std::wstring&, uint32_t) override { Send(); }
  void FileStarted(const std::wstring&) override {
    ++files;
    Send();
  }
  void CopyProgress(uint64_t, uint64_t, uint32_t) override {
    ++progressReports;
    Send();
  }
  void Failed(const std::wstring& text, bool, uint32_t, uint32_t) override {
    failure = text;
    Send();
  }
  void Finished(bool) override { Send(); }

  Clock::time_point copyStart, copyEnd, checkStart, checkEnd;
  std::wstring failure;
  uint32_t files = 0;
  uint32_t progressReports = 0;

 private:
  void Send() {
    if (target_) Report(target_, L"");
  }
  HWND target_;
};

void CheckTarget() {
  const TreeOperationProgress copied = Count(kTarget);
  if (copied.filesCounted != kFiles || copied.bytesCounted != TotalBytes()) {
    Fail(Str("the copy is incomplete: %u files, %llu bytes", copied.filesCounted,
             static_cast<unsigned long long>(copied.bytesCounted)));
  }
}

int RunEngine(bool sent, bool buffered, bool copies = true, bool compareContents = false) {
  NoLinks linkless;
  CopiesNothing copiesNothing;
  FileSystem& fs = copies ? static_cast<FileSystem&>(linkless) : copiesNothing;
  Win32System vista;
  BeforeVista beforeVista;
  System& system = buffered ? static_cast<System&>(beforeVista) : vista;
  CancelFlag cancel{0};
  double runMs = 0;
  double copyMs = 0;
  double checkMs = 0;
  uint32_t files = 0, reports = 0;
  std::wstring failure;
  auto run = [&](HWND target) {
    Timings timings(target);
    const auto t0 = Clock::now();
    RunRelocation(fs, system, {kLibrary, kTarget, false, compareContents}, cancel, timings);
    runMs = Ms(Clock::now() - t0);
    copyMs = Ms(timings.copyEnd - timings.copyStart);
    checkMs = Ms(timings.checkEnd - timings.checkStart);
    files = timings.files;
    reports = timings.progressReports;
    failure = timings.failure;
    return runMs;
  };
  if (sent) {
    ReceiverSetup setup;
    TimeWithReceiver(setup, {L"warm-up"}, run);
  } else {
    run(nullptr);
  }
  // The run must have copied everything and put the library back.
  const std::wstring expected =
      copies ? L"Error 1314 creating a symbolic link to " : L"The copy in ";
  if (failure.rfind(expected, 0) != 0) Fail("the engine ended otherwise: " + ToUtf8(failure));
  if (GetFileAttributesW((std::wstring(kLibrary) + L".orig0").c_str()) != INVALID_FILE_ATTRIBUTES ||
      !LibraryComplete()) {
    Fail("the library was not put back whole");
  }
  if (copies) CheckTarget();
  Log("files %u, copy-progress reports %u\n", files, reports);
  Log("run-ms %.1f\n", runMs);
  if (copies) Log("check-ms %.1f\n", checkMs);
  Log("ms %.1f\n", copyMs);
  return 0;
}

// The least Win32 code that copies the tree: each folder made once, each file copied by
// CopyFileExW without a progress routine.
void PlainCopy(const std::wstring& from, const std::wstring& to, DWORD flags) {
  if (!CreateDirectoryW(to.c_str(), nullptr)) Fail(Str("cannot make %s", ToUtf8(to).c_str()));
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileExW((from + L"\\*").c_str(), FindExInfoBasic, &data,
                                 FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) Fail(Str("cannot list %s", ToUtf8(from).c_str()));
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      PlainCopy(from + L"\\" + name, to + L"\\" + name, flags);
    } else if (!CopyFileExW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), nullptr,
                            nullptr, nullptr, flags)) {
      Fail(Str("cannot copy %s (%lu)", ToUtf8(name).c_str(), GetLastError()));
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

int RunPlain(DWORD flags) {
  const auto t0 = Clock::now();
  PlainCopy(kLibrary, kTarget, flags);
  const double ms = Ms(Clock::now() - t0);
  CheckTarget();
  Log("ms %.1f\n", ms);
  return 0;
}

int RunCommand(const std::wstring& tool) {
  std::wstring command = L"cmd.exe /c " + tool + L" \"" + kLibrary + L"\" \"" + kTarget + L"\" " +
                         (tool == L"xcopy" ? L"/e /i /y" : L"/e") + L" > NUL";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  const auto t0 = Clock::now();
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &info)) {
    Fail(Str("cannot start %s, error %lu", ToUtf8(tool).c_str(), GetLastError()));
  }
  WaitForSingleObject(info.hProcess, INFINITE);
  const double ms = Ms(Clock::now() - t0);
  DWORD code = 1;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  // Wine 8's robocopy.exe is a stub: it ends with 16 (a fatal error) and copies nothing. Exit
  // code 3 tells the script that the measure does not exist here.
  if (tool == L"robocopy" && code >= 8 && GetFileAttributesW(kTarget) == INVALID_FILE_ATTRIBUTES) {
    Log("unavailable: robocopy ended with %lu and copied nothing (Wine's robocopy.exe is a stub)\n",
        code);
    return 3;
  }
  // robocopy's codes below 8 mean success (1: files were copied).
  if (tool == L"xcopy" ? code != 0 : code >= 8) {
    Fail(Str("%s ended with %lu", ToUtf8(tool).c_str(), code));
  }
  CheckTarget();
  Log("ms %.1f\n", ms);
  return 0;
}

}  // namespace

int RunRelocateBench(const std::wstring& measure) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  SHCreateDirectoryExW(nullptr, kTargetParent, nullptr);
  if (measure == L"make") {
    MakeLibrary();
    Log("bytes %llu\n", static_cast<unsigned long long>(TotalBytes()));
    return 0;
  }
  if (!LibraryComplete()) Fail("the library is missing or incomplete: run the measure \"make\" first");
  if (GetFileAttributesW(kTarget) != INVALID_FILE_ATTRIBUTES) Fail("the target exists already");
  if (measure == L"engine") return RunEngine(false, false);
  if (measure == L"engine-sent") return RunEngine(true, false);
  if (measure == L"engine-buffered") return RunEngine(false, true);
  if (measure == L"engine-compare") return RunEngine(false, false, true, true);
  if (measure == L"engine-nocopy") return RunEngine(false, false, false);
  if (measure == L"plain") return RunPlain(0);
  if (measure == L"plain-nobuffering") return RunPlain(COPY_FILE_NO_BUFFERING);
  if (measure == L"xcopy" || measure == L"robocopy") return RunCommand(measure);
  Fail("unknown measure: " + ToUtf8(measure));
}

}  // namespace tessaly::bench
