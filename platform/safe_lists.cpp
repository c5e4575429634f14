// The owned path lists shared by pages and workers.
#include "platform/safe_lists.h"

#include <algorithm>
#include <new>

#include "platform/text.h"

namespace tessaly {

bool CSafeStringList::Add(std::wstring_view text, bool allowDuplicates) {
  if (text.empty()) return false;
  if (!allowDuplicates && Contains(text)) return false;
  entries_.emplace_back(text);
  return true;
}

bool CSafeStringList::Contains(std::wstring_view text) const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [text](const std::wstring& entry) { return EqualsNoCase(entry, text); });
}

ErrorCode CSafeStringList::ToText(std::wstring& out, size_t& needed) const {
  needed = 1;
  if (!entries_.empty()) {
    needed = entries_.size() - 1;
    for (const std::wstring& entry : entries_) needed += entry.size() + 1;
  }
  if (needed > kStringListTextCapacity) return err::MoreData;
  std::wstring text;
  for (const std::wstring& entry : entries_) {
    if (!text.empty()) text.push_back(L'|');
    text.append(entry);
  }
  out = std::move(text);
  return err::Success;
}

ErrorCode CSafeStringList::AddFromText(std::wstring_view text) {
  try {
    while (!text.empty()) {
      const size_t cut = text.find(L'|');
      std::wstring piece(text.substr(0, cut));
      path::RemoveTrailingBackslashes(piece);
      if (!piece.empty() && !Contains(piece)) entries_.push_back(std::move(piece));
      if (cut == std::wstring_view::npos) break;
      text.remove_prefix(cut + 1);
    }
  } catch (const std::bad_alloc&) {
    return err::OutOfMemory;
  }
  return err::Success;
}

void CSafeStringList::Assign(const std::vector<std::wstring>& items) {
  Clear();
  for (const std::wstring& item : items) Add(item, false);
}

bool CSafeFileList::Add(std::wstring_view path, const FindData* findData) {
  if (path.empty() || path.size() >= kFileListPathCapacity || !findData || Contains(path)) {
    return false;
  }
  entries_.push_back(SafeFileEntry{std::wstring(path), *findData});
  return true;
}

bool CSafeFileList::Contains(std::wstring_view path) const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [path](const SafeFileEntry& entry) { return EqualsNoCase(entry.path, path); });
}

void CSafeFileList::Search(FileSystem& fs, std::wstring_view folder, std::wstring_view pattern,
                           bool foldersOnly) {
  std::wstring query(folder);
  if (!path::Append(query, pattern, kFileListPathCapacity)) return;
  std::vector<FindData> taken;
  fs.FindFiles(query, [&](const FindData& entry) {
    const bool isSubfolder = entry.IsDirectory() && entry.name != L"." && entry.name != L"..";
    if (foldersOnly ? isSubfolder : !entry.IsDirectory()) taken.push_back(entry);
    return true;
  });
  for (const FindData& entry : taken) {
    std::wstring full(folder);
    if (path::Append(full, entry.name, kFileListPathCapacity)) Add(full, &entry);
  }
}

bool AddUniqueString(std::vector<std::wstring>& list, std::wstring_view text) {
  if (text.empty()) return false;
  for (const std::wstring& entry : list) {
    if (EqualsNoCase(entry, text)) return false;
  }
  list.emplace_back(text);
  return true;
}

}  // namespace tessaly
