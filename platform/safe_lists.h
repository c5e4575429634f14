// Owned lists of paths that carry folder and file sets between a page and its worker:
// duplicates are refused without regard to case, and folder lists travel as "|"-joined text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/types.h"

namespace tessaly {

// The longest "|"-joined text of a string list, terminator included.
constexpr size_t kStringListTextCapacity = 2048;
// Longest path of a file-list entry, terminator included.
constexpr size_t kFileListPathCapacity = 520;

// An ordered list of non-empty texts (plugin folder lists). Not locked: one thread at a time.
class CSafeStringList {
 public:
  CSafeStringList() = default;
  virtual ~CSafeStringList() = default;
  CSafeStringList(const CSafeStringList&) = delete;
  CSafeStringList& operator=(const CSafeStringList&) = delete;
  CSafeStringList(CSafeStringList&&) = default;
  CSafeStringList& operator=(CSafeStringList&&) = default;

  // False for an empty text, or, unless duplicates are allowed, for a text already present
  // (without regard to case); otherwise appends it.
  bool Add(std::wstring_view text, bool allowDuplicates);
  bool Contains(std::wstring_view text) const;
  void Clear() { entries_.clear(); }

  // Joins the entries with "|" into `out`. `needed` is the sum over the entries of their length
  // plus one, plus one per separator (1 for no entries); above 2,048 the result is 234 and `out`
  // is left as it was.
  [[nodiscard]] ErrorCode ToText(std::wstring& out, size_t& needed) const;
  // Appends the "|"-separated pieces of `text` without their trailing backslashes (a drive root
  // keeps its own), skipping empty pieces and pieces already present. 14 when memory runs out.
  [[nodiscard]] ErrorCode AddFromText(std::wstring_view text);
  // Clear, then add `items` in order, skipping empty items and items already present: what
  // reading a list box's items into the list does.
  void Assign(const std::vector<std::wstring>& items);

  size_t Count() const { return entries_.size(); }
  const std::vector<std::wstring>& Entries() const { return entries_; }

 private:
  std::vector<std::wstring> entries_;
};

// One found file-system entry: its full path and its find data as the listing returned them.
struct SafeFileEntry {
  std::wstring path;
  FindData findData;
};

// An ordered list of found entries, without two of the same path (without regard to case).
class CSafeFileList {
 public:
  CSafeFileList() = default;
  virtual ~CSafeFileList() = default;
  CSafeFileList(const CSafeFileList&) = delete;
  CSafeFileList& operator=(const CSafeFileList&) = delete;
  CSafeFileList(CSafeFileList&&) = default;
  CSafeFileList& operator=(CSafeFileList&&) = default;

  // False for an empty path, one of 520 characters or more, null find data, or a path already
  // present; otherwise appends a copy of both.
  bool Add(std::wstring_view path, const FindData* findData);
  bool Contains(std::wstring_view path) const;
  void Clear() { entries_.clear(); }

  // Adds the entries of `folder`\`pattern` in listing order: with `foldersOnly` the folders other
  // than "." and ".." (links to folders included), otherwise the files.
  void Search(FileSystem& fs, std::wstring_view folder, std::wstring_view pattern,
              bool foldersOnly);

  size_t Count() const { return entries_.size(); }
  const std::vector<SafeFileEntry>& Entries() const { return entries_; }

 private:
  std::vector<SafeFileEntry> entries_;
};

// False for an empty text or one already in `list` (without regard to case); otherwise appends.
bool AddUniqueString(std::vector<std::wstring>& list, std::wstring_view text);

}  // namespace tessaly
