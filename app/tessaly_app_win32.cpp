// Start-up and the wizard flow.
#include "app/tessaly_app_win32.h"

#include "platform/win32/win32_api.h"

#include <commctrl.h>

#include "app/shell/about_dlg.h"
#include "app/shell/start_dlg.h"
#include "catalog/file_database.h"
#include "platform/text.h"
#include "plugins/dupe_finder_dlg.h"
#include "plugins/os_platform_dlg.h"

namespace tessaly {
namespace {

// The settings key ends in the program file's name without its extension.
std::wstring ProgramName() {
  std::wstring name = ProgramFilePath();
  name.erase(0, path::FindFileName(name));
  const std::wstring_view extension = path::Extension(name);
  name.resize(name.size() - extension.size());
  return name.empty() ? std::wstring(L"Tessaly") : name;
}

}  // namespace

CTessalyApp::CTessalyApp() : profile_(registry_, L"Quillmoor", ProgramName()) {}

CTessalyApp& TheApp() {
  static CTessalyApp app;
  return app;
}

bool CTessalyApp::InitInstance() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  // Every classic control class, and the link control of the About box.
  controls.dwICC = 0xFF | ICC_LINK_CLASS;
  InitCommonControlsEx(&controls);

  flow_ = WizardFlowState{};
  while (flow_.page != kLeaveProgram) {
    flow_.page = RunWizardPage(flow_.wizard, flow_.page);
  }
  return false;
}

int CTessalyApp::RunWizardPage(int wizard, int page) {
  flow_.wizard = wizard;
  flow_.page = page;
  int endCode = kEndCancel;
  int selection = 0;
  switch (PageFor(wizard, page)) {
    case WizardPage::Start: {
      CStartDlg start;
      endCode = static_cast<int>(start.DoModal());
      selection = start.Selection();
      break;
    }
    case WizardPage::OsPlatform: {
      COsPlatformDlg folders;
      endCode = static_cast<int>(folders.DoModal());
      break;
    }
    case WizardPage::DupeFinder: {
      CDupeFinderDlg finder;
      endCode = static_cast<int>(finder.DoModal());
      break;
    }
    default:
      // Wizards whose pages this program does not have yet end it, like a page that cannot open.
      return kLeaveProgram;
  }
  // A page whose window could not be created ends the program, the Start page included.
  if (endCode < 0) return kLeaveProgram;
  return NextPage(flow_, endCode, selection, [this] {
    return CheckFileDatabase(profile_, files_, nullptr) == err::Success;
  });
}

}  // namespace tessaly
