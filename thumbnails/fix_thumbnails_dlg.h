// CDialogFixThumbnails: the thumbnail fixer's page. A worker scans the product folders for their
// artwork and lists which shared artwork folders lack it; "Fix Thumbnails" runs it again to copy
// the artwork over first and show the result.
#pragma once

#include "app/ui/page_win32.h"
#include "app/ui/page_worker_win32.h"
#include "resources/page_messages.h"
#include "thumbnails/thumbnail_pass.h"

namespace tessaly {

// The pass's end message (WM_THUMBNAIL_PASS_COMPLETE) is the page worker's: wParam a WorkerEnd,
// lParam the pass's result, which the page does not show (a pass that ended early shows what it
// found with the usual texts).
class CDialogFixThumbnails : public CPage {
 public:
  explicit CDialogFixThumbnails(const PageContext& context);

 protected:
  std::span<const Anchor> Anchors() const override;
  bool OnInitPage() override;
  void OnDestroyPage() override;
  bool OnButton(int id) override;
  bool OnNotify(const NMHDR& header, LRESULT& result) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  void UpdateControls() override;

 private:
  void StartPass();
  void PassEnded(WorkerEnd end);
  void SortByColumn(int column);

  // The worker's state lives here, one set per visit, not in the process: a new visit starts
  // with a scan of its own (the user sees what is missing before anything is copied), and no
  // visit can empty or read a list that the worker of another visit still fills. The worker
  // fills items_ only between StartPass and PassEnded, while running_ keeps the page off it.
  ThumbnailItems items_;
  ThumbnailPassMode mode_ = ThumbnailPassMode::Scan;  // the next pass's; Fix once a pass is shown
  int lastSortColumn_ = -1;
  ThumbnailCounts counts_;
  bool running_ = false;
  bool startFailed_ = false;
  // Last member: destroyed first, so the worker has stopped before the items go.
  CPageWorker worker_;
};

}  // namespace tessaly
