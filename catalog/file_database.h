// The file database: FileDatabase.xml, our data file beside the program, names the application
// and plugin file of each product by its registry key name. CNiFileDatabase holds its entries;
// CheckFileDatabase tells the flow whether the stored path names it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "catalog/ni_product.h"
#include "platform/text.h"

#include "app/settings/profile_store.h"
#include "platform/file_system.h"
#include "platform/types.h"

namespace tessaly {

// Entries by key name (without regard to case; the first stored for a name wins). An entry is a
// product record of which only the key name, the two file names and the type word are used.
class CNiFileDatabase {
 public:
  explicit CNiFileDatabase(FileSystem& fs) : fs_(&fs) {}
  virtual ~CNiFileDatabase() = default;
  CNiFileDatabase(const CNiFileDatabase&) = default;
  CNiFileDatabase& operator=(const CNiFileDatabase&) = default;

  // Reads the file at `path` in place of the entries: 87 for a null path; 1359 when the file
  // cannot be read, is not XML or has no FileDatabase root. Entries start at the root's first
  // Product element and go on with every element after it; one without a RegKey is skipped.
  [[nodiscard]] ErrorCode Read(const wchar_t* path);
  // The same over a file's bytes.
  [[nodiscard]] ErrorCode ReadBytes(const uint8_t* data, size_t size);

  // Stores the record under its key name unless one is there; false only when memory runs out.
  bool Add(const CNiProduct& entry);
  const CNiProduct* Find(std::wstring_view keyName) const;
  void Clear();
  bool HasEntries() const { return hasEntries_; }
  size_t Count() const { return entries_.size(); }

 private:
  FileSystem* fs_;
  std::map<std::wstring, CNiProduct, LessNoCaseFn> entries_;
  bool hasEntries_ = false;
};

inline constexpr const wchar_t* kFileDatabasePath = L"FileDatabasePath";
inline constexpr const wchar_t* kDefaultFileDatabasePath = L"FileDatabase.xml";

// Checks `path`, or the setting FileDatabasePath when `path` is null (default
// "FileDatabase.xml", relative to the current folder): 2 when nothing exists there; otherwise
// stores its full path as FileDatabasePath and returns 0, or 1359 when the setting cannot be
// written.
[[nodiscard]] ErrorCode CheckFileDatabase(CProfileStore& profile, FileSystem& fs,
                                          const wchar_t* path);

}  // namespace tessaly
