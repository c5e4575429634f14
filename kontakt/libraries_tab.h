// CLibrariesTab: what the Libraries-tab page does to its records between a load and "Apply
// Sort...": the library of the selected row, the choices of "Force to top." and "Hide." for it
// or for every row, and the apply that numbers the libraries by name and writes them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "catalog/ni_library.h"
#include "platform/cancel.h"
#include "registry_archive/first_run_backups.h"

namespace tessaly {

// The Libraries-tab page's load: the Kontakt libraries (with the extended search also the
// applications and plugins, and any content), without the records that have no folder, with
// their per-user values; the extended search then keeps only the records Kontakt's list holds.
// `stop` (may be null) is polled during the scan; a stopped load returns 0 with what it found.
// Result: the error of reading the per-user values (a scan error is not the load's: what it
// found is still arranged).
[[nodiscard]] ErrorCode LoadLibrariesTab(CNiLibrary& library, bool extendedSearch,
                                         const CancelFlag* stop);

// "Force to top.": place 0, or no place yet (numbered by the apply).
void SetForcedToTop(CNiProduct& record, bool forced);
// "Hide.": UserRemoved 1 or 0.
void SetHidden(CNiProduct& record, bool hidden);

class CLibrariesTab {
 public:
  explicit CLibrariesTab(CNiLibrary& library) : library_(&library) {}
  virtual ~CLibrariesTab() = default;
  CLibrariesTab(const CLibrariesTab&) = delete;
  CLibrariesTab& operator=(const CLibrariesTab&) = delete;

  // The selected list row and the serial it carries; a row of -1 selects nothing. The library is
  // kept by its serial, which stays with it however the records are sorted (the rows keep their
  // order through an apply).
  void Select(int row, uint32_t serial);
  void ClearSelection() { Select(-1, 0); }
  int SelectedRow() const { return selectedRow_; }
  // The record of the selected row; null when no row is selected or no record has its serial.
  CNiProduct* Selected() const;

  // Sets the selected library's place and visibility from the two boxes; returns its record, or
  // null (nothing changed) when none is selected.
  CNiProduct* SetSelected(bool forceToTop, bool hide);

  struct ApplyResult {
    ErrorCode backupError = err::Success;  // the change backup could not be saved: nothing written
    size_t written = 0;                    // records whose two values were written
    uint32_t errors = 0;                   // records where either write failed
  };
  // "Apply Sort...": sorts the records by name, numbers the libraries that are not forced to the
  // top, saves both user values of every record as a change backup ("Libraries tab sorted: 12
  // libraries") and, only when that succeeded, writes them.
  ApplyResult Apply(const BackupContext& backup, bool ignoreArticles);

 private:
  CNiLibrary* library_;
  uint32_t selectedSerial_ = 0;
  int selectedRow_ = -1;
};

}  // namespace tessaly
