// The product manager's benchmark: on the catalog benchmark's product keys (catalog_bench.h), with
// the FileDatabase.xml beside Tessaly.exe, times in rounds
//   (a)   the page's engine: the scan sequence its worker runs, RunProductScan (CNiLibrary::Reset(),
//         LoadFileDatabase(), Scan() of every type, the bundles and the four folder lists), timed
//         whole and by its steps through its observer;
//   (a')  (a), then every product's broken-path mask (which the page's list reads only when its
//         path filter tells valid from broken, not with its default filters);
//   (a'') (a') with the worker's progress: the key being read sent at most every 30 ms with
//         SendMessageW to a skinned dialog of another thread that shows it on its status line;
//   (p)   the page through the UI: Tessaly.exe started and its Start page found before the timing
//         begins (that start is reported apart), then from the click on Next, with the product
//         manager's wizard chosen, to the page showing its filled list. The driver reads the status
//         line every 10 ms with InternalGetWindowText, which sends the page nothing, until it says
//         "Completed scanning", then asks the list for its count (LB_GETCOUNT), which the page
//         answers once it has handled the worker's end message, until the count is the expected
//         one and the filter check boxes are enabled.
// The status line also tells when the page's worker reached its steps, which places the page's
// time beside the parts of (a'). And, since the broken-path masks are the largest part of (a')
// beyond (a), four more measures of them alone:
//   (m)   the masks as the worker computes them (CNiProduct::GetBrokenPaths), its file-system
//         calls counted;
//   (m1)  the floor of the same checks: GetFileAttributesW of every path they look at;
//   (m2)  the masks with each distinct path looked at once (the answers kept for the run);
//   (m3)  the masks with each path looked at by GetFileAttributesW instead of a listing.
// With TESSALY_EXE_B naming other Tessaly.exe programs, their pages run in the same rounds.
#include "tests/bench/products_bench.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/settings/profile_store.h"
#include "catalog/file_database.h"
#include "catalog/ni_library.h"
#include "platform/ni_installation.h"
#include "platform/text.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "product_manager/product_details.h"
#include "product_manager/product_filters.h"
#include "product_manager/product_scan.h"
#include "resources/resource.h"
#include "tests/bench/bench_output.h"
#include "tests/bench/bench_timing.h"
#include "tests/bench/catalog_bench.h"
#include "tests/bench/ui_factors.h"
#include "tests/e2e/driver.h"

namespace tessaly::bench {
namespace {

constexpr wchar_t kStartTitle[] = L"Tessaly - Start";
constexpr wchar_t kPageTitle[] = L"Tessaly - Manage Native Instruments Products";
// The page's status line, step by step.
constexpr wchar_t kScanningPrefix[] = L"Scanning ";
constexpr wchar_t kGathering[] = L"Gathering install locations...";
constexpr wchar_t kCompletedPrefix[] = L"Completed scanning ";
constexpr int kPollMs = 10;
// The page's worker shows the key being read at most this often.
constexpr ULONGLONG kProgressIntervalMs = 30;
constexpr size_t kFolderSlots = kProductFolderSlots;

std::string Narrow(const std::wstring& text) { return ToUtf8(text); }

// --- The broken-path masks alone ----------------------------------------------------------------

// Keeps every path the masks look at, in their order, and counts the calls.
class RecordingFileSystem : public Win32FileSystem {
 public:
  ErrorCode FindFiles(std::wstring_view pattern, const Visitor& visit) override {
    paths.emplace_back(pattern);
    ++findFiles;
    return Win32FileSystem::FindFiles(pattern, visit);
  }
  ErrorCode GetAttributes(std::wstring_view path, uint32_t& attributes) override {
    paths.emplace_back(path);
    ++getAttributes;
    return Win32FileSystem::GetAttributes(path, attributes);
  }
  std::vector<std::wstring> paths;
  uint32_t findFiles = 0, getAttributes = 0;
};

// Looks at each distinct path once: later listings of it replay the first entry found.
class RememberingFileSystem : public Win32FileSystem {
 public:
  ErrorCode FindFiles(std::wstring_view pattern, const Visitor& visit) override {
    auto found = listings_.find(pattern);
    if (found == listings_.end()) {
      Listing listing;
      listing.result = Win32FileSystem::FindFiles(pattern, [&listing](const FindData& entry) {
        listing.first = entry;
        listing.any = true;
        return false;
      });
      found = listings_.emplace(std::wstring(pattern), std::move(listing)).first;
    }
    if (found->second.any) visit(found->second.first);
    return found->second.result;
  }

