// The wizard flow's transition table, walked as a user walks it.
#include <gtest/gtest.h>

#include "app/wizard_flow.h"

namespace tessaly {
namespace {

struct Step {
  int wizard, page, endCode, selection;
  bool databaseFound;
  int expectedWizard, expectedPage;
};

TEST(WizardFlowTest, TransitionTable) {
  const Step steps[] = {
      // Start page: Cancel leaves; the selection enters the flow.
      {253, 253, 2, 0, false, 253, 255},
      {253, 253, 1002, 0, false, 0, 0},
      {253, 253, 1002, 2, false, 2, 0},
      {253, 253, 1002, 3, false, 3, 0},
      {253, 253, 1002, 4, false, 4, 0},
      {253, 253, 1002, 1, true, 1, 1},   // file database known: straight to the product manager
      {253, 253, 1002, 1, false, 1, 0},  // otherwise the locate page first
      {253, 253, 1002, 5, false, 5, 255},
      {253, 0, 1, 0, false, 0, 0},  // any page number shows the Start page; OK still enters
      // Duplicate plugins: folders page, then the finder; Back from the finder to the folders.
      {0, 0, 1002, 0, false, 0, 1},
      {0, 0, 1003, 0, false, 253, 253},
      {0, 0, 2, 0, false, 0, 255},
      {0, 1, 1003, 0, false, 0, 0},
      {0, 1, 1002, 0, false, 0, 255},
      {0, 1, 1, 0, false, 0, 255},
      // Product manager: Back always returns to Start, even after the locate page.
      {1, 0, 1002, 0, false, 1, 1},
      {1, 0, 1003, 0, false, 253, 253},
      {1, 1, 1003, 0, false, 253, 253},
      {1, 1, 2, 0, false, 1, 255},
      // One-page wizards.
      {2, 0, 1003, 0, false, 253, 253},
      {2, 0, 1002, 0, false, 2, 255},
      {3, 0, 1003, 0, false, 253, 253},
      {3, 0, 2, 0, false, 3, 255},
      // Relocation: Back from the progress page shows the folder page again.
      {4, 0, 1002, 0, false, 4, 1},
      {4, 0, 1003, 0, false, 253, 253},
      {4, 1, 1003, 0, false, 4, 0},
      {4, 1, -1, 0, false, 4, 255},  // a page that could not be created
      // Pairs no wizard has end the program.
      {2, 1, 1003, 0, false, 2, 255},
      {3, 1, 1003, 0, false, 3, 255},
      {0, 2, 1003, 0, false, 0, 255},
      {7, 0, 1002, 0, false, 7, 255},
      {-1, 0, 1003, 0, false, -1, 255},
  };
  for (const Step& s : steps) {
    WizardFlowState state{s.wizard, s.page};
    int checks = 0;
    const int next = NextPage(state, s.endCode, s.selection, [&] {
      ++checks;
      return s.databaseFound;
    });
    SCOPED_TRACE(testing::Message() << "wizard " << s.wizard << " page " << s.page << " code "
                                    << s.endCode << " selection " << s.selection);
    EXPECT_EQ(next, s.expectedPage);
    EXPECT_EQ(state.wizard, s.expectedWizard);
    // The file-database check runs only when the product manager is chosen on the Start page.
    EXPECT_EQ(checks, (s.wizard == 253 && s.endCode != 2 && s.selection == 1) ? 1 : 0);
  }
}

TEST(WizardFlowTest, PagesOfEachWizard) {
  EXPECT_EQ(PageFor(253, 253), WizardPage::Start);
  EXPECT_EQ(PageFor(0, 0), WizardPage::OsPlatform);
  EXPECT_EQ(PageFor(0, 1), WizardPage::DupeFinder);
  EXPECT_EQ(PageFor(1, 0), WizardPage::FileDatabase);
  EXPECT_EQ(PageFor(1, 1), WizardPage::ProductManager);
  EXPECT_EQ(PageFor(2, 0), WizardPage::KontaktOrganizer);
  EXPECT_EQ(PageFor(3, 0), WizardPage::FixThumbnails);
  EXPECT_EQ(PageFor(4, 0), WizardPage::ChooseFolder);
  EXPECT_EQ(PageFor(4, 1), WizardPage::RelocateContent);
  EXPECT_EQ(PageFor(2, 1), WizardPage::None);
  EXPECT_EQ(PageFor(5, 0), WizardPage::None);
}

}  // namespace
}  // namespace tessaly
