// CKontaktOrganizerDlg: the page that arranges Kontakt's Libraries tab. A worker loads the
// Kontakt libraries with their per-user place and visibility; the user forces libraries to the
// top and hides them; "Apply Sort..." numbers the others by name and writes both values.
#pragma once

#include "app/ui/page_win32.h"
#include "app/ui/page_worker_win32.h"
#include "catalog/ni_library.h"
#include "kontakt/kontakt_settings.h"
#include "kontakt/libraries_tab.h"
#include "resources/page_messages.h"

namespace tessaly {

// The load's end message (WM_KONTAKT_LOAD_COMPLETE) is the page worker's: wParam a WorkerEnd,
// lParam the load's result (the user values' error, 0 on success).
class CKontaktOrganizerDlg : public CPage {
 public:
  explicit CKontaktOrganizerDlg(const PageContext& context);

  void SetInputs(KontaktOrganizerInputs inputs) { inputs_ = inputs; }
  // The two check boxes as the page closed with them, for the settings.
  const KontaktOrganizerInputs& Inputs() const { return inputs_; }

 protected:
  std::span<const Anchor> Anchors() const override;
  bool OnInitPage() override;
  void OnDestroyPage() override;
  bool OnButton(int id) override;
  bool OnNotify(const NMHDR& header, LRESULT& result) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  std::span<const ToolTipText> ToolTips() const override;
  void UpdateControls() override;

 private:
  void StartLoad();
  void LoadEnded(WorkerEnd end, ErrorCode error);
  void SortByColumn(int column);
  void Refill();
  void UpdateSelection();
  void RowChanged();
  void SetAll(bool forceToTop);
  void ApplySort();
  // The serial a list row carries; false for a row that is not there.
  bool SerialOfRow(int row, uint32_t& serial);
  // The record of a list row, by the serial the row carries; null when none has it.
  CNiProduct* RecordOfRow(int row);
  void WriteRow(int row, const CNiProduct& record);

  KontaktOrganizerInputs inputs_;
  CNiLibrary library_;
  CLibrariesTab tab_{library_};
  int lastSortColumn_ = -1;
  // True from the start of a load until its end message: the library belongs to the worker.
  bool loading_ = false;
  bool startFailed_ = false;
  // Last member: destroyed first, so the worker has stopped before the library goes.
  CPageWorker worker_;
};

}  // namespace tessaly
