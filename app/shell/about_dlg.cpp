// The About box: the program's version line and legal notice from its own version record.
#include "app/shell/about_dlg.h"

#include <commctrl.h>

#include "app/ui/page_win32.h"
#include "app/ui/system_dialogs_win32.h"
#include "platform/text.h"
#include "plugins/plugin_file.h"
#include "resources/resource.h"

namespace tessaly {

CAboutDlg::CAboutDlg(FileSystem& files, System& system)
    : CDialog(IDD_ABOUT), files_(files), system_(system) {}

bool CAboutDlg::OnInitDialog() {
  CPluginFile program(files_, system_, ProgramFilePath());
  const std::wstring version = program.GetVersionString(L"ProductVersion");
  const std::wstring copyright = program.GetVersionString(L"LegalCopyright");
  SetItemText(IDC_ABOUT_VERSION, FormatText(L"Tessaly version %s %s", version.c_str(), L"Free"));
  SetItemText(IDC_ABOUT_COPYRIGHT, copyright);
  return true;
}

bool CAboutDlg::OnNotify(const NMHDR& header, LRESULT& result) {
  if (header.idFrom != IDC_ABOUT_LINK || (header.code != NM_CLICK && header.code != NM_RETURN)) {
    return false;
  }
  const auto& link = reinterpret_cast<const NMLINK&>(header);
  OpenWithShell(Hwnd(), ShellTarget::Address, link.item.szUrl);
  result = 0;
  return true;
}

}  // namespace tessaly
