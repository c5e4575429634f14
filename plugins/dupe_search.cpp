// The duplicate finder's search: a recursive "*.dll" walk that sorts files by machine type into
// two CPluginMap objects, cut off at folder links that lead back and at paths that do not fit.
#include "plugins/dupe_search.h"

#include <string_view>
#include <vector>

#include "platform/file_ops.h"
#include "platform/text.h"
#include "plugins/plugin_file.h"

namespace tessaly {

namespace {

constexpr std::wstring_view kPluginExtension = L".dll";

// True when `inner` is `outer` or lies inside it (paths compared without regard to case).
bool IsSameOrBelow(std::wstring_view inner, std::wstring_view outer) {
  if (outer.empty() || !StartsWithNoCase(inner, outer)) return false;
  return inner.size() == outer.size() || outer.back() == L'\\' || inner[outer.size()] == L'\\';
}

std::wstring Child(const std::wstring& folder, std::wstring_view name) {
  std::wstring child = folder;
  if (child.empty() || child.back() != L'\\') child += L'\\';
  child += name;
  return child;
}

class DupeSearch {
 public:
  DupeSearch(FileSystem& fs, System& system, uint16_t expectedMachine, CPluginMap& expected,
             CPluginMap& unexpected, DupeSearchObserver& observer, const CancelFlag& stop)
      : fs_(fs),
        system_(system),
        expectedMachine_(expectedMachine),
        expected_(expected),
        unexpected_(unexpected),
        observer_(observer),
        stop_(stop) {}

  // One folder of the list with everything below it. False when told to stop.
  bool SearchTop(const std::wstring& folder) {
    // Where the folder really is, so that links below it can be seen to lead back to it.
    std::wstring finalPath;
    if (fs_.GetFinalPath(folder, finalPath) != 0) finalPath = folder;
    chain_.assign(1, finalPath);
    return SearchFolder(folder);
  }

 private:
  bool StopAsked() const { return StopRequested(stop_); }

  // The files of `folder`, then its subfolders. False when told to stop.
  bool SearchFolder(const std::wstring& folder) {
    // One listing serves both passes: the files named *.dll in the order the system lists them,
    // then the subfolders in that order. A second listing for the subfolders alone costs about
    // as much as the first, and the file names are checked here anyway (a "*.dll" listing also
    // matches generated short names: it finds "e.dllx" through E~1.DLL).
    std::wstring everything = folder;
    if (!AppendPath(everything, L"*", kSearchPathCapacity)) return true;
    std::vector<FindData> subfolders;
    bool stopped = false;
    CPluginFile file(fs_, system_);
    fs_.FindFiles(everything, [&](const FindData& entry) {
      if (entry.IsDirectory()) {
        bool isLink = false;
        if (IsRealSubfolder(entry, isLink)) subfolders.push_back(entry);
        return true;
      }
      if (!EqualsNoCase(path::Extension(entry.name), kPluginExtension)) return true;
      std::wstring path = folder;
      if (!AppendPath(path, entry.name, kSearchPathCapacity)) return true;
      if (file.Assign(path, &entry) != 0) return true;
      uint16_t machine = 0;
      if (file.GetMachineType(machine) != 0 || machine != expectedMachine_) {
        unexpected_.Add(file);
      } else {
        expected_.Add(file);
      }
      observer_.OnFile(path);
      stopped = StopAsked();
      return !stopped;
    });
    if (stopped) return false;

    for (const FindData& entry : subfolders) {
      bool isLink = false;
      IsRealSubfolder(entry, isLink);
      std::wstring subfolder = folder;
      if (AppendPath(subfolder, entry.name, kSearchPathCapacity)) {
        std::wstring finalPath = Child(chain_.back(), entry.name);
        bool leadsBack = false;
        if (isLink) {
          std::wstring target;
          if (fs_.GetFinalPath(subfolder, target) == 0) {
            for (const std::wstring& above : chain_) {
              if (IsSameOrBelow(above, target)) leadsBack = true;
            }
            finalPath = std::move(target);
          }
        }
        if (!leadsBack) {
          chain_.push_back(std::move(finalPath));
          const bool goOn = SearchFolder(subfolder);
          chain_.pop_back();
          if (!goOn) return false;
        }
      }
      if (StopAsked()) return false;
    }
    return true;
  }

  FileSystem& fs_;
  System& system_;
  const uint16_t expectedMachine_;
  CPluginMap& expected_;
  CPluginMap& unexpected_;
  DupeSearchObserver& observer_;
  const CancelFlag& stop_;
  // Final paths of the folders from the listed folder down to the one being searched.
  std::vector<std::wstring> chain_;
};

}  // namespace

DupeSearchResult RunDupeSearch(FileSystem& fs, System& system,
                               const std::vector<std::wstring>& folders, int selectedPlatform,
                               CPluginMap& expected, CPluginMap& unexpected,
                               DupeSearchObserver& observer, const CancelFlag& stop) {
  bool started = false, ended = false;
  try {
    // Plugin folders under the system folder must show their 64-bit files to a 32-bit program.
    const auto redirection = system.DisableFileRedirection();
    const uint16_t machine = selectedPlatform == 1 ? kExpectedMachine64 : kExpectedMachine32;
    const wchar_t* platformWord = L"32-bit";
    started = true;
    observer.OnSearchState(true);

    DupeSearch search(fs, system, machine, expected, unexpected, observer, stop);
    for (const std::wstring& folder : folders) {
      if (selectedPlatform != 0) platformWord = L"64-bit";
      observer.OnStatus(
          FormatText(L"Searching for %s files in %s...", platformWord, folder.c_str()));
      search.SearchTop(folder);
      if (StopRequested(stop)) return {false, err::Success};
    }

    observer.OnStatus(
        FormatText(L"Completed searching %lu folders.", static_cast<uint32_t>(folders.size())));
    uint32_t singles = 0, withDuplicates = 0, total = 0;
    expected.CountGroups(singles, withDuplicates, total);
    observer.OnFile(
        FormatText(L"Found %lu single files, %lu files with duplicates, and %lu files total.",
                   singles, withDuplicates, total));
    ended = true;
    observer.OnSearchState(false);
    return {true, err::Success};
  } catch (...) {
    // The page must not stay in its searching state.
    if (started && !ended) {
      try {
        observer.OnSearchState(false);
      } catch (...) {
      }
    }
    return {false, err::InternalError};
  }
}

}  // namespace tessaly
