// The change-folder and relocate-products dialogs without windows: their words, the parent
// folder a relocation starts from, their exact texts, and the checks that refuse a folder.
#include "product_manager/change_folder_text.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/file_ops.h"
#include "tests/support/fake_file_system.h"

namespace tessaly {
namespace {

// A full folder path of exactly `length` characters under D:\ .
std::wstring FolderOfLength(size_t length) {
  std::wstring folder = L"D:\\";
  folder.append(length - folder.size(), L'x');
  return folder;
}

TEST(ChangeFolderWordsTest, TypesAndKindsHaveTheirWords) {
  const struct {
    uint32_t type;
    const wchar_t* word;
    const wchar_t* sentence;  // as the product manager's type line writes it
  } types[] = {
      {1, L"App/Plugin", L"App/plugin"}, {2, L"Content Library", L"Content library"},
      {4, L"Bundle", L"Bundle"},         {8, L"Driver/Utility", L"Driver/utility"},
      {16, L"Unrecognized", L""},        {0, L"Unrecognized", L""},
      {3, L"Unrecognized", L""},         {0xFFFF, L"Unrecognized", L""},
  };
  for (const auto& c : types) {
    const ProductType type = static_cast<ProductType>(c.type);
    EXPECT_EQ(ProductTypeWord(type), c.word) << c.type;
    EXPECT_EQ(ProductTypeWord(type, WordCase::Sentence), c.sentence) << c.type;
  }

  const struct {
    uint32_t kind;
    const wchar_t* word;
  } kinds[] = {
      {1, L"content"},
      {8, L"install"},
      {16, L"32-bit VST plugin"},
      {32, L"64-bit VST plugin"},
      {2, L""},
      {0, L""},
      {24, L""},
      {0x1000, L""},
  };
  for (const auto& c : kinds)
    EXPECT_EQ(ValueKindWord(static_cast<ValueKind>(c.kind)), c.word) << c.kind;
}

TEST(ChangeFolderParentTest, OldParentIsTheFolderWithoutItsLastComponent) {
  const struct {
    const wchar_t* folder;
    const wchar_t* parent;
  } cases[] = {
      {L"D:\\Libraries\\Komplete\\", L"D:\\Libraries"},
      {L"D:\\Libraries\\Komplete", L"D:\\Libraries"},
      {L"d:\\libraries\\KOMPLETE", L"d:\\libraries"},  // letter case as given
      {L"D:\\Libraries", L"D:\\"},  // a parent that is a root keeps its backslash
      {L"D:\\Libraries\\", L"D:\\"},
      {L"D:\\", L"D:\\"},  // a root is its own parent
      {L"\\\\nas\\music\\Komplete", L"\\\\nas\\music"},
      {L"\\\\nas\\music\\Komplete\\", L"\\\\nas\\music"},
      {L"\\\\nas\\music", L"\\\\nas\\music"},  // a share is a root
      // Values with no parent give none: relative, drive-relative, root-relative and empty.
      {L"Kontakt", L""},
      {L"Kontakt\\Library", L""},
      {L"C:", L""},
      {L"C:Kontakt", L""},
      {L"\\Kontakt", L""},
      {L"\\\\nas", L""},
      {L"\\\\\\music", L""},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(OldParentOf(c.folder), c.parent) << c.folder;

  // A long folder is never cut short: its parent is all but its last component.
  const std::wstring longFolder = FolderOfLength(300) + L"\\Komplete";
  EXPECT_EQ(OldParentOf(longFolder), FolderOfLength(300));
}

TEST(ChangeFolderParentTest, ARootParentRebasesTheFoldersBelowIt) {
  // The old parent of a folder right under a drive is the drive root, and a relocation from it
  // moves that folder and its neighbours to the new parent.
  const std::wstring parent = OldParentOf(L"D:\\Komplete\\");
  ASSERT_EQ(parent, L"D:\\");
  std::wstring moved;
  ASSERT_EQ(RebasePath(L"D:\\Komplete", parent, L"E:\\Moved", moved), 0u);
  EXPECT_EQ(moved, L"E:\\Moved\\Komplete");
  ASSERT_EQ(RebasePath(L"d:\\Kontakt\\Factory", parent, L"E:\\Moved", moved), 0u);
  EXPECT_EQ(moved, L"E:\\Moved\\Kontakt\\Factory");
  EXPECT_EQ(RebasePath(L"C:\\Komplete", parent, L"E:\\Moved", moved), err::FileNotFound);
}

TEST(ChangeFolderTextsTest, CaptionsAndQuestionsCarryTheirWordsInOrder) {
  using namespace changefolder;
  const struct {
    std::wstring text;
    const wchar_t* expected;
  } cases[] = {
      // The buttons' captions with their access keys; a "&" of a name or path stays text.
      {UseForProductCaption(L"Massive"), L"&Use for Massive only"},
      {UseForProductCaption(L"Drums & Bass"), L"&Use for Drums && Bass only"},
      {UseForAllCaption(L"App/Plugin"), L"Use for &all App/Plugin products..."},
      {RelocateCaption(L"Content Library", L"D:\\Libraries"),
       L"&Relocate Content Library products from D:\\Libraries..."},
      {RelocateCaption(L"Content Library", L"D:\\R&B"),
       L"&Relocate Content Library products from D:\\R&&B..."},
      {ChooseFolderPrompt(L"64-bit VST plugin", L"Massive"),
       L"Choose 64-bit VST plugin folder for Massive:"},
      {BrowseTitle(L"install", L"Massive"), L"Select a new install folder for Massive:"},
      {UseForAllQuestion(L"content", L"Content Library", L"E:\\Libraries\\Strings"),
       L"This will change the content folder property of Content Library products matching "
       L"criteria you specify in the next step to: E:\\Libraries\\Strings. Proceed to the next "
       L"step?"},
      {LimitQuestion(L"App/Plugin", L"C:\\VST"),
       L"Would you like to limit this operation only to App/Plugin products that are also in "
       L"C:\\VST? (If you click Yes, App/Plugin products NOT currently in C:\\VST will not be "
       L"affected.)"},
      {relocate::OldParentLabel(L"content"), L"Old parent content folder:"},
      {relocate::NewParentLabel(L"32-bit VST plugin"), L"New parent 32-bit VST plugin folder:"},
      {relocate::Question(L"install", L"E:\\New"),
       L"Ready to register install folders to E:\\New. Do you wish to proceed?"},
      {relocate::Explanation(L"content", L"Content Library", L"D:\\Old"),
       L"This will change the content folders of all Content Library products currently "
       L"registered under D:\\Old to a new parent location that you specify below. This will not "
       L"affect other product types, and it won\u2019t change any products that are registered "
       L"under different parent folders.\r\n\r\nIMPORTANT: This also won\u2019t move any files. "
       L"The purpose of this feature is to repair your registered folder locations after "
       L"you\u2019ve moved your installed products to a different folder or drive."},
      // Text that looks like a format is shown as it is.
      {UseForProductCaption(L"100%s Pack"), L"&Use for 100%s Pack only"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.text, c.expected);
}

TEST(ChangeFolderTextsTest, OpenReportsTheShellsErrorAndNothingWhenTheFolderOpened) {
  const struct {
    intptr_t shellResult;
    const wchar_t* expected;
  } cases[] = {
      // A missing folder: the shell cannot find the file or the path.
      {2, L"Explore operation failed with error 2. Path might not exist."},
      {3, L"Explore operation failed with error 3. Path might not exist."},
      {0, L"Explore operation failed with error 0. Path might not exist."},  // out of memory
      {32, L"Explore operation failed with error 32. Path might not exist."},
      // Above 32 the shell opened the folder.
      {33, L""},
      {42, L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(changefolder::ExploreFailedMessage(c.shellResult), c.expected) << c.shellResult;
  }
}

TEST(ChangeFolderCheckTest, ChosenFolderIsRefusedWhenMissingTooLongOrWithoutParent) {
  using A = FolderAction;
  using C = FolderCheck;
  const std::wstring longest = FolderOfLength(259);
  const std::wstring tooLong = FolderOfLength(260);
  const struct {
    A action;
    bool selected;
    std::wstring folder;
    C expected;
  } cases[] = {
      // Nothing selected: also when an earlier selection left a folder behind.
      {A::UseForProduct, false, L"", C::NothingSelected},
      {A::UseForAll, false, L"", C::NothingSelected},
      {A::Relocate, false, L"D:\\Libraries\\Komplete", C::NothingSelected},
      {A::UseForAll, true, L"", C::NothingSelected},
      // 259 characters fit a Windows path, 260 do not, whatever the button.
      {A::UseForProduct, true, longest, C::Accepted},
      {A::UseForAll, true, longest, C::Accepted},
      {A::Relocate, true, longest, C::Accepted},
      {A::UseForProduct, true, tooLong, C::TooLong},
      {A::UseForAll, true, tooLong, C::TooLong},
      {A::Relocate, true, tooLong, C::TooLong},
      // Only a relocation needs a parent; a drive root is its own.
      {A::Relocate, true, L"D:\\Libraries\\Komplete\\", C::Accepted},
      {A::Relocate, true, L"D:\\", C::Accepted},
      {A::Relocate, true, L"Kontakt", C::NoParent},
      {A::Relocate, true, L"C:", C::NoParent},
      {A::UseForProduct, true, L"Kontakt", C::Accepted},
      {A::UseForAll, true, L"C:", C::Accepted},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckChosenFolder(c.action, c.selected, c.folder), c.expected)
        << static_cast<int>(c.action) << " " << c.selected << " " << c.folder.size();
  }
}

TEST(ChangeFolderCheckTest, RefusalsSayWhatIsWrongWithTheFolder) {
  EXPECT_EQ(FolderCheckMessage(FolderCheck::Accepted, L"D:\\x"), L"");
  EXPECT_EQ(FolderCheckMessage(FolderCheck::NothingSelected, L""),
            L"Please select a folder first.");
  const std::wstring tooLong = FolderOfLength(260);
  EXPECT_EQ(FolderCheckMessage(FolderCheck::TooLong, tooLong),
            L"The folder " + tooLong +
                L" is too long: Windows folders must be shorter than 260 characters. Please "
                L"choose another folder.");
  EXPECT_EQ(FolderCheckMessage(FolderCheck::NoParent, L"Kontakt"),
            L"The folder Kontakt is not a full folder path, so it has no parent folder to "
            L"relocate products from. Please choose a folder such as D:\\Libraries\\Komplete.");
}

TEST(ChangeFolderCheckTest, NewParentMustBeAnExistingFullFolderThatFits) {
  FakeFileSystem fs;
  fs.AddVolume(L"E:", 1u << 30, 1u << 30);
  fs.AddFolder(L"E:\\Libraries");
  fs.AddFile(L"E:\\notes.txt", std::string_view("x"));
  fs.AddVolume(L"\\\\nas\\music", 1u << 30, 1u << 30);
  fs.AddFolder(L"\\\\nas\\music\\Komplete");
  const std::wstring longest = L"E:\\" + std::wstring(256, L'x');  // 259 characters
  fs.AddFolder(longest);
  using N = NewParentCheck;
  const struct {
    std::wstring newParent;
    N expected;
  } cases[] = {
      {L"", N::Empty},
      {L"E:\\Libraries", N::Accepted},
      {L"e:\\LIBRARIES\\", N::Accepted},
      {L"E:\\", N::Accepted},
      {L"\\\\nas\\music\\Komplete", N::Accepted},
      {L"E:\\Missing", N::NotAFolder},
      {L"E:\\notes.txt", N::NotAFolder},
      {L"Libraries", N::NotFullPath},
      {L"E:Libraries", N::NotFullPath},
      {L"\\Libraries", N::NotFullPath},
      {longest, N::Accepted},
      {longest + L"y", N::TooLong},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckNewParent(fs, c.newParent), c.expected) << c.newParent;
  }
  // The checks only look.
  EXPECT_TRUE(fs.Operations().empty());

  EXPECT_EQ(NewParentCheckMessage(N::Accepted, L"E:\\x"), L"");
  EXPECT_EQ(NewParentCheckMessage(N::Empty, L""),
            L"Please select a new parent folder before attempting to continue.");
  EXPECT_EQ(
      NewParentCheckMessage(N::NotAFolder, L"E:\\Missing"),
      L"The folder E:\\Missing doesn't appear to exist. Please select a valid parent folder.");
  EXPECT_EQ(NewParentCheckMessage(N::NotFullPath, L"Libraries"),
            L"The folder Libraries is not a full folder path. Please select a full parent folder, "
            L"such as E:\\Libraries.");
  const std::wstring tooLong = L"E:\\" + std::wstring(257, L'x');
  EXPECT_EQ(NewParentCheckMessage(N::TooLong, tooLong),
            L"The folder " + tooLong +
                L" is too long: Windows folders must be shorter than 260 characters. Please "
                L"select a shorter parent folder.");
}

}  // namespace
}  // namespace tessaly
