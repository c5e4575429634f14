// CAboutDlg: the About box every page's system menu offers.
#pragma once

#include "app/ui/dialog_win32.h"
#include "platform/file_system.h"
#include "platform/system.h"

namespace tessaly {

class CAboutDlg : public CDialog {
 public:
  CAboutDlg(FileSystem& files, System& system);

 protected:
  bool OnInitDialog() override;
  bool OnNotify(const NMHDR& header, LRESULT& result) override;

 private:
  FileSystem& files_;
  System& system_;
};

}  // namespace tessaly
