// What the change-folder and relocate-products dialogs show and decide without a window: the
// words for product types and folder kinds, their captions and questions, the parent folder that
// a relocation starts from, and the checks that refuse a folder before anything is written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "catalog/product_kinds.h"
#include "platform/file_system.h"

namespace tessaly {

// The words of the product types 1, 2, 4 and 8: "App/Plugin", "Content Library", "Bundle",
// "Driver/Utility" as the dialogs' captions write them (Title), "App/plugin", "Content library",
// "Bundle", "Driver/utility" as the product manager's type line writes them (Sentence). Any other
// value (16, combined bits, 0) is "Unrecognized" in Title and empty in Sentence.
enum class WordCase { Title, Sentence };
std::wstring ProductTypeWord(ProductType type, WordCase wordCase = WordCase::Title);
// "content", "install", "32-bit VST plugin", "64-bit VST plugin" for the value kinds 1, 8, 16 and
// 32; empty for any other kind.
std::wstring ValueKindWord(ValueKind kind);

// True for a full folder path: one that starts with a drive root ("D:\") or a UNC share
// ("\\server\share"). Relative ("Kontakt"), drive-relative ("C:", "C:Kontakt") and root-relative
// ("\Kontakt") paths depend on a current folder and are not.
bool IsFullFolderPath(std::wstring_view folder);

// The folder whose products a relocation re-registers: `folder` with one trailing backslash
// removed and then its last component ("D:\Libraries\Komplete\" gives "D:\Libraries"). A root
// keeps itself ("D:\" gives "D:\", "\\server\share" itself). Empty when `folder` is not a full
// folder path, since such a value has no parent to relocate from.
std::wstring OldParentOf(std::wstring_view folder);

// Folders of 260 characters or more do not fit a Windows path and are refused, never cut short.
constexpr size_t kMaxFolderLength = 259;

// The change-folder dialog's texts. Each takes the words and names it shows.
namespace changefolder {
std::wstring UseForProductCaption(std::wstring_view keyName);
std::wstring UseForAllCaption(std::wstring_view typeWord);
std::wstring RelocateCaption(std::wstring_view typeWord, std::wstring_view oldParent);
std::wstring ChooseFolderPrompt(std::wstring_view kindWord, std::wstring_view keyName);
std::wstring BrowseTitle(std::wstring_view kindWord, std::wstring_view keyName);
std::wstring UseForAllQuestion(std::wstring_view kindWord, std::wstring_view typeWord,
                               std::wstring_view folder);
std::wstring LimitQuestion(std::wstring_view typeWord, std::wstring_view currentFolder);
// What "Open" says when the shell could not open the chosen folder, which is what happens to a
// folder that is missing. `shellResult` is the shell's answer to the "explore" verb: 32 or less
// is its error code; above 32 it opened the folder and the text is empty.
std::wstring ExploreFailedMessage(intptr_t shellResult);
}  // namespace changefolder

// The relocate-products dialog's texts.
namespace relocate {
std::wstring Explanation(std::wstring_view kindWord, std::wstring_view typeWord,
                         std::wstring_view oldParent);
std::wstring OldParentLabel(std::wstring_view kindWord);
std::wstring NewParentLabel(std::wstring_view kindWord);
std::wstring Question(std::wstring_view kindWord, std::wstring_view newParent);
}  // namespace relocate

// What the change-folder dialog's buttons do with the chosen folder.
enum class FolderAction {
  UseForProduct,  // "Use for %s only" and the double-click
  UseForAll,      // "Use for all %s products..."
  Relocate,       // "Relocate %s products from %s..."
};

// Why a chosen folder is refused, or Accepted.
enum class FolderCheck { Accepted, NothingSelected, TooLong, NoParent };

// Checks the chosen folder before `action` goes on. `selected` tells whether the list has a
// selection. Nothing selected or an empty folder comes first, then a folder that is too long, then
// (for a relocation only) a folder without a parent.
FolderCheck CheckChosenFolder(FolderAction action, bool selected, std::wstring_view folder);
// The error message of a refusal; empty for Accepted.
std::wstring FolderCheckMessage(FolderCheck check, std::wstring_view folder);

// Why a new parent folder is refused, or Accepted.
enum class NewParentCheck { Accepted, Empty, TooLong, NotFullPath, NotAFolder };

// Checks the new parent folder typed or browsed in the relocate-products dialog: empty, too long,
// not a full folder path, then not an existing folder of `fs`.
NewParentCheck CheckNewParent(FileSystem& fs, std::wstring_view newParent);
// The error message of a refusal; empty for Accepted.
std::wstring NewParentCheckMessage(NewParentCheck check, std::wstring_view newParent);

}  // namespace tessaly
