// The relocation progress page.
#include "relocation/relocate_content_dlg.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/text.h"
#include "resources/resource.h"

namespace tessaly {
namespace {

constexpr const wchar_t* kRecommendedSteps =
    L"Recommended steps to proceed:\n"
    L"1. Restart your computer.\n"
    L"2. Manually rename or delete your old Source Folder.\n"
    L"3. Re-run this wizard, making sure to check the \"I have already moved the files...\" "
    L"option to complete the link.";

// The engine's reports turned into the page's sent updates.
class PageReports : public RelocationObserver {
 public:
  PageReports(HWND page, CRelocateContentDlg::Report& report) : page_(page), report_(report) {}

  void LogLine(const std::wstring& text) override {
    report_.text = text;
    Send(RelocateUpdate::LogLine, 0);
  }
  void PhaseStarted(const std::wstring& phase, uint32_t files) override {
    report_.text = phase;
    report_.files = files;
    Send(RelocateUpdate::PhaseStarted, 0);
  }
  void FileStarted(const std::wstring& file) override {
    report_.text = file;
    Send(RelocateUpdate::FileStarted, 0);
  }
  void CopyProgress(uint64_t bytesCopied, uint64_t fileSize, uint32_t reason) override {
    report_.bytesCopied = bytesCopied;
    report_.fileSize = fileSize;
    report_.reason = reason;
    Send(RelocateUpdate::CopyProgress, 0);
  }
  void Failed(const std::wstring& message, bool recommendSteps, uint32_t filesDone,
              uint32_t errors) override {
    report_.text = message;
    report_.filesDone = filesDone;
    report_.errors = errors;
    Send(RelocateUpdate::Failed, recommendSteps ? 1 : 0);
  }
  void Finished(bool success) override { Send(RelocateUpdate::Finished, success ? 1 : 0); }
  bool ConfirmDeletingDifferingOriginals(const std::wstring& question) override {
    report_.text = question;
    report_.answer = false;  // a closing page answers No
    Send(RelocateUpdate::Ask, 0);
    return report_.answer;
  }

 private:
  void Send(RelocateUpdate kind, LPARAM flag) {
    SendMessageW(page_, WM_RELOCATE_UPDATE, static_cast<WPARAM>(kind), flag);
  }
  HWND page_;
  CRelocateContentDlg::Report& report_;
};

constexpr Anchor kAnchors[] = {
    {.caption = L"Operation status:", .growX = 100},
    GrowBoth(IDC_RELOCATION_LOG),
    {.caption = L"Current file:", .growX = 100, .moveY = 100},
    GrowWidthFollowBottom(IDC_RELOCATION_FILE),
    GrowWidthFollowBottom(IDC_RELOCATION_BYTES),
    GrowWidthFollowBottom(IDC_RELOCATION_PHASE),
    GrowWidthFollowBottom(IDC_RELOCATION_FILES),
    FollowBottomRight(IDC_BACK),
    FollowBottomRight(IDCANCEL),
};

}  // namespace

CRelocateContentDlg::CRelocateContentDlg(const PageContext& context)
    : CPage(context, IDD_RELOCATE_CONTENT, PageOptions{}) {}

bool CRelocateContentDlg::OnInitPage() {
  SendDlgItemMessageW(Hwnd(), IDC_RELOCATION_BYTES, PBM_SETRANGE32, 0, 100);
  // The work starts once the page is on screen, so that its first message box has a page under it.
  PostMessageW(Hwnd(), WM_RELOCATE_START, 0, 0);
  return true;
}

void CRelocateContentDlg::StartWork() {
  HWND page = Hwnd();
  // A thread that cannot be started ends at once with Failed and its error, which the end
  // message's handler writes into the log.
  (void)worker_.Start(page, WM_RELOCATE_DONE,
                      [this, page, request = request_](const CancelFlag& stop) -> ErrorCode {
                        PageReports reports(page, report_);
                        // The worker's stop flag stops the engine (and the system's copy) when the page
                        // closes.
                        RunRelocation(Context().files, Context().system, request, stop, reports);
                        return err::Success;
                      });
}

void CRelocateContentDlg::OnDestroyPage() {
  // Back and Quit work at any time: stop the copy at its next step and wait for the worker,
  // answering its sent updates (which no longer show anything) meanwhile.
  closing_ = true;
  worker_.Stop();
}

bool CRelocateContentDlg::OnPageCommand(int id, int, HWND) {
  // Back and Quit stop the run while the page is still on screen and answering its updates, so
  // that what the run did on its way out (a deletion cut short, a folder put back) is said before
  // the page closes. The page then ends as usual.
  if ((id == IDCANCEL || id == IDC_BACK) && worker_.IsRunning()) worker_.Stop();
  return false;
}

bool CRelocateContentDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_RELOCATE_UPDATE:
      if (!closing_) Handle(static_cast<RelocateUpdate>(wParam), lParam);
      break;
    case WM_RELOCATE_START:
      if (!closing_) StartWork();
      break;
    case WM_RELOCATE_DONE:
      // A worker that could not start, or failed outside the engine, still ends the log.
      if (!finished_ && !closing_ && static_cast<WorkerEnd>(wParam) == WorkerEnd::Failed) {
        AppendLine(FormatText(L"Error %lu starting the operation.", static_cast<uint32_t>(lParam)));
        AppendLine(L"Operation completed with errors.");
        finished_ = true;
      }
      break;
    default: return CPage::OnMessage(message, wParam, lParam, result);
  }
  result = TRUE;
  return true;
}

