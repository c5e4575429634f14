// The relocation folder page's rules against the fake file system: the Full Target Path, the
// mode texts, and each check of Next with the answers the user gives.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/text.h"
#include "relocation/folder_choice.h"
#include "relocation/folder_identity.h"
#include "tests/support/fake_file_system.h"

namespace tessaly {
namespace {

// Answers questions from a script and records everything said.
struct Script : FolderChoiceDialogue {
  explicit Script(std::deque<bool> replies) : answers(std::move(replies)) {}
  bool Ask(const std::wstring& question) override {
    said.push_back(L"? " + question);
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void Tell(const std::wstring& error) override { said.push_back(L"! " + error); }
  std::deque<bool> answers;
  std::vector<std::wstring> said;
};

TEST(FolderChoiceTest, FullTargetPath) {
  const std::wstring longLocation = L"E:\\" + std::wstring(250, L'x');
  const std::wstring longFull = longLocation + L"\\Strings";
  const struct {
    const wchar_t* source;
    const wchar_t* newLocation;
    bool differentName;
    const wchar_t* full;
  } cases[] = {
      {L"D:\\Samples\\Strings", L"E:\\Content", false, L"E:\\Content\\Strings"},
      {L"D:\\Samples\\Strings", L"E:\\Content", true, L"E:\\Content"},
      {L"D:\\Samples\\Strings\\", L"E:\\Content\\", false, L"E:\\Content\\Strings"},
      {L"D:\\Samples\\Strings", L"E:\\", true, L"E:\\"},
      {L"D:\\Samples\\Strings", L"", false, L""},
      {L"", L"E:\\Content", false, L"E:\\Content"},
      // Too long to use, but never the New Location alone: the check refuses it.
      {L"D:\\Samples\\Strings", longLocation.c_str(), false, longFull.c_str()},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FullTargetPath({c.source, c.newLocation, false, c.differentName}), c.full)
        << ToUtf8(c.source) << " " << ToUtf8(c.newLocation);
  }
}

TEST(FolderChoiceTest, ModeTexts) {
  FolderModeTexts move = TextsForMode(false, false);
  EXPECT_EQ(move.newLabel, L"New Location (where the folder will be moved):");
  EXPECT_TRUE(move.browseOriginal);
  EXPECT_TRUE(move.compareContents);
  EXPECT_EQ(TextsForMode(false, true).newLabel, L"New Location (where the files will be moved):");
  FolderModeTexts link = TextsForMode(true, false);
  EXPECT_EQ(link.originalLabel, L"Original Location (the folder where your files used to reside):");
  EXPECT_EQ(link.newLabel, L"New Location (where the folder currently resides):");
  EXPECT_FALSE(link.browseOriginal);
  EXPECT_FALSE(link.compareContents) << "only a move compares contents";
  EXPECT_EQ(TextsForMode(true, true).newLabel, L"New Location (where the files currently reside):");
}

TEST(FolderChoiceTest, ChecksOfNextInOrder) {
  const struct {
    const char* name;
    const wchar_t* source;
    const wchar_t* newLocation;
    bool linkOnly;
    bool differentName;
    std::deque<bool> answers;
    std::vector<std::wstring> said;  // the last thing said is the outcome
    bool confirmed;
  } cases[] = {
      {"move",
       L"D:\\Samples\\Strings\\",
       L"E:\\Content",
       false,
       false,
       {true},
       {L"? Ready to relocate contents of \"D:\\Samples\\Strings\" to \"E:\\Content\\Strings\". Do "
        L"you wish to proceed?"},
       true},
      {"declined",
       L"D:\\Samples\\Strings",
       L"E:\\Content",
       false,
       false,
       {false},
       {L"? Ready to relocate contents of \"D:\\Samples\\Strings\" to \"E:\\Content\\Strings\". Do "
        L"you wish to proceed?",
        L"! Aborting operation."},
       false},
      {"missing source",
       L"D:\\Nothing",
       L"E:\\Content",
       false,
       false,
       {},
       {L"! Source directory D:\\Nothing doesn't appear to exist."},
       false},
      {"source a file",
       L"D:\\Samples\\notes.txt",
       L"E:\\Content",
       false,
       false,
       {},
       {L"! Source path D:\\Samples\\notes.txt is not a directory."},
       false},
      {"source a link",
       L"D:\\Linked",
       L"E:\\Content",
       false,
       false,
       {},
       {L"! Source path D:\\Linked is a symbolic link! Please select a real source folder."},
       false},
      {"source a root",
       L"D:\\",
       L"E:\\Content",
       false,
       false,
       {},
       {L"! D:\\ is the root of a drive and cannot be relocated. Please select a folder inside "
        L"it."},
       false},
      {"link only, source exists",
       L"D:\\Empty",
       L"E:\\Content",
       true,
       false,
       {},
       {L"! Source folder D:\\Empty already exists. The \"I have already moved the files\" option "
        L"requires that Original Location not point to an existing item so that Tessaly can "
        L"create a link there."},
       false},
      {"new missing, created",
       L"D:\\Samples\\Strings",
       L"E:\\New\\Deep",
       false,
       false,
       {true, true},
       {L"? Target directory E:\\New\\Deep doesn't appear to exist. Would you like to create it?",
        L"? Ready to relocate contents of \"D:\\Samples\\Strings\" to \"E:\\New\\Deep\\Strings\". "
        L"Do you wish to proceed?"},
       true},
      {"new missing, not created",
       L"D:\\Samples\\Strings",
       L"E:\\New",
       false,
       false,
       {false},
       {L"? Target directory E:\\New doesn't appear to exist. Would you like to create it?",
        L"! Please select a valid New Location before trying again."},
       false},
      {"new a file",
       L"D:\\Samples\\Strings",
       L"E:\\file.bin",
       false,
       false,
       {},
       {L"! Target path E:\\file.bin is not a directory."},
       false},
      {"same",
       L"D:\\Samples\\Strings",
       L"D:\\Samples\\Strings",
       false,
       true,
       {},
       {L"! Source and target paths cannot be the same."},
       false},
      {"target inside source",
       L"D:\\Samples",
       L"D:\\Samples\\Strings",
       false,
       false,
       {},
       {L"! Target directory can't be inside source directory."},
       false},
      {"source inside target",
       L"D:\\Samples\\Strings",
       L"D:\\Samples",
       false,
       true,
       {},
       {L"! Source directory can't be inside target directory."},
       false},
      // Only whole folder names make a folder lie inside another.
      {"name prefix is not inside",
       L"D:\\Samples\\Strings",
       L"D:\\Samples\\Str",
       false,
       true,
       {true},
       {L"? The directory D:\\Samples\\Str already exists, and might contain files. If you "
        L"proceed, any files from D:\\Samples\\Strings will be merged into the new location. Do "
        L"you want to proceed?",
        L"? Ready to relocate contents of \"D:\\Samples\\Strings\" to \"D:\\Samples\\Str\". Do you "
        L"wish to proceed?",
        L"! Aborting operation."},
       false},
      {"merge declined",
       L"D:\\Samples\\Strings",
       L"E:\\Existing",
       false,
       false,
       {false},
       {L"? The directory E:\\Existing\\Strings already exists, and might contain files. If you "
        L"proceed, any files from D:\\Samples\\Strings will be merged into the new location. Do "
        L"you want to proceed?",
        L"! Please select another target location or make sure E:\\Existing\\Strings is safe to "
        L"use."},
       false},
      {"link only",
       L"D:\\Moved Away",
       L"E:\\Existing",
       true,
       false,
       {true},
       {L"? Ready to link \"D:\\Moved Away\" to \"E:\\Existing\\Moved Away\". Do you wish to "
        L"proceed?"},
       true},
      // Without an Original Location there is no place for the link, though the New Location
      // alone would pass every later check, with or without a different name.
      {"link only, no original location",
       L"",
       L"E:\\Existing\\Strings",
       true,
       true,
       {},
       {L"! Please enter the Original Location before trying again. The link to your files is "
        L"created there."},
       false},
      {"link only, no original location, same name",
       L"",
       L"E:\\Existing",
       true,
       false,
       {},
       {L"! Please enter the Original Location before trying again. The link to your files is "
        L"created there."},
       false},
      {"link only, nothing there",
       L"D:\\Gone",
       L"E:\\Content",
       true,
       false,
       {},
       {L"! The directory E:\\Content\\Gone doesn't exist. Since you have chosen the \"I have "
        L"already moved the files\" option, please select a valid directory for Original "
        L"Location to link to."},
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFileSystem fs;
    fs.AddVolume(L"D:\\", 1 << 20, 1 << 21);
    fs.AddVolume(L"E:\\", 1 << 20, 1 << 21);
    fs.AddFile(L"D:\\Samples\\Strings\\a.wav", std::string_view("a"));
    fs.AddFile(L"D:\\Samples\\notes.txt", std::string_view("n"));
    fs.AddFolder(L"D:\\Samples\\Str");
    fs.AddFolder(L"D:\\Empty");
    fs.AddFolderLink(L"D:\\Linked", L"D:\\Samples");
    fs.AddFolder(L"E:\\Content");
    fs.AddFolder(L"E:\\Existing\\Strings");
    fs.AddFolder(L"E:\\Existing\\Moved Away");
    fs.AddFile(L"E:\\file.bin", std::string_view("f"));
    Script script(c.answers);
    std::wstring full = L"unchanged";
    EXPECT_EQ(
        CheckFolderChoice(fs, {c.source, c.newLocation, c.linkOnly, c.differentName}, script, full),
        c.confirmed);
    EXPECT_EQ(script.said, c.said);
    if (c.confirmed) {
      EXPECT_EQ(full, FullTargetPath({c.source, c.newLocation, c.linkOnly, c.differentName}));
    } else {
      EXPECT_EQ(full, L"unchanged");
    }
  }
}

// A Full Target Path that would reach 260 characters is refused, never shortened to the New
// Location (which would merge the files into it).
TEST(FolderChoiceTest, AFullTargetPathTooLongToUseIsRefused) {
  FakeFileSystem fs;
  fs.AddVolume(L"E:\\", 1 << 20, 1 << 21);
  const std::wstring newLocation = L"E:\\" + std::wstring(249, L'x');  // 252 characters
  fs.AddFolder(newLocation);
  fs.AddFile(L"C:\\Samples\\Strings\\a.wav", std::string_view("a"));
  Script script({});
  std::wstring full = L"unchanged";
  EXPECT_FALSE(
      CheckFolderChoice(fs, {L"C:\\Samples\\Strings", newLocation, false, false}, script, full));
  ASSERT_EQ(script.said.size(), 1u);
  EXPECT_EQ(script.said[0],
            L"! The Full Target Path " + newLocation +
                L"\\Strings has 260 "
                L"characters; Windows programs can use paths of at most 259. Nothing "
                L"was moved: your files are still in C:\\Samples\\Strings. Please "
                L"choose a shorter New Location or folder name.");
  EXPECT_EQ(full, L"unchanged");
}

TEST(FolderChoiceTest, PathsAreReadAsWin32ReadsThem) {
  const struct {
    const wchar_t* path;
    const wchar_t* normal;
  } cases[] = {
      {L"C:/a/./b/../c", L"C:\\a\\c"},
      {L"C:\\a\\\\b. \\", L"C:\\a\\b"},
      {L"C:\\..\\a", L"C:\\a"},
      {L"C:\\", L"C:\\"},
      {L"\\\\server\\share\\x\\..\\y", L"\\\\server\\share\\y"},
      {L"\\\\?\\C:\\a.", L"\\\\?\\C:\\a."},  // verbatim
      {L"relative\\x.", L"relative\\x."},    // nothing to read it against
  };
  for (const auto& c : cases) EXPECT_EQ(NormalisedPath(c.path), c.normal) << ToUtf8(c.path);
}

// The Full Target Path and the Original Location are compared as the folders they finally name:
// E:\Samples was relocated before, so D:\Samples is a link to it.
TEST(FolderChoiceTest, OneFolderUnderAnySpellingIsRefused) {
  const struct {
    const char* name;
    const wchar_t* source;
    const wchar_t* newLocation;
    bool differentName;
    const wchar_t* said;  // the refusal, or null when the move is confirmed
  } cases[] = {
      {"through the link", L"D:\\Samples\\Strings", L"E:\\Samples", false,
       L"! Source and target paths cannot be the same: \"D:\\Samples\\Strings\" and "
       L"\"E:\\Samples\\Strings\" are both the folder E:\\Samples\\Strings."},
      {"trailing dot", L"E:\\Samples\\Strings", L"E:\\Samples\\Strings.", true,
       L"! Source and target paths cannot be the same: \"E:\\Samples\\Strings\" and "
       L"\"E:\\Samples\\Strings.\" are both the folder E:\\Samples\\Strings."},
      {"trailing space", L"E:\\Samples\\Strings", L"E:\\Samples\\Strings ", true,
       L"! Source and target paths cannot be the same: \"E:\\Samples\\Strings\" and "
       L"\"E:\\Samples\\Strings \" are both the folder E:\\Samples\\Strings."},
      {"dot dot", L"E:\\Samples\\Strings", L"E:\\Samples\\Other\\..\\Strings", true,
       L"! Source and target paths cannot be the same: \"E:\\Samples\\Strings\" and "
       L"\"E:\\Samples\\Other\\..\\Strings\" are both the folder E:\\Samples\\Strings."},
      {"forward slashes", L"E:\\Samples\\Strings", L"e:/samples/strings", true,
       L"! Source and target paths cannot be the same: \"E:\\Samples\\Strings\" and "
       L"\"e:/samples/strings\" are both the folder E:\\Samples\\Strings."},
      {"target inside, through the link", L"E:\\Samples", L"D:\\Samples\\Strings", true,
       L"! Target directory can't be inside source directory: \"D:\\Samples\\Strings\" is "
       L"E:\\Samples\\Strings, which lies inside E:\\Samples."},
      {"source inside, through the link", L"D:\\Samples\\Strings", L"E:\\Samples", true,
       L"! Source directory can't be inside target directory: \"D:\\Samples\\Strings\" is "
       L"E:\\Samples\\Strings, which lies inside E:\\Samples."},
      {"apart, through the link", L"D:\\Samples\\Strings", L"E:\\Elsewhere", false, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFileSystem fs;
    fs.AddVolume(L"D:\\", 1 << 20, 1 << 21);
    fs.AddVolume(L"E:\\", 1 << 20, 1 << 21);
    fs.AddFile(L"E:\\Samples\\Strings\\a.wav", std::string_view("a"));
    fs.AddFolder(L"E:\\Samples\\Other");
    fs.AddFolder(L"E:\\Elsewhere");
    fs.AddFolderLink(L"D:\\Samples", L"E:\\Samples");
    Script script({true, true});
    std::wstring full;
    const bool confirmed =
        CheckFolderChoice(fs, {c.source, c.newLocation, false, c.differentName}, script, full);
    ASSERT_FALSE(script.said.empty());
    if (c.said) {
      EXPECT_FALSE(confirmed);
      EXPECT_EQ(script.said.back(), c.said);
    } else {
      EXPECT_TRUE(confirmed) << ToUtf8(script.said.back());
    }
    EXPECT_EQ(fs.ContentsText(L"E:\\Samples\\Strings\\a.wav"), "a");
  }
}

}  // namespace
}  // namespace tessaly
