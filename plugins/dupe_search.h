// The duplicate finder's search: walks plugin folders for "*.dll" files (and, when asked, VST3
// files and bundles and CLAP files) and sorts them into the expected and the unexpected
// CPluginMap by the machine type of their PE header. It knows nothing of windows; it reports
// through DupeSearchObserver and polls a stop flag.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/cancel.h"
#include "platform/file_system.h"
#include "platform/system.h"
#include "platform/types.h"
#include "plugins/plugin_map.h"

namespace tessaly {

// What the search reports, in order, on the searching thread; the page turns these into its
// window messages. The texts are valid only during the call.
class DupeSearchObserver {
 public:
  virtual ~DupeSearchObserver() = default;
  virtual void OnSearchState(bool running) = 0;         // true at the start, false at the end
  virtual void OnStatus(const std::wstring& text) = 0;  // status line 1: the folder, then the end
  virtual void OnFile(const std::wstring& text) = 0;  // status line 2: each path, then the summary
};

struct DupeSearchResult {
  bool completed = false;  // false when stopped or failed: no end messages were reported
  ErrorCode error = 0;     // 1359 when the search failed inside (memory, a throwing observer)
};

// Machines the search expects for the platform chosen in the settings (0 = 32-bit, 1 = 64-bit).
constexpr uint16_t kExpectedMachine32 = 0x014C;  // IMAGE_FILE_MACHINE_I386
constexpr uint16_t kExpectedMachine64 = 0x8664;  // IMAGE_FILE_MACHINE_AMD64

// What the search looks for beyond "*.dll" files.
struct DupeSearchOptions {
  // Also ".vst3" files, ".vst3" bundles (a folder whose binary lies in Contents\x86-win or
  // Contents\x86_64-win) and ".clap" files; afterwards the copies of each name that have the
  // same size are compared by content (see MarkIdenticalCopies).
  bool modernFormats = false;
};

// The folders inside a bundle's Contents folder where its Windows binaries lie: x86 and x64, and
// the three kinds of ARM64 code, which a search for either x86 platform always finds unexpected.
inline constexpr const wchar_t* kBundleBinaryFolder32 = L"x86-win";
inline constexpr const wchar_t* kBundleBinaryFolder64 = L"x86_64-win";
inline constexpr const wchar_t* kBundleBinaryFolderArm64 = L"arm64-win";
inline constexpr const wchar_t* kBundleBinaryFolderArm64Ec = L"arm64ec-win";
inline constexpr const wchar_t* kBundleBinaryFolderArm64X = L"arm64x-win";

// Paths during the search fit buffers of 260 characters: a branch whose path would have 260 or
// more ends there.
constexpr size_t kSearchPathCapacity = 260;

// Searches each folder of `folders`, in order, with all its subfolders (hidden and system ones
// and folder links too) for files whose extension is ".dll" without regard to case. A file whose
// machine is the chosen platform's goes to `expected`, every other one (and one whose header
// cannot be read) to `unexpected`. The whole search runs with WOW64 file-system redirection off
// for the calling thread.
//
// Reports: OnSearchState(true); per folder OnStatus("Searching for %s files in %s...") and
// OnFile(path) per file found; at the end OnStatus("Completed searching %lu folders."),
// OnFile("Found %lu single files, %lu files with duplicates, and %lu files total.") over the
// expected map, and OnSearchState(false). `stop` is polled after each file, after each
// subfolder and after each top-level folder; a stopped search returns completed = false without
// the three end reports. A failure inside reports only OnSearchState(false) and returns 1359.
//
// With `options.modernFormats`, files named "*.vst3" and "*.clap" are found like DLLs, and a
// folder named "*.vst3" is one item (it is not searched further): its binary is
// Contents\<platform folder>\<bundle name>, else the first "*.vst3" file there, looked for first
// in the chosen platform's folder, then in the other x86 one, then in the ARM64X, ARM64 and
// ARM64EC folders (such a binary is recorded with the folder's machine); a bundle without one is
// unexpected. A bundle's size is that of all its files. The status line then says "Comparing
// copies of the same name..." and MarkIdenticalCopies runs over both maps before the end reports;
// `stop` is polled there too.
//
// A folder that cannot be listed contributes nothing. A folder link is searched like a folder
// (its files are found again under the link's path) unless it leads back to a folder of the
// current descent, or to a folder that holds one, which would never end.
DupeSearchResult RunDupeSearch(FileSystem& fs, System& system,
                               const std::vector<std::wstring>& folders, int selectedPlatform,
                               CPluginMap& expected, CPluginMap& unexpected,
                               DupeSearchObserver& observer, const CancelFlag& stop,
                               const DupeSearchOptions& options = {});

// Gives the copies of each name in `map` whose contents are the same a shared content class
// (CPluginFile::ContentClass, numbered from `firstClass`); every other file gets 0. Files are
// compared with files and bundles with bundles, whole: two bundles are the same when they hold
// the same relative paths (without regard to case) with the same sizes and contents. Only copies
// of equal, non-zero size are read: each is hashed, and copies of equal hash are compared byte by
// byte before they are called the same. A copy that cannot be read is the same as none. Nothing
// is loaded or run. Returns the next unused class, or nullopt when `stop` was set (the classes
// given so far stay).
std::optional<uint32_t> MarkIdenticalCopies(FileSystem& fs, CPluginMap& map, const CancelFlag& stop,
                                            uint32_t firstClass = 1);

}  // namespace tessaly
