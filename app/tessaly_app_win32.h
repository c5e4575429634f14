// CTessalyApp: the program's one application object. It owns the platform objects and the
// settings store the pages use, and runs the wizard flow one modal page at a time.
#pragma once

#include "app/settings/profile_store.h"
#include "app/wizard_flow.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "registry_archive/first_run_backups.h"

namespace tessaly {

class CTessalyApp {
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

  Registry& Reg() { return registry_; }
  FileSystem& Files() { return files_; }
  System& Sys() { return system_; }
  CProfileStore& Profile() { return profile_; }
  BackupContext Backups() { return BackupContext{registry_, files_, system_, profile_}; }

  int CurrentWizard() const { return flow_.wizard; }

 private:
  Win32Registry registry_;
  Win32FileSystem files_;
  Win32System system_;
  CProfileStore profile_;
  WizardFlowState flow_;
};

// The application object.
CTessalyApp& TheApp();

}  // namespace tessaly
