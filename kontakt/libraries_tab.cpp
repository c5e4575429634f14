// The Libraries-tab page's work on its records.
#include "kontakt/libraries_tab.h"

namespace tessaly {

void SetForcedToTop(CNiProduct& record, bool forced) {
  record.userListIndex = forced ? 0 : kUnplacedListIndex;
}

void SetHidden(CNiProduct& record, bool hidden) { record.userRemoved = hidden ? 1 : 0; }

void CLibrariesTab::Select(int row, uint32_t serial) {
  selectedRow_ = row < 0 ? -1 : row;
  selectedSerial_ = serial;
}

// Looked up on every use: a pointer into the records would point at another library once they
// are sorted.
CNiProduct* CLibrariesTab::Selected() const {
  return selectedRow_ < 0 ? nullptr : library_->FindBySerial(selectedSerial_);
}

CNiProduct* CLibrariesTab::SetSelected(bool forceToTop, bool hide) {
  CNiProduct* record = Selected();
  if (!record) return nullptr;
  SetForcedToTop(*record, forceToTop);
  SetHidden(*record, hide);
  return record;
}

size_t CLibrariesTab::Apply(bool ignoreArticles, uint32_t& errors) {
  library_->Sort(0, ignoreArticles);
  NumberLibrariesTab(library_->records());
  return library_->SaveUserValues(errors);
}

}  // namespace tessaly
