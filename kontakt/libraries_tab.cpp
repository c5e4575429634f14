// The Libraries-tab page's work on its records.
#include "kontakt/libraries_tab.h"

#include <vector>

#include "registry_archive/change_backups.h"

namespace tessaly {

ErrorCode LoadLibrariesTab(CNiLibrary& library, bool extendedSearch, const CancelFlag* stop) {
  // A missing catalog or products key leaves fewer records; the result is the user values' read.
  (void)library.Reset();
  (void)library.Scan(
      stop, extendedSearch ? producttype::AppPlugin | producttype::Content : producttype::Content,
      extendedSearch ? contentkind::All : contentkind::Kontakt);
  if (stop && *stop) return err::Success;
  library.RemoveWithoutFolders();
  uint32_t updated = 0;
  const ErrorCode result = library.LoadUserValues(updated);
  if (result == err::Success && extendedSearch) library.RemoveNotInLibrariesTab();
  return result;
}

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

CLibrariesTab::ApplyResult CLibrariesTab::Apply(const BackupContext& backup, bool ignoreArticles) {
  ApplyResult result;
  library_->Sort(0, ignoreArticles);
  NumberLibrariesTab(library_->records());
  std::vector<ChangedValue> values;
  for (const CNiProduct& record : library_->records()) {
    values.push_back({RegRoot::CurrentUser, record.view32, record.keyPath,
                      record.DescribeValue(valuekind::UserListIndex).name,
                      DwordValueData(record.userListIndex)});
    values.push_back({RegRoot::CurrentUser, record.view32, record.keyPath,
                      record.DescribeValue(valuekind::UserRemoved).name,
                      DwordValueData(record.userRemoved)});
  }
  if (!values.empty()) {
    result.backupError = SaveChangeBackup(
        backup, L"Libraries tab sorted: " + std::to_wstring(library_->Count()) + L" libraries",
        values);
    if (result.backupError != err::Success) return result;
  }
  result.written = library_->SaveUserValues(result.errors);
  return result;
}

}  // namespace tessaly
