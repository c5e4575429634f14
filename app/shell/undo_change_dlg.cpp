// The undo-a-change dialog.
#include "app/shell/undo_change_dlg.h"

#include <commctrl.h>

#include "app/ui/list_view_win32.h"
#include "platform/text.h"
#include "resources/resource.h"

namespace tessaly {
namespace {

constexpr ToolTipText kTips[] = {
    {IDC_CHANGE_LIST, L"Changes Tessaly made to your product settings, the newest first."},
    {IDC_UNDO_SELECTED, L"Put back the settings the selected change replaced."},
};

std::wstring DateCell(const ChangeBackupEntry& e) { return e.date; }
std::wstring DescriptionCell(const ChangeBackupEntry& e) { return e.description; }

constexpr ListViewColumn<ChangeBackupEntry> kColumns[] = {
    {L"Date", 3, DateCell},
    {L"Change", 7, DescriptionCell},
};
constexpr CListViewTable kTable(kColumns);

}  // namespace

CUndoChangeDlg::CUndoChangeDlg(const BackupContext& context, std::vector<ChangeBackupEntry> backups)
    : CDialog(IDD_UNDO_CHANGE), context_(context), backups_(std::move(backups)) {}

bool CUndoChangeDlg::OnInitDialog() {
  tips_.Create(Hwnd(), kTips);
  kTable.SetUp(Item(IDC_CHANGE_LIST));
  // The row's data is its index in the list, newest first.
  kTable.Fill(Item(IDC_CHANGE_LIST), backups_, [this](const ChangeBackupEntry& e) {
    return static_cast<LPARAM>(&e - backups_.data());
  });
  return true;
}

bool CUndoChangeDlg::OnNotify(const NMHDR& header, LRESULT& result) {
  if (header.idFrom != IDC_CHANGE_LIST) return false;
  if (header.code == LVN_ITEMCHANGED) {
    LPARAM data = 0;
    EnableItem(IDC_UNDO_SELECTED, listview::SelectedData(Item(IDC_CHANGE_LIST), data));
    return true;
  }
  if (header.code == NM_DBLCLK) {
    UndoSelected();
    return true;
  }
  return false;
}

bool CUndoChangeDlg::OnCommand(int id, int notifyCode, HWND control) {
  if (id != IDC_UNDO_SELECTED) return false;
  if (notifyCode == BN_CLICKED) UndoSelected();
  return true;
}

void CUndoChangeDlg::UndoSelected() {
  LPARAM data = 0;
  if (!listview::SelectedData(Item(IDC_CHANGE_LIST), data) || data < 0 ||
      static_cast<size_t>(data) >= backups_.size())
    return;
  const ChangeBackupEntry& backup = backups_[static_cast<size_t>(data)];
  UndoPreview preview;
  std::wstring refused;
  const ErrorCode previewed = PreviewUndo(context_, backup.path, preview, &refused);
  if (previewed != err::Success) {
    ShowMessage(Hwnd(), UndoRefusedMessage(backup.path, previewed, refused), MessageStyle::Error);
    return;
  }
  if (ShowMessage(Hwnd(), UndoQuestion(backup, preview),
                  preview.changedSince.empty() ? MessageStyle::Question
                                               : MessageStyle::WarningQuestion) != IDYES) {
    return;
  }
  UndoCounts counts;
  const ErrorCode undone = UndoChangeBackup(context_, backup.path, counts, &refused);
  if (undone != err::Success) {
    ShowMessage(Hwnd(),
                refused.empty() && undone != err::FileNotFound
                    ? ChangeBackupFailedMessage(undone)
                    : UndoRefusedMessage(backup.path, undone, refused),
                MessageStyle::Error);
    return;
  }
  ShowMessage(
      Hwnd(),
      FormatText(L"Put back %lu settings. %lu settings could not be put back.",
                 static_cast<uint32_t>(counts.restored), static_cast<uint32_t>(counts.failed)),
      counts.failed == 0 ? MessageStyle::Information : MessageStyle::Warning);
  EndDialog(IDOK);
}

void CUndoChangeDlg::OnDestroy() { tips_.Destroy(); }

void UndoAChange(HWND owner, Registry& registry, FileSystem& files, System& system,
                 CProfileStore& settings) {
  const BackupContext context{registry, files, system, settings};
  std::vector<ChangeBackupEntry> backups;
  std::wstring folder;
  if (const ErrorCode listed = ListChangeBackups(context, backups, &folder);
      listed != err::Success) {
    ShowMessage(owner, BackupFolderUnreadableMessage(folder, listed), MessageStyle::Error);
    return;
  }
  if (backups.empty()) {
    ShowMessage(owner,
                L"There is no change to undo. Tessaly saves the settings it is about to change "
                L"each time it changes a product's folders or the Libraries tab of Kontakt.",
                MessageStyle::Information);
    return;
  }
  CUndoChangeDlg dialog(context, std::move(backups));
  dialog.DoModal(owner);
}

}  // namespace tessaly
