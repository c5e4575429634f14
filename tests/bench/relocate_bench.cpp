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
//   make-scale       the scale library: 16 sets of 1,000 files (each set as one tenth of the
//                    library, about 97 MB), in four folders of four sets, made once and checked
//   scale-1, scale-4, scale-16
//                    the engine as above over one set, one folder of four sets and all sixteen
// Every engine measure also logs its profile: the time of each kind of file-system call by the
// run's step ("step copy MoveFile calls 10000 ms 812.0"), and the walk's own time beside them.
#include "tests/bench/relocate_bench.h"

#include <algorithm>
#include <map>
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
#include "tests/unit/forwarding_file_system.h"
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
// The scale library: Scale\Q<q>\Set <s>, 4 x 4 sets of the library's first 1,000 files.
constexpr wchar_t kScale[] = L"C:\\bench\\relocate\\Scale";
constexpr wchar_t kScaleTarget[] = L"C:\\bench\\relocate\\target\\Scale";
constexpr wchar_t kScaleMarker[] = L"C:\\bench\\relocate\\scale-complete.txt";
constexpr int kSetFiles = 1000;
constexpr int kScaleSets = 16;

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

uint64_t TotalBytes(int files = kFiles) {
  uint64_t total = 0;
  for (int i = 0; i < files; ++i) total += FileSize(i);
  return total;
}

std::string MarkerText() {
  return Str("relocate bench library v1: %d files, %llu bytes\n", kFiles,
             static_cast<unsigned long long>(TotalBytes()));
}

std::string ScaleMarkerText() {
  return Str("relocate bench scale v1: %d sets of %d files, %llu bytes each\n", kScaleSets,
             kSetFiles, static_cast<unsigned long long>(TotalBytes(kSetFiles)));
}

std::string ReadMarker(const wchar_t* marker = kMarker) {
  HANDLE file =
      CreateFileW(marker, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
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
  return counted.errors == 0 && counted.filesCounted == kFiles &&
         counted.bytesCounted == TotalBytes();
}

void WriteMarker(const wchar_t* marker, const std::string& text) {
  HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  if (file == INVALID_HANDLE_VALUE ||
      !WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
    Fail("cannot write a library's marker");
  }
  CloseHandle(file);
}

// Writes `files` files of the library's layout and sizes below `root`.
void WriteFiles(const std::wstring& root, int files) {
  std::vector<char> noise(2 << 20);
  uint32_t x = 12345;
  for (char& c : noise) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  for (int i = 0; i < files; ++i) {
    const std::wstring path = FilePath(root, i);
    if (i % kFilesPerFolder == 0) {
      const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
      const int made = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
      if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS)
        Fail(Str("cannot make %s", ToUtf8(folder).c_str()));
    }
    if (!WriteAll(path, noise, FileSize(i), i)) Fail(Str("cannot write %s", ToUtf8(path).c_str()));
    if ((i + 1) % 2000 == 0) Log("  %d files\n", i + 1);
  }
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
  WriteFiles(kLibrary, kFiles);
  WriteMarker(kMarker, MarkerText());
  if (!LibraryComplete()) Fail("the library is incomplete after making it");
}

// The folder of the scale library holding `sets` sets (1, 4 or 16).
std::wstring ScaleSource(int sets) {
  if (sets == 1) return FormatText(L"%s\\Q0\\Set 00", kScale);
  if (sets == 4) return FormatText(L"%s\\Q0", kScale);
  return kScale;
}

bool ScaleComplete() {
  if (ReadMarker(kScaleMarker) != ScaleMarkerText()) return false;
  const TreeOperationProgress counted = Count(kScale);
  return counted.errors == 0 && counted.filesCounted == kScaleSets * kSetFiles &&
         counted.bytesCounted == kScaleSets * TotalBytes(kSetFiles);
}

