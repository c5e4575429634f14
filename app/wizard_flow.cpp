// The transition table of the wizard flow.
#include "app/wizard_flow.h"

namespace tessaly {

WizardPage PageFor(int wizard, int page) {
  if (wizard == kStartWizard) return WizardPage::Start;
  struct Entry {
    int wizard;
    WizardPage pages[2];
  };
  static constexpr Entry kTable[] = {
      {0, {WizardPage::OsPlatform, WizardPage::DupeFinder}},
      {1, {WizardPage::FileDatabase, WizardPage::ProductManager}},
      {2, {WizardPage::KontaktOrganizer, WizardPage::None}},
      {3, {WizardPage::FixThumbnails, WizardPage::None}},
      {4, {WizardPage::ChooseFolder, WizardPage::RelocateContent}},
  };
  for (const Entry& e : kTable) {
    if (e.wizard == wizard) return (page == 0 || page == 1) ? e.pages[page] : WizardPage::None;
  }
  return WizardPage::None;
}

int NextPage(WizardFlowState& state, int endCode, int startSelection,
             const std::function<bool()>& fileDatabaseCheck) {
  auto backToStart = [&state] {
    state.wizard = kStartWizard;
    return kShowStartPage;
  };
  switch (PageFor(state.wizard, state.page)) {
    case WizardPage::Start:
      if (endCode == kEndCancel) return kLeaveProgram;
      state.wizard = startSelection;
      if (startSelection == 1) return fileDatabaseCheck && fileDatabaseCheck() ? 1 : 0;
      if (startSelection >= 0 && startSelection <= 4) return 0;
      return kLeaveProgram;
    case WizardPage::OsPlatform:
    case WizardPage::FileDatabase:
    case WizardPage::ChooseFolder:
      if (endCode == kEndNext) return 1;
      return endCode == kEndBack ? backToStart() : kLeaveProgram;
    case WizardPage::DupeFinder:
    case WizardPage::RelocateContent: return endCode == kEndBack ? 0 : kLeaveProgram;
    case WizardPage::ProductManager:
    case WizardPage::KontaktOrganizer:
    case WizardPage::FixThumbnails: return endCode == kEndBack ? backToStart() : kLeaveProgram;
    case WizardPage::None: break;
  }
  return kLeaveProgram;
}

}  // namespace tessaly
