// What the duplicate finder page shows and enables, decided apart from its window: the lines of
// a names list and the enabled state of its controls while it searches and afterwards.
#pragma once

#include <string>
#include <vector>

#include "app/ui/busy_text.h"
#include "plugins/plugin_map.h"

namespace tessaly {

inline constexpr wchar_t kNoFilesFound[] = L"(no files found)";

// The lines of a names list: the keys of `map` whose group has exactly one file (when `singles`)
// or two or more (when `duplicates`), in key order; a key without files never. A list with no
// such key shows the one line "(no files found)". The pointers live as long as the map's keys.
std::vector<const wchar_t*> NamesListLines(const CPluginMap& map, bool singles, bool duplicates);

// Which controls of the finder page are enabled. While the search runs, every control that reads
// the maps the worker is filling (the two check boxes, the names lists, the file lists and their
// buttons) is disabled; they come back with the completion message. A list's Delete, Browse To
// (and above, Launch) need a file row chosen since that list was last filled or acted on.
struct DupeFinderControls {
  bool showCheckBoxes = false;
  bool lists = false;
  bool upperFileButtons = false;
  bool lowerFileButtons = false;
};
DupeFinderControls DupeFinderControlState(bool searching, bool upperRowChosen, bool lowerRowChosen);

// The "Same as" cell of each member of `list`, in its order: every member of a set of identical
// copies (one content class) names the folder of the set's first member in that order, the first
// member included, so that the rows of one set all name the same row; the others are empty.
std::vector<std::wstring> SameAsCells(const CPluginList& list);

// The question before a delete: a file's path; for a bundle, that a whole folder tree goes, with
// the number of its files and their size.
std::wstring DeleteQuestion(const CPluginFile& file, const std::vector<BundleMember>& bundleFiles);
// What a failed delete says: for a bundle, which file was held and what is left of it (`left`,
// the held file first, as CPluginList::DeleteById leaves a bundle member); for a file, that it
// may be write-protected or in use.
std::wstring DeleteFailedMessage(const CPluginFile& file, ErrorCode error,
                                 const std::vector<BundleMember>& left);

}  // namespace tessaly
