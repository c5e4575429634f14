// The About box: the program's version line and legal notice from its own version record, and
// which edition (32-bit or 64-bit) the program is.
#include "app/shell/about_dlg.h"

#include <commctrl.h>

#include "app/ui/page_win32.h"
#include "app/ui/system_dialogs_win32.h"
#include "platform/text.h"
#include "plugins/plugin_file.h"
#include "resources/resource.h"

namespace tessaly {
namespace {

// The two setup programs ship the same sources built for x86 and for x64; the box says which one
// runs, under the lines the version record gives.
constexpr const wchar_t* kEdition =
    sizeof(void*) == 8 ? L"64-bit edition (x64)" : L"32-bit edition (x86)";

}  // namespace

CAboutDlg::CAboutDlg(FileSystem& files, System& system)
    : CDialog(IDD_ABOUT), files_(files), system_(system) {}

bool CAboutDlg::OnInitDialog() {
  CPluginFile program(files_, system_, ProgramFilePath());
  const std::wstring version = program.GetVersionString(L"ProductVersion");
  const std::wstring copyright = program.GetVersionString(L"LegalCopyright");
  SetItemText(IDC_ABOUT_VERSION, FormatText(L"Tessaly version %s %s", version.c_str(), L"Free"));
  SetItemText(IDC_ABOUT_COPYRIGHT, copyright);
  SetItemText(IDC_ABOUT_EDITION, kEdition);
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
