// RunProductScan: the product manager's scan, everything its page's worker does before the page
// lists the products: the library reset, the file database, both registry views, the bundles and
// the four folder lists of the change-folder dialog. Portable: the page adapts its observer to
// status texts and window messages; the tests and the benchmark run the same sequence.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "catalog/ni_library.h"
#include "platform/cancel.h"

namespace tessaly {

// The folder kinds whose known values the change-folder dialog offers, in the page's slot order
// (its Options buttons).
constexpr ValueKind kProductFolderKinds[] = {valuekind::ContentDir, valuekind::InstallDir,
                                             valuekind::InstallVstDir, valuekind::InstallVst64Dir};
constexpr size_t kProductFolderSlots = std::size(kProductFolderKinds);
using ProductFolderLists = std::array<std::vector<std::wstring>, kProductFolderSlots>;

// The steps of the scan, in their order.
enum class ProductScanStep {
  Initializing,         // the library reset: catalogs and hints
  LoadingFileDatabase,  // the file database read and completed from the hints
  Scanning,             // the product keys of both views
  LoadingBundles,       // the bundles of the hints file
  Gathering,            // the four folder lists
  Completed,            // all done: the library and the lists are complete
};

// What the scan reports, on the thread that runs it.
class ProductScanObserver {
 public:
  virtual ~ProductScanObserver() = default;
  // As each step begins; Completed once after the last.
  virtual void OnStep(ProductScanStep step) = 0;
  // Before each product key is read, with its name (valid only during the call).
  virtual void OnKey(const wchar_t* keyName) = 0;
};

// Runs the scan over `library` (every product type and content kind) with the file database at
// `fileDatabasePath`, and fills `folders` with the values of kProductFolderKinds. A scan error
// (such as a view without products) is not the scan's end: what was found is still completed and
// listed. `stop` is polled before the file database, after each product key and before the bundles
// and the folder lists; a stopped scan keeps what it read and returns false. True when it reached
// Completed.
bool RunProductScan(CNiLibrary& library, const std::wstring& fileDatabasePath,
                    ProductFolderLists& folders, const CancelFlag& stop,
                    ProductScanObserver& observer);

}  // namespace tessaly