void MakeScale() {
  const double setMb = TotalBytes(kSetFiles) / 1048576.0;
  if (ScaleComplete()) {
    Log("scale library: %d sets of %d files, %.1f MB each, in %s (made before)\n", kScaleSets,
        kSetFiles, setMb, ToUtf8(kScale).c_str());
    return;
  }
  Log("making the scale library: %d sets of %d files, %.1f MB each, in %s\n", kScaleSets, kSetFiles,
      setMb, ToUtf8(kScale).c_str());
  DeleteFileW(kScaleMarker);
  if (ErrorCode e = e2e::DeleteTree(kScale))
    Fail(Str("cannot remove the old scale library (%u)", e));
  for (int set = 0; set < kScaleSets; ++set) {
    // FilePath puts the first 1,000 files in "Set 00"; each set is that folder under its own name.
    const std::wstring quarter = FormatText(L"%s\\Q%d", kScale, set / 4);
    const std::wstring staging = quarter + L"\\staging";
    WriteFiles(staging, kSetFiles);
    const std::wstring made = staging + L"\\Set 00";
    const std::wstring named = FormatText(L"%s\\Set %02d", quarter.c_str(), set % 4);
    if (!MoveFileExW(made.c_str(), named.c_str(), 0) || !RemoveDirectoryW(staging.c_str())) {
      Fail(Str("cannot place %s", ToUtf8(named).c_str()));
    }
  }
  WriteMarker(kScaleMarker, ScaleMarkerText());
  if (!ScaleComplete()) Fail("the scale library is incomplete after making it");
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

// The profile of a run: every file-system call timed, by the run's step (set from the log) and
// by the call. Its own cost, two clock readings per call, is small beside any call that reaches
// the system.
class TimedFileSystem : public testing::ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;

  const char* step = "start";
  struct Total {
    uint32_t calls = 0;
    Clock::duration time{};
  };
  std::map<std::pair<std::string, std::string>, Total> totals;

  ErrorCode FindFiles(std::wstring_view p, const Visitor& v) override {
    return Timed("FindFiles", [&] { return inner_.FindFiles(p, v); });
  }
  ErrorCode GetAttributes(std::wstring_view p, uint32_t& a) override {
    return Timed("GetAttributes", [&] { return inner_.GetAttributes(p, a); });
  }
  ErrorCode SetAttributes(std::wstring_view p, uint32_t a) override {
    return Timed("SetAttributes", [&] { return inner_.SetAttributes(p, a); });
  }
  ErrorCode CreateFolder(std::wstring_view p) override {
    return Timed("CreateFolder", [&] { return inner_.CreateFolder(p); });
  }
  ErrorCode RemoveFolder(std::wstring_view p) override {
    return Timed("RemoveFolder", [&] { return inner_.RemoveFolder(p); });
  }
  ErrorCode DeleteFile(std::wstring_view p) override {
    return Timed("DeleteFile", [&] { return inner_.DeleteFile(p); });
  }
  ErrorCode MoveFile(std::wstring_view a, std::wstring_view b, uint32_t f) override {
    return Timed("MoveFile", [&] { return inner_.MoveFile(a, b, f); });
  }
  ErrorCode CopyFile(std::wstring_view a, std::wstring_view b, CopyProgressRoutine r, void* u,
                     CancelToken c, uint32_t f) override {
    return Timed("CopyFile", [&] { return inner_.CopyFile(a, b, r, u, c, f); });
  }
  ErrorCode ReadFile(std::wstring_view p, uint64_t o, size_t n,
                     std::vector<uint8_t>& out) override {
    return Timed("ReadFile", [&] { return inner_.ReadFile(p, o, n, out); });
  }
  ErrorCode GetFinalPath(std::wstring_view p, std::wstring& out) override {
    return Timed("GetFinalPath", [&] { return inner_.GetFinalPath(p, out); });
  }
  ErrorCode GetItemIdentity(std::wstring_view p, ItemIdentity& out) override {
    return Timed("GetItemIdentity", [&] { return inner_.GetItemIdentity(p, out); });
  }

  // "step copy CopyFile calls 10000 ms 5123.4", one line per step and call.
  void LogTotals() const {
    for (const auto& [key, total] : totals) {
      Log("step %s %s calls %u ms %.1f\n", key.first.c_str(), key.second.c_str(), total.calls,
          Ms(total.time));
    }
  }
  // The time of `step`'s file-system calls.
  Clock::duration StepTime(const std::string& name) const {
    Clock::duration sum{};
    for (const auto& [key, total] : totals) {
      if (key.first == name) sum += total.time;
    }
    return sum;
  }

 private:
  template <class Call>
  ErrorCode Timed(const char* name, Call call) {
    const auto t0 = Clock::now();
    const ErrorCode e = call();
    Total& total = totals[{step, name}];
    ++total.calls;
    total.time += Clock::now() - t0;
    return e;
  }
};

