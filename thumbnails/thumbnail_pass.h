// The thumbnail fixer's engine: the pass that pairs each product folder carrying artwork with its
// folder in the shared artwork of Maschine and Komplete Kontrol and tells which lack the artwork
// files, the fix pass that copies the artwork over first, and the ordering, counting and texts of
// the page's list. Portable: it reaches the machine only through FileSystem and System.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cancel.h"
#include "platform/file_system.h"
#include "platform/system.h"
#include "platform/types.h"

namespace tessaly {

// An item's state, as the list shows it. The numbers order the "Thumbnail Status" sort.
enum class ThumbnailStatus : int {
  Error = 0,    // the fix could not copy the artwork (the item's error says why)
  Missing = 1,  // the shared folder lacks one of the artwork files
  Present = 2,  // the shared folder holds both
  Unknown = 3,
};

// One product folder that carries artwork.
struct ThumbnailItem {
  std::wstring name;          // the product folder's name as found
  std::wstring sourceFolder;  // (product folder)\PAResources\image\(name)
  std::wstring targetFolder;  // (public documents)\NI Resources\image\(lower-case name)
  ThumbnailStatus status = ThumbnailStatus::Unknown;
  ErrorCode error = 0;     // with Error: the system's code of the failed copy, else 0
  std::wstring lowerName;  // the name in lower case
};
using ThumbnailItems = std::vector<ThumbnailItem>;

enum class ThumbnailPassMode {
  Scan,  // only look
  Fix,   // copy each product's artwork into its shared folder, then look
};

// One pass over the product folders, appending an item per product folder that carries artwork
// to `items` (not emptied first). The whole pass runs with WOW64 file-system redirection off, so
// that a 32-bit program sees the 64-bit common files folder.
//
// On 64-bit Windows (the variable "ProgramFiles(x86)" is set) it visits "CommonProgramFiles(x86)"
// and then "CommonProgramW6432", otherwise only "CommonProgramFiles": in each, the immediate
// subfolders of "Native Instruments" that hold PAResources\image\(their own name). A product under
// both folders is listed twice, both items with the same shared folder.
//
// In Fix mode each product's artwork tree is copied into its shared folder, only files that are
// missing there or older by more than 2 seconds. An item whose copy fails in any file is Error
// with that failure's system code; otherwise it is Present when the shared folder holds both
// artwork files and Missing when not.
//
// Result: 0 when every folder was visited. The pass ends early, keeping what it listed, with the
// error of a variable that cannot be read (234 for a value of 520 characters or more), with 3
// when a folder has no "Native Instruments" or the public documents folder cannot be had (a
// second folder is then not visited), or with the error of creating the shared artwork folder.
// `stop` is polled before each product folder (null for a pass nobody stops); a stopped pass
// returns 0.
[[nodiscard]] ErrorCode RunThumbnailPass(FileSystem& fs, System& system, ThumbnailPassMode mode,
                                         ThumbnailItems& items, const CancelFlag* stop = nullptr);

// The name with its letters in lower case: A-Z and the Latin-1, Latin Extended-A, Greek and
// Cyrillic capitals of the system's lower-case mapping.
std::wstring ToLowerCaseName(std::wstring_view name);

// Orders `items` for a click on column `column` (0 "Product Name", 1 "Thumbnail Status") after
// the list was last ordered by `lastColumn` (-1 for none): the same column again reverses the
// order; column 0 sorts by name without regard to case (A-Z folded), column 1 by status (Error,
// Missing, Present, Unknown); both sorts are stable.
void SortThumbnailItems(ThumbnailItems& items, int column, int lastColumn);

struct ThumbnailCounts {
  uint32_t relevant = 0;  // every item
  uint32_t missing = 0;   // items Missing
  uint32_t errors = 0;    // items Error
};
ThumbnailCounts CountThumbnailItems(const ThumbnailItems& items);

// "Error", "Missing", "Present", or "Unknown" for any other value.
const wchar_t* ThumbnailStatusWord(ThumbnailStatus status);

// The page's status text while a pass runs.
std::wstring ThumbnailPassRunningText(ThumbnailPassMode mode);
// The page's status text when a pass has ended: the headline, the three counters and, after a
// scan, the advice to update first.
std::wstring ThumbnailPassSummaryText(ThumbnailPassMode mode, const ThumbnailCounts& counts);

}  // namespace tessaly