 private:
  struct Listing {
    ErrorCode result = err::Success;
    bool any = false;
    FindData first;
  };
  std::map<std::wstring, Listing, std::less<>> listings_;
};

// Answers a listing of one path without wildcards from the path's attributes, as if it had
// listed the path's own entry.
class AttributesFileSystem : public Win32FileSystem {
 public:
  ErrorCode FindFiles(std::wstring_view pattern, const Visitor& visit) override {
    if (pattern.find_first_of(L"*?") != std::wstring_view::npos)
      return Win32FileSystem::FindFiles(pattern, visit);
    const std::wstring path(pattern);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return err::FileNotFound;
    FindData entry;
    entry.attributes = attributes;
    entry.name = path.substr(path.find_last_of(L'\\') + 1);
    visit(entry);
    return err::Success;
  }
};

std::vector<BrokenPaths> Masks(const CNiLibrary& library, FileSystem& fs) {
  std::vector<BrokenPaths> masks;
  masks.reserve(library.Count());
  for (const CNiProduct& record : library.records()) masks.push_back(record.GetBrokenPaths(fs));
  return masks;
}

// --- (a), (a') and (a'') the worker's work --------------------------------------------------------

struct WorkerTimes {
  // The parts of the sequence as its steps began, and the whole call.
  double reset = 0, database = 0, scan = 0, bundles = 0, gather = 0, sequence = 0;
  double masks = 0;
  double Engine() const { return sequence; }
  // Up to the start of the folder lists, when the page shows "Gathering install locations".
  double ToGathering() const { return reset + database + scan + bundles; }
  double All() const { return sequence + masks; }
};

struct WorkerResult {
  std::vector<BrokenPaths> masks;
  ProductFolderLists folders;
};

// Notes when each step of the scan began and hands the keys to `progress`.
class StepTimes : public ProductScanObserver {
 public:
  explicit StepTimes(CNiLibrary::ProgressCallback progress) : progress_(std::move(progress)) {}
  void OnStep(ProductScanStep step) override { at[static_cast<size_t>(step)] = Clock::now(); }
  void OnKey(const wchar_t* keyName) override {
    if (progress_) progress_(keyName);
  }
  double Between(ProductScanStep from, ProductScanStep to) const {
    return Ms(at[static_cast<size_t>(to)] - at[static_cast<size_t>(from)]);
  }

  std::array<Clock::time_point, static_cast<size_t>(ProductScanStep::Completed) + 1> at{};

 private:
  CNiLibrary::ProgressCallback progress_;
};

// The page's worker's work: the sequence it runs (RunProductScan), timed as a whole and by its
// steps, its keys handed to `progress`; with `masks` then every product's broken-path mask.
WorkerTimes WorkerRun(CNiLibrary& library, FileSystem& fs, const std::wstring& database, bool masks,
                      WorkerResult& out, CNiLibrary::ProgressCallback progress = nullptr) {
  using Step = ProductScanStep;
  WorkerTimes t;
  const CancelFlag stop{0};
  StepTimes steps(std::move(progress));
  const auto t0 = Clock::now();
  if (!RunProductScan(library, database, out.folders, stop, steps))
    Fail("the product scan did not complete");
  const auto t1 = Clock::now();
  t.sequence = Ms(t1 - t0);
  t.reset = steps.Between(Step::Initializing, Step::LoadingFileDatabase);
  t.database = steps.Between(Step::LoadingFileDatabase, Step::Scanning);
  t.scan = steps.Between(Step::Scanning, Step::LoadingBundles);
  t.bundles = steps.Between(Step::LoadingBundles, Step::Gathering);
  t.gather = steps.Between(Step::Gathering, Step::Completed);
  if (!masks) return t;
  out.masks.clear();
  out.masks.reserve(library.Count());
  for (const CNiProduct& record : library.records()) out.masks.push_back(record.GetBrokenPaths(fs));
  t.masks = Ms(Clock::now() - t1);
  return t;
}

// What the page must show: its status line's last text and the lines of its list with the
// filters it starts with when no settings are stored.
struct Expected {
  std::wstring status;
  std::vector<std::wstring> lines;
  size_t records = 0;
  size_t bundles = 0;
  uint32_t brokenRecords = 0;
  std::array<size_t, kFolderSlots> folders{};
};

Expected ExpectedPage(const CNiLibrary& library, FileSystem& fs, const WorkerResult& result) {
  Expected e;
  e.records = library.Count();
  e.status =
      FormatText(L"Completed scanning %lu product entries.", static_cast<unsigned long>(e.records));
  CProductList list;
  list.Refill(library, fs, kDefaultProductCheckboxes, pathbits::Default);
  for (const wchar_t* name : list.Names()) e.lines.emplace_back(name);
  e.bundles = library.Bundles().Count();
  for (const BrokenPaths& mask : result.masks) e.brokenRecords += static_cast<bool>(mask);
  for (size_t slot = 0; slot < kFolderSlots; ++slot) e.folders[slot] = result.folders[slot].size();
  return e;
}

// --- (p) the page through the UI ------------------------------------------------------------------

struct PageTimes {
  double start = 0;         // Tessaly.exe started to its Start page found: before the timing
  double ms = 0;            // the click on Next to the filled list
  double toStartGone = -1;  // ... to the Start page hidden or destroyed
  double toPage = 0;        // ... to the page found
  double toScanning = -1;   // ... to "Scanning <key>..." first read on the status line
  double toGathering = -1;  // ... to "Gathering install locations..." first read
  double toCompleted = 0;   // ... to "Completed scanning ..." read
  int reads = 0;            // status reads
};

// The text the window manager keeps for `control`: reading it sends the page nothing.
std::wstring QuietText(HWND control) {
  wchar_t text[512];
  const int n = InternalGetWindowText(control, text, 512);
  return std::wstring(text, static_cast<size_t>(std::max(n, 0)));
}

// The list's count, answered by the page's thread once it is free; nothing when it does not answer.
std::optional<size_t> SentCount(HWND list) {
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 30000, &count) ||
      count == static_cast<DWORD_PTR>(LB_ERR)) {
    return std::nullopt;
  }
  return static_cast<size_t>(count);
}

