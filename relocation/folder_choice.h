// The relocation folder page's rules: the Full Target Path, the texts of its two modes, and the
// checks of Next with their questions, as portable functions over the file system.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace tessaly {

// The folders and options as the page shows them.
struct FolderChoice {
  std::wstring source;           // Original Location
  std::wstring newLocation;      // New Location
  bool linkOnly = false;         // "I have already moved the files"
  bool differentName = false;    // "Use a different folder name."
  bool compareContents = false;  // "Compare file contents before removing the original"
};

// The New Location, joined with the Original Location's last component unless a different
// name is used; one trailing backslash removed unless it is a drive root. The name is always
// joined, even where the result reaches 260 characters (which the check refuses).
std::wstring FullTargetPath(const FolderChoice& choice);

// The captions that change with the mode.
struct FolderModeTexts {
  std::wstring originalLabel;
  std::wstring newLabel;
  std::wstring differentNameCaption;
  bool browseOriginal = true;
  bool compareContents = true;  // the check box that only a move uses
};
FolderModeTexts TextsForMode(bool linkOnly, bool differentName);

// What the page shows while the choice is checked: questions answered Yes (true) or No, and
// error messages.
class FolderChoiceDialogue {
 public:
  virtual ~FolderChoiceDialogue() = default;
  virtual bool Ask(const std::wstring& question) = 0;
  virtual void Tell(const std::wstring& error) = 0;
};

// The checks of Next, in order; the first that fails tells its message. A missing New Location
// is created when the user agrees. True when the user confirmed the relocation to `fullTarget`.
bool CheckFolderChoice(FileSystem& fs, const FolderChoice& choice, FolderChoiceDialogue& dialogue,
                       std::wstring& fullTarget);

}  // namespace tessaly
