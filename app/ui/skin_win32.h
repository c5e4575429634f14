// The program's window skin: once loaded, every dialog and message box of the UI thread is
// drawn in the dark theme (resources/NormalBlack.ini).
#pragma once

#include <string_view>

#include "app/ui/skin_theme.h"
#include "platform/win32/win32_api.h"

namespace tessaly {

// A control that carries this window property keeps the colours its dialog gives it: the skin
// passes the control's WM_CTLCOLOR* request on to the dialog untouched (CColorEdit sets it).
inline constexpr wchar_t kSkinOwnColorsProp[] = L"Tessaly.OwnColors";

// Skins are RT_RCDATA resources named after their file, e.g. NORMALBLACK.INI (resource names
// are matched without regard to case).
inline constexpr wchar_t kNormalBlackSkin[] = L"NormalBlack.ini";

// The Start page's handle on the skin. The skin itself is process-wide state; the wrapper only
// remembers whether it has set the skin up to take its themes from a module's resources.
class CSkinFrameworkWrapper {
 public:
  virtual ~CSkinFrameworkWrapper();

  bool IsSetUp() const { return setUp_; }
  // Skins come from the resources of `module` (the program), and dialogs created from that
  // module's templates are the ones the skin draws. Sets the flag.
  void SetUpFromResources(HINSTANCE module);
  // Reads the RCDATA resource `name` of the module set up above (of the program if none was),
  // parses it and switches the skin on for the UI thread, the calling thread. Loading again
  // while the skin is on replaces the theme. False if the resource is missing or malformed;
  // the skin then stays as it was.
  bool LoadSkin(const wchar_t* name);

 private:
  bool setUp_ = false;
};

// While one of these lives, windows that the thread creates are left in system colours. Wrap
// it around the shell's common dialogs (GetOpenFileNameW, SHBrowseForFolderW): they host
// Explorer views that the skin cannot reach, and the message boxes they show themselves (for
// a file that does not exist, say) must match them.
class CSkinSuspend {
 public:
  CSkinSuspend();
  ~CSkinSuspend();
  CSkinSuspend(const CSkinSuspend&) = delete;
  CSkinSuspend& operator=(const CSkinSuspend&) = delete;
};

bool SkinIsOn();
// The theme in use; the built-in defaults while the skin is off.
const SkinTheme& CurrentSkinTheme();

// Switches the skin on from an ini text (as LoadSkin does with a resource): 0, or the parse
// error (13, 1359) with the skin left as it was.
[[nodiscard]] ErrorCode LoadSkinFromText(std::string_view iniText);
// Switches the skin off: no new window is skinned, skinned ones pass their messages through,
// the brushes are released.
void UnloadSkin();

// Applies the skin to an existing dialog (one created before the skin was on): its colours,
// its children's themes and its title bar. Does nothing while the skin is off.
void SkinWindow(HWND dialog);

}  // namespace tessaly
