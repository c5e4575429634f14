// The duplicate finder page's decisions.
#include "plugins/dupe_finder_state.h"

#include <map>

#include "platform/file_ops.h"
#include "platform/text.h"

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

DupeFinderControls DupeFinderControlState(bool searching, bool upperRowChosen,
                                          bool lowerRowChosen) {
  DupeFinderControls controls;
  controls.showCheckBoxes = !searching;
  controls.lists = !searching;
  controls.upperFileButtons = !searching && upperRowChosen;
  controls.lowerFileButtons = !searching && lowerRowChosen;
  return controls;
}

std::vector<std::wstring> SameAsCells(const CPluginList& list) {
  std::map<uint32_t, std::wstring> firstOfClass;
  std::map<uint32_t, int> members;
  for (const CPluginList::Member& member : list.Members()) {
    const uint32_t contentClass = member.file.ContentClass();
    if (contentClass == 0) continue;
    firstOfClass.try_emplace(contentClass, member.file.GetFolder());
    ++members[contentClass];
  }
  std::vector<std::wstring> cells;
  for (const CPluginList::Member& member : list.Members()) {
    const uint32_t contentClass = member.file.ContentClass();
    // A class of one (its copy deleted since) names nothing.
    cells.push_back(contentClass != 0 && members[contentClass] >= 2 ? firstOfClass[contentClass]
                                                                    : std::wstring());
  }
  return cells;
}

// "1 file", "3 files".
std::wstring FileCount(size_t count) {
  const auto n = static_cast<uint32_t>(count);
  return count == 1 ? FormatText(L"%lu file", n) : FormatText(L"%lu files", n);
}

std::wstring DeleteQuestion(const CPluginFile& file, const std::vector<BundleMember>& bundleFiles) {
  const std::wstring path = file.GetPath();
  if (!file.IsBundle()) {
    return FormatText(L"This will permanently delete %s. Are you sure you wish to continue?",
                      path.c_str());
  }
  const std::wstring size = FormatSize(BundleSize(bundleFiles));
  return FormatText(L"This will permanently delete the folder %s with everything in it: %s, %s. "
                    L"Are you sure you wish to continue?",
                    path.c_str(), FileCount(bundleFiles.size()).c_str(), size.c_str());
}

std::wstring DeleteFailedMessage(const CPluginFile& file, ErrorCode error,
                                 const std::vector<BundleMember>& left) {
  if (!file.IsBundle() || left.empty()) {
    return FormatText(L"Delete operation failed with error %lu. Make sure the file is not "
                      L"write-protected or currently in use.",
                      error);
  }
  const std::wstring held = file.GetPath() + L"\\" + left.front().relativePath;
  const std::wstring size = FormatSize(BundleSize(left));
  return FormatText(L"Delete operation failed with error %lu: %s is in use by another program or "
                    L"write-protected, so the bundle %s was deleted only in part. Left in it: %s, "
                    L"%s. Close the program that uses the file and delete the bundle again.",
                    error, held.c_str(), file.GetPath().c_str(), FileCount(left.size()).c_str(),
                    size.c_str());
}

}  // namespace tessaly
