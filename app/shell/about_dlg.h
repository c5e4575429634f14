// CAboutDlg: the About box every page's system menu offers.
#pragma once

#include "app/ui/dialog_win32.h"

namespace tessaly {

// The maker's web addresses.
inline constexpr const wchar_t* kMakerWebSite = L"https://www.quillmoor.com/";
inline constexpr const wchar_t* kMakerDownloadsPage = L"https://www.quillmoor.com/downloads/";
inline constexpr const wchar_t* kMakerNewsPage = L"https://www.quillmoor.com/tessaly/";

class CAboutDlg : public CDialog {
 public:
  CAboutDlg();

 protected:
  bool OnInitDialog() override;
  bool OnNotify(const NMHDR& header, LRESULT& result) override;
};

// The full path of the program's own file, empty if it cannot be read.
std::wstring ProgramFilePath();

}  // namespace tessaly
