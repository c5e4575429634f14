// What the duplicate finder page shows and enables, decided apart from its window: the lines of
// a names list and the enabled state of its controls while it searches and afterwards.
#pragma once

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

}  // namespace tessaly