// Notes when the copy phase starts and ends; `target` (when set) receives every report as the
// page would, by a sent message. `profile` (when set) learns the run's step from the log.
class Timings : public RelocationObserver {
 public:
  explicit Timings(HWND target, TimedFileSystem* profile = nullptr)
      : target_(target), profile_(profile) {}
  void LogLine(const std::wstring& text) override {
    const char* step = nullptr;
    if (text.rfind(L"Copying files to ", 0) == 0) copyStart = Clock::now(), step = "copy";
    if (text.rfind(L"Copied ", 0) == 0) copyEnd = Clock::now(), step = "between";
    if (text.rfind(L"Checking that every file", 0) == 0) checkStart = Clock::now(), step = "check";
    if (text.rfind(L"Creating symbolic link", 0) == 0) checkEnd = Clock::now(), step = "end";
    if (step && profile_) profile_->step = step;
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
  TimedFileSystem* profile_;
};

// What an engine measure relocates: the library, or a part of the scale library.
struct Relocated {
  std::wstring source;
  std::wstring target;
  uint32_t files;
  uint64_t bytes;
};

const Relocated kWholeLibrary{kLibrary, kTarget, kFiles, TotalBytes()};

bool Complete(const std::wstring& folder, uint32_t files, uint64_t bytes) {
  const TreeOperationProgress counted = Count(folder);
  return counted.errors == 0 && counted.filesCounted == files && counted.bytesCounted == bytes;
}

void CheckTarget(const Relocated& tree = kWholeLibrary) {
  const TreeOperationProgress copied = Count(tree.target);
  if (copied.filesCounted != tree.files || copied.bytesCounted != tree.bytes) {
    Fail(Str("the copy is incomplete: %u files, %llu bytes", copied.filesCounted,
             static_cast<unsigned long long>(copied.bytesCounted)));
  }
}

int RunEngine(bool sent, bool buffered, bool copies = true, bool compareContents = false,
              const Relocated& tree = kWholeLibrary) {
  NoLinks linkless;
  CopiesNothing copiesNothing;
  TimedFileSystem fs(copies ? static_cast<FileSystem&>(linkless) : copiesNothing);
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
    fs.totals.clear();
    fs.step = "start";
    Timings timings(target, &fs);
    const auto t0 = Clock::now();
    RunRelocation(fs, system, {tree.source, tree.target, false, compareContents}, cancel, timings);
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
  if (GetFileAttributesW((tree.source + L".orig0").c_str()) != INVALID_FILE_ATTRIBUTES ||
      !Complete(tree.source, tree.files, tree.bytes) ||
      (tree.source == kLibrary && !LibraryComplete())) {
    Fail("the library was not put back whole");
  }
  if (copies) CheckTarget(tree);
  Log("files %u, copy-progress reports %u\n", files, reports);
  fs.LogTotals();
  // The walk's own work and the reports, beside the file-system calls.
  Log("step copy walk ms %.1f\n", copyMs - Ms(fs.StepTime("copy")));
  if (copies) Log("step check walk ms %.1f\n", checkMs - Ms(fs.StepTime("check")));
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
  if (measure == L"make-scale") {
    MakeScale();
    Log("set-bytes %llu\n", static_cast<unsigned long long>(TotalBytes(kSetFiles)));
    return 0;
  }
  for (const int sets : {1, 4, 16}) {
    if (measure != FormatText(L"scale-%d", sets)) continue;
    if (!ScaleComplete())
      Fail("the scale library is missing or incomplete: run \"make-scale\" first");
    if (GetFileAttributesW(kScaleTarget) != INVALID_FILE_ATTRIBUTES)
      Fail("the target exists already");
    const Relocated part{ScaleSource(sets), kScaleTarget, static_cast<uint32_t>(sets * kSetFiles),
                         sets * TotalBytes(kSetFiles)};
    return RunEngine(false, false, true, false, part);
  }
  if (!LibraryComplete())
    Fail("the library is missing or incomplete: run the measure \"make\" first");
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
