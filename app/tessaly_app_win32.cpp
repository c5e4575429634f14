// Start-up and the wizard flow.
#include "app/tessaly_app_win32.h"

#include "platform/win32/win32_api.h"

#include <commctrl.h>

#include "app/shell/about_dlg.h"
#include "app/shell/preferences_dlg.h"
#include "app/shell/undo_change_dlg.h"
#include "app/shell/shell_settings.h"
#include "app/shell/start_dlg.h"
#include "app/ui/system_dialogs_win32.h"
#include "catalog/file_database.h"
#include "kontakt/kontakt_organizer_dlg.h"
#include "platform/text.h"
#include "plugins/dupe_finder_dlg.h"
#include "plugins/os_platform_dlg.h"
#include "product_manager/file_database_dlg.h"
#include "product_manager/product_manager_dlg.h"
#include "relocation/choose_folder_dlg.h"
#include "relocation/relocation_recovery.h"
#include "relocation/relocate_content_dlg.h"
#include "relocation/relocation_settings.h"
#include "resources/resource.h"
#include "thumbnails/fix_thumbnails_dlg.h"

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

// A page ends with the id of the button that ended it, so the flow's end codes are those ids.
static_assert(kEndNext == IDC_NEXT);
static_assert(kEndBack == IDC_BACK);
static_assert(kEndCancel == IDCANCEL);

}  // namespace

CTessalyApp::CTessalyApp()
    : profile_(registry_, L"Quillmoor", ProgramName()),
      context_{registry_, files_, system_, profile_, *this} {}

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
  INT_PTR endCode = kEndCancel;
  int selection = 0;
  // Each page is made anew for its visit, receives its inputs, runs modally and leaves its
  // decisions, which are stored whatever ended it (a page whose window never opened leaves none).
  switch (PageFor(wizard, page)) {
    case WizardPage::Start: {
      CStartDlg start(context_);
      start.SetInputs(LoadStartPage(profile_));
      if (!askedAboutRelocation_) {
        start.SetOnShown([this](HWND page) { AskAboutInterruptedRelocation(page); });
      }
      endCode = start.DoModal();
      selection = start.Selection();
      if (endCode >= 0) StoreStartPage(profile_, selection);
      break;
    }
    case WizardPage::OsPlatform: {
      COsPlatformDlg folders(context_);
      folders.SetInputs(LoadPluginFolderChoice(profile_, system_, registry_, files_));
      endCode = folders.DoModal();
      if (endCode >= 0) StorePluginFolderChoice(profile_, folders.Choice());
      break;
    }
    case WizardPage::DupeFinder: {
      CDupeFinderDlg finder(context_);
      finder.SetInputs(LoadDupeSearchInputs(profile_));
      endCode = finder.DoModal();
      break;
    }
    case WizardPage::FileDatabase: {
      CFileDatabaseDlg locate(context_);
      endCode = locate.DoModal();
      break;
    }
    case WizardPage::ProductManager: {
      CProductManagerDlg products(context_);
      products.SetInputs(LoadProductManagerInputs(profile_));
      endCode = products.DoModal();
      if (endCode >= 0) StoreProductFilters(profile_, products.TypeFilter(), products.PathFilter());
      break;
    }
    case WizardPage::KontaktOrganizer: {
      CKontaktOrganizerDlg libraries(context_);
      libraries.SetInputs(LoadKontaktOrganizerInputs(profile_));
      endCode = libraries.DoModal();
      if (endCode >= 0) StoreKontaktOrganizerInputs(profile_, libraries.Inputs());
      break;
    }
    case WizardPage::ChooseFolder: {
      CChooseFolderDlg folders(context_);
      folders.SetInputs(LoadFolderChoice(profile_));
      endCode = folders.DoModal();
      if (endCode >= 0) {
        StoreFolderChoice(profile_, folders.Choice());
        if (endCode == kEndNext) StoreConfirmedTarget(profile_, folders.ConfirmedTarget());
      }
      break;
    }
    case WizardPage::RelocateContent: {
      CRelocateContentDlg relocation(context_);
      relocation.SetInputs(LoadRelocationRequest(profile_));
      endCode = relocation.DoModal();
      break;
    }
    case WizardPage::FixThumbnails: {
      CDialogFixThumbnails thumbnails(context_);
      endCode = thumbnails.DoModal();
      break;
    }
    default:
      // A pair the flow has no page for ends the program, like a page that cannot open.
      return kLeaveProgram;
  }
  // A page whose window could not be created ends the program, the Start page included.
  if (endCode < 0) return kLeaveProgram;
  return NextPage(flow_, static_cast<int>(endCode), selection,
                  [this] { return CheckFileDatabase(profile_, files_, nullptr) == err::Success; });
}

void CTessalyApp::RunPreferences(HWND owner) {
  CPreferencesDlg preferences(
      LoadPreferences(profile_, registry_, files_, system_), system_.Is64BitWindows(),
      [this](HWND dialog) {
        RestoreOriginalSettings(dialog, registry_, files_, system_, profile_);
      },
      [this](HWND dialog) { UndoAChange(dialog, registry_, files_, system_, profile_); });
  if (preferences.DoModal(owner) == IDOK) {
    StorePreferences(profile_, preferences.Host32(), preferences.Host64());
  }
}

void CTessalyApp::AskAboutInterruptedRelocation(HWND owner) {
  askedAboutRelocation_ = true;
  // The questions and messages, owned by the Start page.
  class StartPagePrompts : public RecoveryPrompts {
   public:
    explicit StartPagePrompts(HWND owner) : owner_(owner) {}
    void Tell(const std::wstring& text, Tone tone) override {
      ShowMessage(owner_, text,
                  tone == Tone::Warning       ? MessageStyle::Warning
                  : tone == Tone::Information ? MessageStyle::Information
                                              : MessageStyle::Error);
    }
    bool Confirm(const std::wstring& question) override {
      return ShowMessage(owner_, question, MessageStyle::WarningQuestion) == IDYES;
    }
    size_t Choose(const ChoiceQuestion& question) override { return AskChoice(owner_, question); }

   private:
    HWND owner_;
  } prompts(owner);
  CheckInterruptedRelocation(files_, system_, prompts);
}

void CTessalyApp::RunAbout(HWND owner) {
  CAboutDlg about(files_, system_);
  about.DoModal(owner);
}

}  // namespace tessaly
