// CTessalyApp: the program's application object. It owns the platform objects and the settings
// store, hands them to every page in a page context, and runs the wizard flow one modal page at a
// time: each page receives its inputs before its run, and the flow stores its decisions after.
#pragma once

#include "app/settings/profile_store.h"
#include "app/ui/page_context_win32.h"
#include "app/wizard_flow.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"

namespace tessaly {

class CTessalyApp : private PageCommands {
 public:
  CTessalyApp();
  virtual ~CTessalyApp() = default;
  CTessalyApp(const CTessalyApp&) = delete;
  CTessalyApp& operator=(const CTessalyApp&) = delete;

  // Prepares the common controls and runs the wizard flow until a page leaves the program.
  // Always false: there is no message loop to run afterwards.
  bool InitInstance();
  // Shows the page of (wizard, page), waits for it to close and returns the next page number
  // (0, 1, 253 or 255); may change the current wizard.
  int RunWizardPage(int wizard, int page);

 private:
  void RunPreferences(HWND owner) override;
  void RunAbout(HWND owner) override;
  // At the first Start page of a run: a relocation cut off in an earlier run is described, and
  // the user chooses to finish it, put the original back, or decide later.
  void AskAboutInterruptedRelocation(HWND owner);

  Win32Registry registry_;
  Win32FileSystem files_;
  Win32System system_;
  CProfileStore profile_;
  PageContext context_;
  WizardFlowState flow_;
  bool askedAboutRelocation_ = false;
};

}  // namespace tessaly