std::optional<std::wstring> Line(HWND list, size_t row) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(list, LB_GETTEXTLEN, row, 0, SMTO_ABORTIFHUNG, 30000, &length) ||
      length == static_cast<DWORD_PTR>(LB_ERR)) {
    return std::nullopt;
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, 30000, &copied) ||
      copied == static_cast<DWORD_PTR>(LB_ERR)) {
    return std::nullopt;
  }
  text.resize(std::min<size_t>(copied, length));
  return text;
}

// No stored settings but these: not the first run, and the file database where the program is.
void PrepareSettings(const std::wstring& database) {
  if (const ErrorCode rc = e2e::DeleteProgramSettings())
    Fail(Str("cannot reset the settings, error %u", rc));
  Win32Registry registry;
  CProfileStore profile(registry);
  if (!profile.WriteProfileInt(kSettingsSection, kFirstRun, 0) ||
      !profile.WriteProfileString(kSettingsSection, kFileDatabasePath, database)) {
    Fail("cannot write the program's settings");
  }
}

PageTimes PageRun(const std::wstring& exe, const std::wstring& database, const Expected& expected) {
  PrepareSettings(database);
  PageTimes r;
  e2e::ProgramRun run;
  const e2e::Milliseconds timeout{30000};
  const auto started = Clock::now();
  if (const ErrorCode rc = run.Start(exe))
    Fail(Str("cannot start %s, error %u", Narrow(exe).c_str(), rc));
  HWND start = e2e::FindPage(run, kStartTitle, timeout);
  if (!start) Fail("the Start page did not appear");
  r.start = Ms(Clock::now() - started);
  // The wizard is chosen before the timing begins: only the click on Next starts it.
  if (!e2e::Click(start, IDC_WIZARD_PRODUCTS) ||
      !e2e::WaitUntil([&] { return e2e::CheckState(start, IDC_WIZARD_PRODUCTS) == BST_CHECKED; },
                      timeout)) {
    Fail("cannot choose the product manager's wizard on the Start page");
  }

  const auto t0 = Clock::now();
  if (!e2e::Click(start, IDC_NEXT)) Fail("cannot click Next on the Start page");
  const auto deadline = t0 + std::chrono::minutes(5);
  auto check = [&](const char* what) {
    if (Clock::now() > deadline) Fail(Str("the product manager did not %s within 5 minutes", what));
    if (!run.Running()) Fail(Str("Tessaly.exe ended before the product manager could %s", what));
  };
  HWND page = nullptr;
  HWND status = nullptr;
  std::wstring text;
  for (;;) {
    if (r.toStartGone < 0 && (!IsWindow(start) || !IsWindowVisible(start)))
      r.toStartGone = Ms(Clock::now() - t0);
    if (!page) {
      page = e2e::FindPage(run, kPageTitle, e2e::Milliseconds(0));
      if (page) {
        r.toPage = Ms(Clock::now() - t0);
        status = GetDlgItem(page, IDC_PM_STATUS);
        if (!status) Fail("the product manager has no status line");
      }
    }
    if (page) {
      text = QuietText(status);
      ++r.reads;
      const double at = Ms(Clock::now() - t0);
      if (r.toScanning < 0 && text.starts_with(kScanningPrefix)) r.toScanning = at;
      if (r.toGathering < 0 && text == kGathering) r.toGathering = at;
      if (text.starts_with(kCompletedPrefix)) {
        r.toCompleted = at;
        break;
      }
    }
    check("complete its scan");
    Sleep(kPollMs);
  }
  if (text != expected.status) {
    Fail("the product manager says \"" + Narrow(text) + "\", not \"" + Narrow(expected.status) +
         "\"");
  }
  // Until the page has handled the worker's end message the list holds its placeholder line and
  // the check boxes are disabled; the count is answered once the page's thread is free again.
  HWND list = GetDlgItem(page, IDC_PM_PRODUCTS);
  HWND box = GetDlgItem(page, IDC_PM_SHOW_APPS);
  if (!list || !box) Fail("the product manager has no product list or no check boxes");
  for (;;) {
    const std::optional<size_t> count = SentCount(list);
    if (count && *count == expected.lines.size() && IsWindowEnabled(box)) break;
    check("fill its list");
    Sleep(kPollMs);
  }
  r.ms = Ms(Clock::now() - t0);

  // What the list shows, beyond its count: its first, middle and last lines.
  const size_t n = expected.lines.size();
  for (size_t row : {size_t{0}, n / 2, n - 1}) {
    const std::optional<std::wstring> line = Line(list, row);
    if (!line || *line != expected.lines[row]) {
      Fail(Str("line %u of the product list is \"%s\", not \"%s\"", unsigned(row),
               line ? Narrow(*line).c_str() : "(no answer)", Narrow(expected.lines[row]).c_str()));
    }
  }
  if (!e2e::Click(page, IDCANCEL) || !run.WaitForExit(timeout)) {
    Log("  (Tessaly.exe did not quit within 30 s; killed)\n");
    run.Kill();
  }
  return r;
}

