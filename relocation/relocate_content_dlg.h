// CRelocateContentDlg: the relocation wizard's second page. A worker runs the relocation engine
// as soon as the page opens; the page shows its log, the current file and two progress bars,
// and the messages of a failure.
#pragma once

#include <cstdint>
#include <string>

#include "app/ui/page_win32.h"
#include "app/ui/page_worker_win32.h"
#include "relocation/relocation_engine.h"
#include "resources/page_messages.h"

namespace tessaly {

// What the worker reports with WM_RELOCATE_UPDATE (sent; wParam a kind).
enum class RelocateUpdate : WPARAM {
  LogLine = 1,       // lParam 0
  Finished = 2,      // lParam 1 success, 0 errors
  FileStarted = 3,   // lParam 0
  PhaseStarted = 4,  // lParam 0
  CopyProgress = 5,  // lParam 0
  Failed = 6,        // lParam 1: also show the recommended steps
  Ask = 7,  // lParam 0: ask the report's text (Yes/No, No the default); answer in the report
};

class CRelocateContentDlg : public CPage {
 public:
  explicit CRelocateContentDlg(const PageContext& context);

  void SetInputs(RelocationRequest request) { request_ = std::move(request); }

  // The worker's report of the update it sends: written on the worker's thread just before the
  // send, read by the page while the worker waits for the send to return.
  struct Report {
    std::wstring text;
    uint32_t files = 0;
    uint32_t filesDone = 0;
    uint32_t errors = 0;
    uint64_t bytesCopied = 0;
    uint64_t fileSize = 0;
    uint32_t reason = 0;
    bool answer = false;  // the user's Yes to an Ask
  };

 protected:
  std::span<const Anchor> Anchors() const override;
  void OnScaleChanged() override;
  bool OnInitPage() override;
  void OnDestroyPage() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  bool OnPageCommand(int id, int notifyCode, HWND control) override;

 private:
  void StartWork();
  void Handle(RelocateUpdate kind, LPARAM flag);
  void AppendLine(const std::wstring& line);
  void AdjustLogWidth();
  void ClearFile();

  RelocationRequest request_;
  Report report_;
  uint32_t filesStarted_ = 0;
  bool finished_ = false;
  bool closing_ = false;
  // Last member: destroyed first, so the worker has stopped before the report it writes goes.
  CPageWorker worker_;
};

}  // namespace tessaly
