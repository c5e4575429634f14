// The duplicate finder page's decisions.
#include "plugins/dupe_finder_state.h"

namespace tessaly {

std::vector<const wchar_t*> NamesListLines(const CPluginMap& map, bool singles, bool duplicates) {
  std::vector<const wchar_t*> lines;
  for (const auto& [key, list] : map.GetGroups()) {
    const uint32_t count = list.Count();
    if ((count == 1 && singles) || (count >= 2 && duplicates)) lines.push_back(key.c_str());
  }
  if (lines.empty()) lines.push_back(kNoFilesFound);
  return lines;
}

DupeFinderControls DupeFinderControlState(bool searching, bool upperRowChosen, bool lowerRowChosen) {
  DupeFinderControls controls;
  controls.showCheckBoxes = !searching;
  controls.lists = !searching;
  controls.upperFileButtons = !searching && upperRowChosen;
  controls.lowerFileButtons = !searching && lowerRowChosen;
  return controls;
}

}  // namespace tessaly