// --- The table ------------------------------------------------------------------------------------

void AddBench(std::vector<Bench>& benches, std::string label, std::function<double()> run) {
  benches.push_back(Bench{Measure{std::move(label), {}}, std::move(run)});
}

void Row(const Measure& m, const Measure& engine) {
  Log("%-58s %10.1f %10.1f %8.2fx %8.2fx\n", m.label.c_str(), m.Median(), m.Min(),
      m.Median() / engine.Median(), RoundRatio(m, engine));
}

// The median over the rounds of a part of a run.
template <typename T, typename F>
double MedianPart(const std::vector<T>& runs, F&& part) {
  std::vector<double> values;
  for (const T& run : runs) values.push_back(part(run));
  return MedianOf(std::move(values));
}

// A program whose page is timed: its file database beside it, its runs.
struct Program {
  std::wstring exe;
  std::wstring database;
  std::string tag;  // "" for the program under test, " B", " C" ... for the others
  std::vector<PageTimes> runs;
};

// The file database the build puts beside the program, found through FileDatabasePath.
std::wstring DatabaseBeside(const std::wstring& exe) {
  const std::wstring database =
      exe.substr(0, exe.find_last_of(L'\\') + 1) + kDefaultFileDatabasePath;
  if (GetFileAttributesW(database.c_str()) == INVALID_FILE_ATTRIBUTES) {
    Fail("the file database " + Narrow(database) +
         " is missing: configure the windows preset again");
  }
  return database;
}

