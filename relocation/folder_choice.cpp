// The relocation folder page's rules.
#include "relocation/folder_choice.h"

#include "platform/file_ops.h"
#include "platform/text.h"
#include "relocation/folder_identity.h"
#include "relocation/relocation_engine.h"

namespace tessaly {
namespace {

// A field's text as the checks take it: at most 259 characters, one trailing backslash removed
// unless it is a drive root.
std::wstring Trimmed(std::wstring_view text) {
  std::wstring path(text.substr(0, kPathCapacity - 1));
  path::RemoveBackslash(path);
  return path;
}

}  // namespace

std::wstring FullTargetPath(const FolderChoice& choice) {
  std::wstring target = choice.newLocation.substr(0, kPathCapacity - 1);
  if (!choice.differentName) {
    const std::wstring name = choice.source.substr(path::FindFileName(choice.source));
    // Whole even when it grows too long to use, so that the check refuses it instead of
    // merging into the New Location.
    if (!target.empty() && !name.empty()) path::Append(target, name, 32768);
  }
  path::RemoveBackslash(target);
  return target;
}

FolderModeTexts TextsForMode(bool linkOnly, bool differentName) {
  const wchar_t* noun = differentName ? L"files" : L"folder";
  FolderModeTexts texts;
  if (linkOnly) {
    texts.originalLabel = L"Original Location (the folder where your files used to reside):";
    texts.newLabel = FormatText(L"New Location (where the %s currently reside%s):", noun,
                                differentName ? L"" : L"s");
    texts.differentNameCaption =
        L"Use a &different folder name. (Select this if you moved your files to a folder with a "
        L"different name from the original location. This setting affects the 'Full Target "
        L"Path' above.)";
    texts.browseOriginal = false;
    texts.compareContents = false;
  } else {
    texts.originalLabel = L"Original Location (the folder where your files currently reside):";
    texts.newLabel = FormatText(L"New Location (where the %s will be moved):", noun);
    texts.differentNameCaption =
        L"Use a &different folder name. (Select this if you want to move the contents of the "
        L"original location to a folder with a different name. This setting affects the 'Full "
        L"Target Path' above.)";
    texts.browseOriginal = true;
    texts.compareContents = true;
  }
  return texts;
}

bool CheckFolderChoice(FileSystem& fs, const FolderChoice& choice, FolderChoiceDialogue& dialogue,
                       std::wstring& fullTarget) {
  const std::wstring source = Trimmed(choice.source);
  const std::wstring newLocation = Trimmed(choice.newLocation);
  auto tell = [&dialogue](const std::wstring& message) {
    dialogue.Tell(message);
    return false;
  };

  FindData found;
  const bool sourceExists = PathExists(fs, source, &found);
  if (choice.linkOnly) {
    // The link is made at the Original Location: without one there is nowhere to make it (and
    // nothing exists at an empty path, so the next check would pass it).
    if (source.empty()) {
      return tell(L"Please enter the Original Location before trying again. The link to your "
                  L"files is created there.");
    }
    if (sourceExists) {
      return tell(FormatText(L"Source folder %s already exists. The \"I have already moved the "
                             L"files\" option requires that Original Location not point to an "
                             L"existing item so that Tessaly can create a link there.",
                             source.c_str()));
    }
  } else {
    if (!sourceExists) {
      return tell(FormatText(L"Source directory %s doesn't appear to exist.", source.c_str()));
    }
    if (const std::wstring refusal = SourceRootRefusal(source); !refusal.empty()) {
      return tell(refusal);
    }
    if (!found.IsDirectory()) {
      return tell(FormatText(L"Source path %s is not a directory.", source.c_str()));
    }
    if (found.IsReparsePoint()) {
      return tell(FormatText(L"Source path %s is a symbolic link! Please select a real source "
                             L"folder.",
                             source.c_str()));
    }
  }

  bool created = false;
  FindData target;
  if (!PathExists(fs, newLocation, &target)) {
    if (newLocation.empty() ||
        !dialogue.Ask(FormatText(L"Target directory %s doesn't appear to exist. Would you like to "
                                 L"create it?",
                                 newLocation.c_str()))) {
      return tell(L"Please select a valid New Location before trying again.");
    }
    if (ErrorCode e = CreateDirectoryTree(fs, newLocation)) {
      return tell(FormatText(L"Error %lu attempting to create %s.", e, newLocation.c_str()));
    }
    created = true;
    PathExists(fs, newLocation, &target);
  }
  if (!target.IsDirectory()) {
    return tell(FormatText(L"Target path %s is not a directory.", newLocation.c_str()));
  }
  if (target.IsReparsePoint()) {
    return tell(FormatText(L"Target path %s is a symbolic link! Please select a real folder "
                           L"instead.",
                           newLocation.c_str()));
  }

  const std::wstring full = FullTargetPath(choice);
  if (const std::wstring refusal = TargetLengthRefusal(full, source); !refusal.empty()) {
    return tell(refusal);
  }
  if (EqualsNoCase(source, full)) return tell(L"Source and target paths cannot be the same.");
  if (path::IsWithin(source, full))
    return tell(L"Source directory can't be inside target directory.");
  if (path::IsWithin(full, source))
    return tell(L"Target directory can't be inside source directory.");
  // The same tests on the folders the paths finally name: a link, "..", a short name or a
  // trailing dot can make two different texts one folder.
  if (const std::wstring refusal = SameFolderRefusal(fs, source, full); !refusal.empty()) {
    return tell(refusal);
  }

  const std::wstring moveConfirmation =
      FormatText(L"Ready to relocate contents of \"%s\" to \"%s\". Do you wish to proceed?",
                 source.c_str(), full.c_str());
  std::wstring confirmation;
  if (IsDirectory(fs, full)) {
    if (choice.linkOnly) {
      confirmation = FormatText(L"Ready to link \"%s\" to \"%s\". Do you wish to proceed?",
                                source.c_str(), full.c_str());
    } else if (created) {
      confirmation = moveConfirmation;
    } else {
      if (!dialogue.Ask(FormatText(L"The directory %s already exists, and might contain files. If "
                                   L"you proceed, any files from %s will be merged into the new "
                                   L"location. Do you want to proceed?",
                                   full.c_str(), source.c_str()))) {
        return tell(FormatText(L"Please select another target location or make sure %s is safe "
                               L"to use.",
                               full.c_str()));
      }
      confirmation = moveConfirmation;
    }
  } else if (choice.linkOnly) {
    return tell(FormatText(L"The directory %s doesn't exist. Since you have chosen the \"I have "
                           L"already moved the files\" option, please select a valid directory "
                           L"for Original Location to link to.",
                           full.c_str()));
  } else {
    confirmation = moveConfirmation;
  }
  if (!dialogue.Ask(confirmation)) return tell(L"Aborting operation.");
  fullTarget = full;
  return true;
}

}  // namespace tessaly
