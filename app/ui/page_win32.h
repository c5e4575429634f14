// The skeleton every page shares: the program icon, the five system-menu commands, the window
// position carried from page to page, painting while minimised, and opening a plugin in the
// user's plugin host.
#pragma once

#include <span>
#include <string_view>

#include "app/ui/dialog_win32.h"
#include "app/ui/page_context_win32.h"
#include "app/ui/page_layout_win32.h"

namespace tessaly {

// The maker's web addresses.
inline constexpr const wchar_t* kMakerWebSite = L"https://www.quillmoor.com/";
inline constexpr const wchar_t* kMakerDownloadsPage = L"https://www.quillmoor.com/downloads/";
inline constexpr const wchar_t* kMakerNewsPage = L"https://www.quillmoor.com/tessaly/";

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
  // Back (1003) and Next (1002) end the page; off for a dialog opened from a page, whose buttons
  // are all its own.
  bool wizardEndings = true;
};

// Appends a separator and the five commands; false if there is no menu.
bool AddSystemMenuCommands(HMENU systemMenu);
// Carries out one of the five commands (the low four bits of `command` are the system's and are
// ignored) for the page `owner`; false for any other command.
bool HandleSystemMenuCommand(PageCommands& commands, UINT command, HWND owner);
// Sizes and moves `page` (to `size`, or keeping its size when that is empty) so that it lies
// wholly inside the work area of the monitor that holds its centre, or of the nearest one: the
// centre is the stored one (CenterX, CenterY) when `profile` is given, else the window's own,
// and the virtual screen's centre when the stored point is on no monitor. The stored centre
// holds wherever the window fits; a window larger than the work area takes the work area's size.
// False without a window or its information.
bool PlaceWindow(HWND page, CProfileStore* profile, ScreenSize size = {});
// PlaceWindow at the stored centre, the size kept.
bool RestoreWindowCenter(HWND page, CProfileStore& profile);
// Stores the centre of `page` in CenterX and CenterY; false without a window.
bool SaveWindowCenter(HWND page, CProfileStore& profile);
// Opens `file` in the plugin host of its platform, or offers Preferences when there is none.
void LaunchInPluginHost(const PageContext& context, bool is64Bit, std::wstring_view file,
                        HWND owner);

// The program icon (icon resource 128) in the system's big and small sizes, for the title bar of
// a page or of a dialog opened from one.
class CProgramIcons {
 public:
  CProgramIcons();
  ~CProgramIcons();
  CProgramIcons(const CProgramIcons&) = delete;
  CProgramIcons& operator=(const CProgramIcons&) = delete;

  HICON Big() const { return big_; }
  // Loads both icons again in the system's sizes at `dpi`.
  void Load(int dpi);
  // Makes both icons the window's own.
  void SetOn(HWND window) const;

 private:
  HICON big_;
  HICON small_;
};

// The base of every wizard page and of the dialogs opened from one. It carries the skeleton above,
// ends a wizard page on Back (1003) and Next (1002) with the button's id, creates the page's tool
// tips from the table the page returns and destroys them with the window.
class CPage : public CDialog {
 public:
  CPage(const PageContext& context, int templateId, PageOptions options);
  ~CPage() override;

 protected:
  // The page's own initialisation, after the skeleton's; the result as for OnInitDialog. The
  // base calls UpdateControls afterwards.
  virtual bool OnInitPage() { return true; }
  // The page's own closing, before its tool tips go and its position is saved.
  virtual void OnDestroyPage() {}
  // Every command first; true when the page has handled it.
  virtual bool OnPageCommand(int id, int notifyCode, HWND control) { return false; }
  // A button's click (BN_CLICKED) that OnPageCommand left; true when the page has handled it.
  // Back and Next reach it too, so that a busy page can hold them back; false lets them end the
  // page.
  virtual bool OnButton(int id) { return false; }
  // Told when Back is pressed, just before the page ends with it.
  virtual void OnBack() {}
  // Asked when Next is pressed: false keeps the page open (the page has told the user why).
  virtual bool CanGoNext() { return true; }
  // The tips of the page's controls.
  virtual std::span<const ToolTipText> ToolTips() const { return {}; }
  // Brings every control's enabled state in line with the page's state.
  virtual void UpdateControls() {}
  // How the page's controls follow a change of its size; unnamed controls stay at the top left.
  virtual std::span<const Anchor> Anchors() const { return {}; }
  // Told after the page has moved to a monitor of another scale and taken its new size: text
  // measured for the old scale is measured again here.
  virtual void OnScaleChanged() {}

  const PageContext& Context() const { return context_; }
  HICON Icon() const { return icons_.Big(); }

  bool OnInitDialog() final;
  void OnDestroy() final;
  bool OnCommand(int id, int notifyCode, HWND control) final;
  bool OnSysCommand(UINT command) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  bool OnSize() final;
  bool OnSizing() final;
  bool OnGetMinMaxInfo(MINMAXINFO& info) final;
  bool OnDpiChanged(int dpi, const RECT& suggested) final;

 private:
  // Stores the page's size when the user has chosen one.
  void SavePageSize();

  const PageContext& context_;
  PageOptions options_;
  CToolTips tips_;
  CProgramIcons icons_;
  CPageLayout layout_;
  bool changingDpi_ = false;  // inside OnDpiChanged's move to the suggested rectangle
};

}  // namespace tessaly