// The page's steps as its status line showed them, beside the worker's parts of the same round.
void PrintPageSteps(const std::string& label, const std::vector<PageTimes>& pageRuns,
                    const std::vector<WorkerTimes>& workerRuns, size_t lines) {
  auto step = [&pageRuns](double PageTimes::*field) {
    return MedianPart(pageRuns, [field](const PageTimes& t) { return t.*field; });
  };
  Log("%s by step, medians from the click on Next (status read every %d ms, so each within ~%d "
      "ms):\n",
      label.c_str(), kPollMs, kPollMs);
  Log("  Start page gone %.1f ms; page found %.1f ms; \"Scanning\" first read %.1f ms;\n"
      "  \"Gathering install locations\" read %.1f ms; \"Completed\" read %.1f ms; list filled "
      "%.1f ms\n",
      step(&PageTimes::toStartGone), step(&PageTimes::toPage), step(&PageTimes::toScanning),
      step(&PageTimes::toGathering), step(&PageTimes::toCompleted), step(&PageTimes::ms));
  std::vector<double> toGathering, gatheringToCompleted, fill, beyond;
  for (size_t i = 0; i < pageRuns.size() && i < workerRuns.size(); ++i) {
    const PageTimes& p = pageRuns[i];
    const WorkerTimes& w = workerRuns[i];
    if (p.toGathering >= 0) {
      toGathering.push_back(p.toGathering - w.ToGathering());
      gatheringToCompleted.push_back(p.toCompleted - p.toGathering - (w.gather + w.masks));
    }
    fill.push_back(p.ms - p.toCompleted);
    beyond.push_back(p.ms - w.All());
  }
  Log("%s beyond the worker's work of the same round (medians):\n", label.c_str());
  if (toGathering.empty()) {
    Log("  (\"Gathering install locations\" was never read: that step took less than a status "
        "read's interval)\n");
  } else {
    Log("  to \"Gathering\" beyond (a)'s steps before it (page made, progress, cross-thread status "
        "texts): %.1f ms\n",
        MedianOf(toGathering));
    Log("  \"Gathering\" to \"Completed\" beyond GatherValues + masks: %.1f ms\n",
        MedianOf(gatheringToCompleted));
  }
  Log("  \"Completed\" to the list filled (end message, list of %u lines, check boxes): %.1f ms\n",
      unsigned(lines), MedianOf(fill));
  Log("  all of the page beyond (a'): %.1f ms\n", MedianOf(beyond));
}

}  // namespace