void CRelocateContentDlg::ClearFile() {
  SendDlgItemMessageW(Hwnd(), IDC_RELOCATION_BYTES, PBM_SETPOS, 0, 0);
  SetItemText(IDC_RELOCATION_FILE, L"");
}

void CRelocateContentDlg::Handle(RelocateUpdate kind, LPARAM flag) {
  switch (kind) {
    case RelocateUpdate::LogLine: AppendLine(report_.text); break;
    case RelocateUpdate::Finished:
      ClearFile();
      AppendLine(flag ? L"Operation completed successfully." : L"Operation completed with errors.");
      finished_ = true;
      break;
    case RelocateUpdate::FileStarted:
      SetItemText(IDC_RELOCATION_FILE, report_.text);
      SendDlgItemMessageW(Hwnd(), IDC_RELOCATION_FILES, PBM_SETPOS, filesStarted_, 0);
      ++filesStarted_;
      break;
    case RelocateUpdate::PhaseStarted:
      // The whole count as the bar's range, so that more than 65,535 files do not wrap it.
      SendDlgItemMessageW(Hwnd(), IDC_RELOCATION_FILES, PBM_SETRANGE32, 0, report_.files);
      SendDlgItemMessageW(Hwnd(), IDC_RELOCATION_FILES, PBM_SETPOS, 0, 0);
      filesStarted_ = 0;
      SendDlgItemMessageW(Hwnd(), IDC_RELOCATION_BYTES, PBM_SETRANGE32, 0, 100);
      SetItemText(IDC_RELOCATION_PHASE, report_.text);
      break;
    case RelocateUpdate::CopyProgress: {
      uint64_t position = 0;
      if (report_.reason != kCallbackStreamSwitch) {
        position = report_.fileSize != 0 ? report_.bytesCopied * 100 / report_.fileSize
                                         : report_.bytesCopied * 100;
      }
      SendDlgItemMessageW(Hwnd(), IDC_RELOCATION_BYTES, PBM_SETPOS,
                          static_cast<WPARAM>(std::min<uint64_t>(position, 100)), 0);
      break;
    }
    case RelocateUpdate::Failed:
      ClearFile();
      AppendLine(
          FormatText(L"Copied %lu files with %lu errors.", report_.filesDone, report_.errors));
      ShowMessage(Hwnd(), report_.text, MessageStyle::Error);
      if (flag) ShowMessage(Hwnd(), kRecommendedSteps, MessageStyle::Information);
      break;
    case RelocateUpdate::Ask:
      // No is the default button: deleting the only copy of a file takes a deliberate Yes.
      report_.answer = MessageBoxW(Hwnd(), report_.text.c_str(), L"Tessaly",
                                   MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
      break;
  }
}

void CRelocateContentDlg::AppendLine(const std::wstring& line) {
  HWND log = Item(IDC_RELOCATION_LOG);
  const LRESULT index = SendMessageW(log, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  if (index >= 0) SendMessageW(log, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
  AdjustLogWidth();
}

// The widest line, measured with the log's own font, so that long paths can be scrolled to.
void CRelocateContentDlg::AdjustLogWidth() {
  HWND log = Item(IDC_RELOCATION_LOG);
  HDC dc = GetDC(log);
  if (!dc) return;
  HGDIOBJ previous =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(log, WM_GETFONT, 0, 0)));
  LONG widest = 0;
  const LRESULT count = SendMessageW(log, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(log, LB_GETTEXTLEN, i, 0);
    if (length <= 0) continue;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(log, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    SIZE size{};
    if (GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(length), &size)) {
      widest = std::max(widest, size.cx);
    }
  }
  SelectObject(dc, previous);
  ReleaseDC(log, dc);
  SendMessageW(log, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + 8), 0);
}

std::span<const Anchor> CRelocateContentDlg::Anchors() const { return kAnchors; }

void CRelocateContentDlg::OnScaleChanged() { AdjustLogWidth(); }

}  // namespace tessaly
