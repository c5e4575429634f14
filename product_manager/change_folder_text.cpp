// Words, texts and checks of the change-folder and relocate-products dialogs.
#include "product_manager/change_folder_text.h"

#include "app/ui/access_keys.h"
#include "catalog/ni_product.h"
#include "platform/file_ops.h"
#include "platform/text.h"

namespace tessaly {
namespace {

// An owned, terminated copy of a view, for FormatText's %s.
std::wstring Owned(std::wstring_view text) { return std::wstring(text); }

}  // namespace

std::wstring ProductTypeWord(ProductType type, WordCase wordCase) {
  struct Words {
    ProductType type;
    const wchar_t* title;
    const wchar_t* sentence;
  };
  static constexpr Words kWords[] = {
      {producttype::AppPlugin, L"App/Plugin", L"App/plugin"},
      {producttype::Content, L"Content Library", L"Content library"},
      {producttype::Bundle, L"Bundle", L"Bundle"},
      {producttype::Utility, L"Driver/Utility", L"Driver/utility"},
  };
  for (const Words& words : kWords) {
    if (words.type == type) return wordCase == WordCase::Title ? words.title : words.sentence;
  }
  return wordCase == WordCase::Title ? L"Unrecognized" : L"";
}

std::wstring ValueKindWord(ValueKind kind) {
  switch (kind) {
    case valuekind::ContentDir: return L"content";
    case valuekind::InstallDir: return L"install";
    case valuekind::InstallVstDir: return L"32-bit VST plugin";
    case valuekind::InstallVst64Dir: return L"64-bit VST plugin";
    default: return {};
  }
}

bool IsFullFolderPath(std::wstring_view folder) {
  if (folder.size() >= 3 && path::IsDriveSpec(folder.substr(0, 2)) && folder[2] == L'\\') {
    return true;
  }
  if (folder.size() < 2 || folder[0] != L'\\' || folder[1] != L'\\') return false;
  // "\\server\share": a server name, a backslash, and a share name.
  const size_t server = folder.find(L'\\', 2);
  if (server == std::wstring_view::npos || server == 2) return false;
  const size_t shareEnd = folder.find(L'\\', server + 1);
  return (shareEnd == std::wstring_view::npos ? folder.size() : shareEnd) > server + 1;
}

std::wstring OldParentOf(std::wstring_view folder) {
  if (!IsFullFolderPath(folder)) return {};
  std::wstring parent(folder);
  path::RemoveBackslash(parent);
  path::RemoveFileSpec(parent);
  return parent;
}

namespace changefolder {

// The buttons' captions carry access keys; a "&" of a name or a path stays text.
std::wstring UseForProductCaption(std::wstring_view keyName) {
  return FormatText(L"&Use for %s only", EscapeAccessKeys(keyName).c_str());
}

std::wstring UseForAllCaption(std::wstring_view typeWord) {
  return FormatText(L"Use for &all %s products...", EscapeAccessKeys(typeWord).c_str());
}

std::wstring RelocateCaption(std::wstring_view typeWord, std::wstring_view oldParent) {
  return FormatText(L"&Relocate %s products from %s...", EscapeAccessKeys(typeWord).c_str(),
                    EscapeAccessKeys(oldParent).c_str());
}

std::wstring ChooseFolderPrompt(std::wstring_view kindWord, std::wstring_view keyName) {
  return FormatText(L"Choose %s folder for %s:", Owned(kindWord).c_str(), Owned(keyName).c_str());
}

std::wstring BrowseTitle(std::wstring_view kindWord, std::wstring_view keyName) {
  return FormatText(L"Select a new %s folder for %s:", Owned(kindWord).c_str(),
                    Owned(keyName).c_str());
}

std::wstring UseForAllQuestion(std::wstring_view kindWord, std::wstring_view typeWord,
                               std::wstring_view folder) {
  return FormatText(
      L"This will change the %s folder property of %s products matching criteria you specify in "
      L"the next step to: %s. Proceed to the next step?",
      Owned(kindWord).c_str(), Owned(typeWord).c_str(), Owned(folder).c_str());
}

std::wstring LimitQuestion(std::wstring_view typeWord, std::wstring_view currentFolder) {
  const std::wstring type = Owned(typeWord), current = Owned(currentFolder);
  return FormatText(
      L"Would you like to limit this operation only to %s products that are also in %s? (If you "
      L"click Yes, %s products NOT currently in %s will not be affected.)",
      type.c_str(), current.c_str(), type.c_str(), current.c_str());
}

std::wstring ExploreFailedMessage(intptr_t shellResult) {
  if (shellResult > 32) return std::wstring();
  return FormatText(L"Explore operation failed with error %lu. Path might not exist.",
                    static_cast<uint32_t>(shellResult));
}

}  // namespace changefolder

namespace relocate {

std::wstring Explanation(std::wstring_view kindWord, std::wstring_view typeWord,
                         std::wstring_view oldParent) {
  return FormatText(
      L"This will change the %s folders of all %s products currently registered under %s to a new "
      L"parent location that you specify below. This will not affect other product types, and it "
      L"won\u2019t change any products that are registered under different parent folders.\r\n\r\n"
      L"IMPORTANT: This also won\u2019t move any files. The purpose of this feature is to repair "
      L"your registered folder locations after you\u2019ve moved your installed products to a "
      L"different folder or drive.",
      Owned(kindWord).c_str(), Owned(typeWord).c_str(), Owned(oldParent).c_str());
}

std::wstring OldParentLabel(std::wstring_view kindWord) {
  return FormatText(L"Old parent %s folder:", Owned(kindWord).c_str());
}

std::wstring NewParentLabel(std::wstring_view kindWord) {
  return FormatText(L"New parent %s folder:", Owned(kindWord).c_str());
}

std::wstring Question(std::wstring_view kindWord, std::wstring_view newParent) {
  return FormatText(L"Ready to register %s folders to %s. Do you wish to proceed?",
                    Owned(kindWord).c_str(), Owned(newParent).c_str());
}

}  // namespace relocate

FolderCheck CheckChosenFolder(FolderAction action, bool selected, std::wstring_view folder) {
  if (!selected || folder.empty()) return FolderCheck::NothingSelected;
  if (folder.size() > kMaxFolderLength) return FolderCheck::TooLong;
  if (action == FolderAction::Relocate && OldParentOf(folder).empty()) return FolderCheck::NoParent;
  return FolderCheck::Accepted;
}

std::wstring FolderCheckMessage(FolderCheck check, std::wstring_view folder) {
  switch (check) {
    case FolderCheck::Accepted: return {};
    case FolderCheck::NothingSelected: return L"Please select a folder first.";
    case FolderCheck::TooLong:
      return FormatText(
          L"The folder %s is too long: Windows folders must be shorter than 260 characters. "
          L"Please choose another folder.",
          Owned(folder).c_str());
    case FolderCheck::NoParent:
      return FormatText(
          L"The folder %s is not a full folder path, so it has no parent folder to relocate "
          L"products from. Please choose a folder such as D:\\Libraries\\Komplete.",
          Owned(folder).c_str());
  }
  return {};
}

NewParentCheck CheckNewParent(FileSystem& fs, std::wstring_view newParent) {
  if (newParent.empty()) return NewParentCheck::Empty;
  if (newParent.size() > kMaxFolderLength) return NewParentCheck::TooLong;
  if (!IsFullFolderPath(newParent)) return NewParentCheck::NotFullPath;
  if (!IsDirectory(fs, newParent)) return NewParentCheck::NotAFolder;
  return NewParentCheck::Accepted;
}

std::wstring NewParentCheckMessage(NewParentCheck check, std::wstring_view newParent) {
  switch (check) {
    case NewParentCheck::Accepted: return {};
    case NewParentCheck::Empty:
      return L"Please select a new parent folder before attempting to continue.";
    case NewParentCheck::TooLong:
      return FormatText(
          L"The folder %s is too long: Windows folders must be shorter than 260 characters. "
          L"Please select a shorter parent folder.",
          Owned(newParent).c_str());
    case NewParentCheck::NotFullPath:
      return FormatText(
          L"The folder %s is not a full folder path. Please select a full parent folder, such "
          L"as E:\\Libraries.",
          Owned(newParent).c_str());
    case NewParentCheck::NotAFolder:
      return FormatText(
          L"The folder %s doesn't appear to exist. Please select a valid parent folder.",
          Owned(newParent).c_str());
  }
  return {};
}

}  // namespace tessaly
