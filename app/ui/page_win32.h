// The skeleton every page shares: the program icon, the five system-menu commands, the window
// position carried from page to page, painting while minimised, and opening a plugin in the
// user's plugin host.
#pragma once

#include <string_view>

#include "app/shell/about_dlg.h"
#include "app/ui/dialog_win32.h"
#include "app/settings/profile_store.h"

namespace tessaly {

// The commands appended to a page's system menu.
namespace syscmd {
constexpr UINT About = 0x10;
constexpr UINT UserGuide = 0x20;
constexpr UINT CheckForUpdates = 0x40;
constexpr UINT NewsAndInfo = 0x80;
constexpr UINT Preferences = 0x100;
}  // namespace syscmd

// Which parts of the skeleton a page takes part in.
struct PageOptions {
  bool systemMenu = true;
  bool restorePosition = true;
  bool savePosition = true;
};

// Appends a separator and the five commands; false if there is no menu.
bool AddSystemMenuCommands(HMENU systemMenu);
// Carries out one of the five commands (the low four bits of `command` are the system's and are
// ignored) for the page `owner`; false for any other command.
bool HandleSystemMenuCommand(CAboutDlg& aboutBox, UINT command, HWND owner);
// Moves `page` so its centre lies on the stored centre (CenterX, CenterY), or on the virtual
// screen's centre when that point is on no monitor; false without a window or its information.
bool RestoreWindowCenter(HWND page, CProfileStore& profile);
// Stores the centre of `page` in CenterX and CenterY; false without a window.
bool SaveWindowCenter(HWND page, CProfileStore& profile);
// Opens `file` in the plugin host of its platform, or offers Preferences when there is none.
void LaunchInPluginHost(bool is64Bit, std::wstring_view file);

class CPage : public CDialog {
 public:
  CPage(int templateId, PageOptions options);
  ~CPage() override;

 protected:
  // The page's own initialisation, after the skeleton's; the result as for OnInitDialog.
  virtual bool OnInitPage() { return true; }
  // The page's own closing, before its position is saved.
  virtual void OnDestroyPage() {}
  CAboutDlg& AboutBox() { return aboutBox_; }
  HICON Icon() const { return icon_; }

  bool OnInitDialog() final;
  void OnDestroy() final;
  bool OnSysCommand(UINT command) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  PageOptions options_;
  CAboutDlg aboutBox_;
  HICON icon_;
  HICON smallIcon_;
};

}  // namespace tessaly