int RunProductsBench(int rounds) {
  Win32System system;
  if (!system.Is64BitWindows())
    Fail("the products benchmark needs 64-bit Windows (a 64-bit Wine prefix): two registry views");
  // The program under test, and those TESSALY_EXE_B names (Windows paths separated by ';'), whose
  // pages run in the same rounds.
  std::vector<Program> programs;
  auto addProgram = [&programs](const std::wstring& exe) {
    Program program{exe, DatabaseBeside(exe), {}, {}};
    program.tag =
        programs.empty() ? "" : std::string(" ") + static_cast<char>('A' + programs.size());
    programs.push_back(std::move(program));
  };
  if (e2e::ProgramPath().empty()) Fail("TESSALY_EXE is not set (the path of Tessaly.exe)");
  addProgram(e2e::ProgramPath());
  const std::wstring others = e2e::PathFromEnvironment(L"TESSALY_EXE_B");
  for (size_t at = 0; at < others.size();) {
    const size_t end = std::min(others.find(L';', at), others.size());
    if (end > at) addProgram(others.substr(at, end - at));
    at = end + 1;
  }
  const std::wstring& database = programs[0].database;
  EnsureCatalogKeys();

  Win32Registry registry;
  Win32FileSystem fs;
  CNiLibrary library(registry, fs, system);
  // What the worker's work finds, before any timing: every product key made, and what the page
  // must then show.
  WorkerResult result;
  WorkerRun(library, fs, database, true, result);
  CheckCatalogProducts(library);
  if (!library.fileDatabase.HasEntries())
    Fail("the file database " + Narrow(database) + " gave no entries");
  const Expected expected = ExpectedPage(library, fs, result);
  if (expected.lines.size() < static_cast<size_t>(kCatalogProductKeys)) {
    Fail(Str("the page would list %u products, fewer than the %d keys made",
             unsigned(expected.lines.size()), kCatalogProductKeys));
  }
  Log("products: %u records (%u with a broken path), %u listed with the page's default filters; %u "
      "bundles; "
      "folder lists of %u, %u, %u and %u; file database %s\n",
      unsigned(expected.records), expected.brokenRecords, unsigned(expected.lines.size()),
      unsigned(expected.bundles), unsigned(expected.folders[0]), unsigned(expected.folders[1]),
      unsigned(expected.folders[2]), unsigned(expected.folders[3]), Narrow(database).c_str());

  auto checked = [&expected, &fs](const CNiLibrary& l, const WorkerResult* r) {
    if (l.Count() != expected.records) Fail("the engine's count changed between runs");
    if (r && ExpectedPage(l, fs, *r).lines != expected.lines)
      Fail("the worker's list changed between runs");
  };
  std::vector<WorkerTimes> engineRuns, workerRuns;
  std::vector<uint32_t> progressReports;
  std::vector<Bench> benches;
  enum { kEngine, kWorker, kProgress, kPage, kMasks, kMasksFloor, kMasksOnce, kMasksAttributes };
  AddBench(benches, "(a) engine: RunProductScan, the worker's sequence", [&] {
    WorkerResult r;
    const WorkerTimes t = WorkerRun(library, fs, database, false, r);
    checked(library, nullptr);
    engineRuns.push_back(t);
    return t.Engine();
  });
  AddBench(benches, "(a') (a), then every broken-path mask", [&] {
    WorkerResult r;
    const WorkerTimes t = WorkerRun(library, fs, database, true, r);
    checked(library, &r);
    workerRuns.push_back(t);
    return t.All();
  });
  ReceiverSetup shown;
  shown.host = Host::ModalDialog;
  shown.skin = true;
  shown.status = StatusLine::PerMessage;
  AddBench(benches, "(a'') as (a'), progress every 30 ms to a skinned dialog", [&] {
    const std::vector<std::wstring> texts{L"warming up"};
    uint32_t reports = 0;
    const double ms = TimeWithReceiver(shown, texts, [&](HWND target) {
      WorkerResult r;
      auto progress = [target, &reports, last = ULONGLONG{0}](const wchar_t* keyName) mutable {
        const ULONGLONG now = GetTickCount64();
        if (last != 0 && now - last < kProgressIntervalMs) return;
        last = now;
        Report(target, keyName);
        ++reports;
      };
      const WorkerTimes t = WorkerRun(library, fs, database, true, r, progress);
      checked(library, &r);
      return t.All();
    });
    progressReports.push_back(reports);
    return ms;
  });
  auto pageBench = [&expected](Program& program) {
    return [&expected, &program] {
      const PageTimes t = PageRun(program.exe, program.database, expected);
      Log("    page%s: Start page gone %.1f ms, page found %.1f, \"Scanning\" %.1f, \"Gathering\" "
          "%.1f, "
          "\"Completed\" %.1f, list filled %.1f ms after Next (program start %.1f ms before)\n",
          program.tag.c_str(), t.toStartGone, t.toPage, t.toScanning, t.toGathering, t.toCompleted,
          t.ms, t.start);
      program.runs.push_back(t);
      return t.ms;
    };
  };
  AddBench(benches, "(p) the page through the UI: Next to the filled list", pageBench(programs[0]));
  // The masks alone, on the records of the check run.
  RecordingFileSystem recording;
  if (Masks(library, recording) != result.masks) Fail("the masks changed between runs");
  const std::set<std::wstring, LessNoCaseFn> distinct(recording.paths.begin(),
                                                      recording.paths.end());
  AddBench(benches, "(m) masks: GetBrokenPaths of every record", [&] {
    std::vector<BrokenPaths> masks;
    const double ms = TimeIt([&] { masks = Masks(library, fs); });
    if (masks != result.masks) Fail("the masks changed between runs");
    return ms;
  });
  auto existing = [&recording] {
    uint32_t found = 0;
    for (const std::wstring& path : recording.paths) {
      found += GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    return found;
  };
  const uint32_t existingPaths = existing();
  AddBench(benches, "(m1) floor: GetFileAttributesW of each path (m) checks", [&] {
    uint32_t found = 0;
    const double ms = TimeIt([&] { found = existing(); });
    if (found != existingPaths) Fail("the floor of the masks found other paths between runs");
    return ms;
  });
  AddBench(benches, "(m2) masks, each distinct path looked at once", [&] {
    RememberingFileSystem remembering;
    std::vector<BrokenPaths> masks;
    const double ms = TimeIt([&] { masks = Masks(library, remembering); });
    if (masks != result.masks) Fail("the masks with each path looked at once differ");
    return ms;
  });
  AddBench(benches, "(m3) masks, paths looked at by GetFileAttributesW", [&] {
    AttributesFileSystem attributes;
    std::vector<BrokenPaths> masks;
    const double ms = TimeIt([&] { masks = Masks(library, attributes); });
    if (masks != result.masks) Fail("the masks from the paths' attributes differ");
    return ms;
  });
  Log("masks: %u records look at %u paths (%u distinct, %u existing): %u listings "
      "(FindFirstFileW), %u attribute "
      "reads\n",
      unsigned(library.Count()), unsigned(recording.paths.size()), unsigned(distinct.size()),
      existingPaths, recording.findFiles, recording.getAttributes);
  const size_t firstOther = benches.size();
  for (size_t i = 1; i < programs.size(); ++i) {
    AddBench(benches, "(p" + programs[i].tag + ") the page of program" + programs[i].tag,
             pageBench(programs[i]));
  }
  for (const Program& program : programs)
    Log("page%s: %s\n", program.tag.c_str(), Narrow(program.exe).c_str());
  Log("measuring (1 warm-up round, then %d rounds of every measure in turn):\n", rounds);
  RunRounds(benches, rounds);
  // The warm-up's.
  engineRuns.erase(engineRuns.begin());
  workerRuns.erase(workerRuns.begin());
  for (Program& program : programs) program.runs.erase(program.runs.begin());
  const std::vector<PageTimes>& pageRuns = programs[0].runs;
  progressReports.erase(progressReports.begin());

  const Measure& engine = benches[kEngine].measure;
  const Measure& worker = benches[kWorker].measure;
  const Measure& page = benches[kPage].measure;
  Log("\nresults (HKLM\\%s: the catalog benchmark's %d product keys in both views beside the "
      "prefix's own; "
      "%u records, %u listed; median and min of %d runs after 1 warm-up)\n",
      Narrow(ni::kProductsKey).c_str(), kCatalogProductKeys, unsigned(expected.records),
      unsigned(expected.lines.size()), rounds);
  Log("(p) is timed from the click on Next on the Start page (the product manager's wizard chosen, "
      "the file\n"
      "database found, so no locate page) to the page having filled its list: the status line's "
      "\"Completed\n"
      "scanning\" read every %d ms without messages to the page (InternalGetWindowText), then the "
      "list's count\n"
      "(LB_GETCOUNT, answered once the page has handled the worker's end) the expected one, the "
      "check boxes enabled.\n"
      "Tessaly.exe is started and its Start page found before the timing: median %.1f ms, min %.1f "
      "ms, not in (p).\n",
      kPollMs, MedianPart(pageRuns, [](const PageTimes& t) { return t.start; }),
      std::min_element(pageRuns.begin(), pageRuns.end(),
                       [](const PageTimes& x, const PageTimes& y) { return x.start < y.start; })
          ->start);
  Log("(\"vs (a)\": median over (a)'s median; \"by round\": median of the ratios to (a) of the "
      "same round)\n");
  Log("%-58s %10s %10s %9s %9s\n", "measure", "median ms", "min ms", "vs (a)", "by round");
  for (size_t i = 0; i <= kPage; ++i) Row(benches[i].measure, engine);
  const double ratio = page.Median() / engine.Median(), ratioMin = page.Min() / engine.Min();
  Log("(p)/(a)  = %.2f from the medians, %.2f from the minimums, %.2f by round (aim 1.30: %s)\n",
      ratio, ratioMin, RoundRatio(page, engine), ratio <= 1.3 ? "met" : "missed");
  // The sequence's Reset + LoadFileDatabase + Scan alone, which this benchmark once called (a).
  const double scanPart =
      MedianPart(engineRuns, [](const WorkerTimes& t) { return t.reset + t.database + t.scan; });
  Log("(p) over (a)'s Reset + LoadFileDatabase + Scan alone (median %.1f ms): %.2f from the "
      "medians\n",
      scanPart, page.Median() / scanPart);
  Log("(p)/(a') = %.2f from the medians, %.2f from the minimums, %.2f by round\n",
      page.Median() / worker.Median(), page.Min() / worker.Min(), RoundRatio(page, worker));
  Log("(a')/(a) = %.2f from the medians\n", worker.Median() / engine.Median());

  // Where the time goes: the parts of (a'), and the page's steps as its status line showed them.
  auto part = [&workerRuns](double WorkerTimes::*field) {
    return MedianPart(workerRuns, [field](const WorkerTimes& t) { return t.*field; });
  };
  Log("(a') by step, medians: sequence %.1f ms: Reset %.1f ms, LoadFileDatabase %.1f ms, Scan %.1f "
      "ms, LoadBundles %.1f ms, "
      "GatherValues x4 %.1f ms, broken-path masks %.1f ms\n",
      part(&WorkerTimes::sequence), part(&WorkerTimes::reset), part(&WorkerTimes::database),
      part(&WorkerTimes::scan), part(&WorkerTimes::bundles), part(&WorkerTimes::gather),
      part(&WorkerTimes::masks));
  Log("(a'') progress messages sent per run: median %.0f\n",
      MedianOf(std::vector<double>(progressReports.begin(), progressReports.end())));
  PrintPageSteps("(p)", pageRuns, workerRuns, expected.lines.size());
  Log("\nthe broken-path masks alone (%u records, %u paths looked at, %u distinct; ratios to (m1), "
      "the floor):\n",
      unsigned(library.Count()), unsigned(recording.paths.size()), unsigned(distinct.size()));
  Log("%-58s %10s %10s %9s %9s\n", "measure", "median ms", "min ms", "vs (m1)", "by round");
  for (size_t i = kPage + 1; i < firstOther; ++i)
    Row(benches[i].measure, benches[kMasksFloor].measure);
  if (programs.size() > 1) {
    Log("\nthe pages of other programs (TESSALY_EXE_B), in the same rounds; \"by round\": to (a), "
        "then to (p):\n");
    Log("%-58s %10s %10s %9s %9s %9s\n", "measure", "median ms", "min ms", "vs (a)", "by round",
        "vs (p)");
    for (size_t i = 1; i < programs.size(); ++i) {
      const Measure& m = benches[firstOther + i - 1].measure;
      Log("%-58s %10.1f %10.1f %8.2fx %8.2fx %8.2fx\n", m.label.c_str(), m.Median(), m.Min(),
          m.Median() / engine.Median(), RoundRatio(m, engine), RoundRatio(m, page));
      PrintPageSteps("(p" + programs[i].tag + ")", programs[i].runs, workerRuns,
                     expected.lines.size());
    }
  }
  return 0;
}

int RunProductsScale(int rounds) {
  Win32System system;
  if (!system.Is64BitWindows())
    Fail("the products benchmark needs 64-bit Windows (a 64-bit Wine prefix): two registry views");
  if (e2e::ProgramPath().empty()) Fail("TESSALY_EXE is not set (the path of Tessaly.exe)");
  Program program{e2e::ProgramPath(), DatabaseBeside(e2e::ProgramPath()), {}, {}};
  Win32Registry registry;
  Win32FileSystem fs;
  struct Size {
    int times;
    size_t records = 0;
    std::vector<Bench> benches;
  };
  std::vector<Size> sizes;
  for (const int times : {1, 4, 16}) {
    EnsureCatalogKeys(times);
    auto library = std::make_shared<CNiLibrary>(registry, fs, system);
    WorkerResult result;
    WorkerRun(*library, fs, program.database, true, result);
    CheckCatalogProducts(*library, times);
    const auto expected = std::make_shared<Expected>(ExpectedPage(*library, fs, result));
    Size size{times, expected->records, {}};
    AddBench(size.benches, Str("(a) engine: RunProductScan, %dx", times),
             [library, &fs, &program, expected] {
               WorkerResult r;
               const WorkerTimes t = WorkerRun(*library, fs, program.database, false, r);
               if (library->Count() != expected->records)
                 Fail("the engine's count changed between runs");
               return t.Engine();
             });
    AddBench(size.benches, Str("(p) the page: Next to the filled list, %dx", times),
             [&program, expected] { return PageRun(program.exe, program.database, *expected).ms; });
    Log("scale %dx (%d product keys, %u records, %u listed): 1 warm-up round, then %d rounds:\n",
        times, kCatalogProductKeys * times, unsigned(expected->records),
        unsigned(expected->lines.size()), rounds);
    RunRounds(size.benches, rounds);
    sizes.push_back(std::move(size));
  }
  // The benchmark's own keys again, for the other modes.
  EnsureCatalogKeys();
  Log("\nresults (scale run of the product manager: %d, %d and %d product keys; median and min of "
      "%d rounds after\n"
      "1 warm-up, each size in rounds of its own; us/record: over the records the engine lists)\n",
      kCatalogProductKeys, 4 * kCatalogProductKeys, 16 * kCatalogProductKeys, rounds);
  Log("%-58s %10s %10s %10s %10s\n", "measure", "median ms", "min ms", "us/record", "vs 1x");
  for (size_t m = 0; m < sizes[0].benches.size(); ++m) {
    const double base = sizes[0].benches[m].measure.Median() / sizes[0].records;
    for (const Size& size : sizes) {
      const Measure& measure = size.benches[m].measure;
      const double perRecord = measure.Median() / size.records;
      Log("%-58s %10.1f %10.1f %10.2f %9.2fx\n", measure.label.c_str(), measure.Median(),
          measure.Min(), perRecord * 1000, perRecord / base);
    }
  }
  for (const Size& size : sizes) {
    Log("(p)/(a) at %dx = %.2f by round\n", size.times,
        RoundRatio(size.benches[1].measure, size.benches[0].measure));
  }
  return 0;
}

}  // namespace tessaly::bench
