// The wizard flow: which page belongs to a (wizard, page) pair and where each end code leads.
// The application object shows the pages; this is the table it follows.
#pragma once

#include <functional>

namespace tessaly {

// Flow numbers: wizards 0-4 are the Start page's choices.
constexpr int kStartWizard = 253;    // as a wizard: the Start page is shown
constexpr int kShowStartPage = 253;  // as a page number: show the Start page
constexpr int kLeaveProgram = 255;

// Page end codes (also the ids of the Next and Back buttons).
constexpr int kEndNext = 1002;
constexpr int kEndBack = 1003;
constexpr int kEndCancel = 2;

enum class WizardPage {
  None,
  Start,             // CStartDlg
  OsPlatform,        // COsPlatformDlg
  DupeFinder,        // CDupeFinderDlg
  FileDatabase,      // CFileDatabaseDlg
  ProductManager,    // CProductManagerDlg
  KontaktOrganizer,  // CKontaktOrganizerDlg
  FixThumbnails,     // CDialogFixThumbnails
  ChooseFolder,      // CChooseFolderDlg
  RelocateContent,   // CRelocateContentDlg
};

// The page shown for the pair; None for a pair no wizard has (the program then ends silently).
WizardPage PageFor(int wizard, int page);

struct WizardFlowState {
  int wizard = kStartWizard;
  int page = kShowStartPage;
};

// Where the flow goes after the page of `state` ended with `endCode`. `startSelection` is the
// Start page's selection (read only when the Start page ended); `fileDatabaseCheck` is asked only
// when the product manager was chosen. Updates state.wizard as the flow requires and returns the
// next page number (0, 1, 253 or 255), which the caller stores in state.page.
int NextPage(WizardFlowState& state, int endCode, int startSelection,
             const std::function<bool()>& fileDatabaseCheck);

}  // namespace tessaly
