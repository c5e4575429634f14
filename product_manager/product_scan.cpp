// The product manager's scan sequence.
#include "product_manager/product_scan.h"

namespace tessaly {

bool RunProductScan(CNiLibrary& library, const std::wstring& fileDatabasePath,
                    ProductFolderLists& folders, const CancelFlag& stop,
                    ProductScanObserver& observer) {
  // The page lists whatever each step found: a missing catalog, file database or products key
  // leaves the library usable, so the steps' errors are not the scan's.
  observer.OnStep(ProductScanStep::Initializing);
  (void)library.Reset();
  if (StopRequested(stop)) return false;
  observer.OnStep(ProductScanStep::LoadingFileDatabase);
  (void)library.LoadFileDatabase(fileDatabasePath.c_str());
  observer.OnStep(ProductScanStep::Scanning);
  (void)library.Scan(&stop, producttype::All, contentkind::All,
                     [&observer](const wchar_t* keyName) { observer.OnKey(keyName); });
  if (StopRequested(stop)) return false;
  observer.OnStep(ProductScanStep::LoadingBundles);
  uint32_t errors = 0;
  library.LoadBundles(errors);
  if (StopRequested(stop)) return false;
  observer.OnStep(ProductScanStep::Gathering);
  for (size_t slot = 0; slot < kProductFolderSlots; ++slot) {
    library.GatherValues(kProductFolderKinds[slot], folders[slot]);
  }
  observer.OnStep(ProductScanStep::Completed);
  return true;
}

}  // namespace tessaly
