// CPluginList and CPluginMap: the duplicate finder's groups of plugin files, keyed by file name
// without regard to case, with ids, column sorts and deletion of a member's file.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <string_view>

#include "platform/text.h"
#include "platform/types.h"
#include "plugins/plugin_file.h"

namespace tessaly {

// The files of one name, in finding order until sorted. Each member carries an id that stays
// with it through sorts and deletions of others: 0, 1, 2, ... in the order of Add, never
// 0xFFFFFFFF (after 0xFFFFFFFE the counter wraps to 0).
class CPluginList {
 public:
  // The columns of the duplicate finder's file lists, in their order.
  enum Column { kFolder = 0, kDate = 1, kVersion = 2, kSize = 3, kPlatform = 4 };

  struct Member {
    uint32_t id;
    CPluginFile file;  // a copy whose Id() is `id`
  };

  CPluginList() = default;
  virtual ~CPluginList() = default;

  // Appends a copy of `file` under the next id. False when memory ran out (nothing changed).
  bool Add(const CPluginFile& file);
  // A stable ascending sort by one column (Column); any other number leaves the order as it is.
  // The version column records each member's version first (RecordVersions); the platform
  // column orders by the machine the search recorded, reading it for a file without one.
  void Sort(int column);
  // Reads the version of each member that has none recorded yet, once.
  void RecordVersions();
  // Reverses the current order.
  void Reverse();
  // Deletes the member's file from disk (read-only or not) with WOW64 redirection off, so that
  // the file deleted is the one the search found, and then removes the member. A bundle member
  // goes with its whole folder tree; a bundle that is a folder link loses only the link, and a
  // path that is no longer a folder is left alone (5). 0 when the file
  // is gone (also when it was gone already); 2 no member with this id; 21 a member without a
  // path; the failing step's error (32 while another program holds the file open), the member
  // then kept, a bundle with what is left of it (BundleMembers, the file that could not be
  // deleted first, whose error is returned); 1359 an internal failure.
  // A bundle's tree goes through DeleteTree, which removes a folder link as the link.
  [[nodiscard]] ErrorCode DeleteById(uint32_t id);

  // The members in their current order.
  const std::list<Member>& Members() const { return files_; }
  uint32_t Count() const { return count_; }
  CPluginFile* FindById(uint32_t id);
  const CPluginFile* FindById(uint32_t id) const;

 private:
  std::list<Member> files_;
  uint32_t count_ = 0;
  uint32_t nextId_ = 0;
};

// The groups of one search: the key text (a lower-cased file name) to the files of that name,
// in the case-insensitive order LessNoCase.
class CPluginMap {
 public:
  using Groups = std::map<std::wstring, CPluginList, LessNoCaseFn>;

  CPluginMap() = default;
  virtual ~CPluginMap() = default;

  // Adds a copy of `file` to the group of its key, making the group if needed. False when the
  // file has no captured directory entry or no name, or memory ran out.
  bool Add(const CPluginFile& file);
  // The group of `key`, compared without regard to case; null when there is none.
  CPluginList* Find(std::wstring_view key);
  const CPluginList* Find(std::wstring_view key) const;
  // Counts groups of exactly one file, groups of two or more, and all files. Result: the number
  // of keys (groups emptied by deletions included).
  uint32_t CountGroups(uint32_t& singles, uint32_t& withDuplicates, uint32_t& total) const;
  void Clear() { groups_.clear(); }

  // The keys in order, each with its group.
  const Groups& GetGroups() const { return groups_; }
  Groups& GetGroups() { return groups_; }

 private:
  Groups groups_;
};

}  // namespace tessaly
