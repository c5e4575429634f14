// The demo machine's shared artwork folder (public documents\NI Resources\image) saved before a
// test lets the program copy artwork into it, and put back as it was afterwards: the end-to-end
// tests of one run share one prefix, and each starts from the demo's artwork state.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/win32_api.h"
#include "tests/e2e/driver.h"

#include <shlobj.h>

namespace tessaly::e2e {

// (public documents)\NI Resources\image, empty when the documents folder cannot be had.
inline std::wstring SharedArtworkFolder() {
  wchar_t documents[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_COMMON_DOCUMENTS, nullptr, SHGFP_TYPE_CURRENT, documents) !=
      S_OK) {
    return {};
  }
  return std::wstring(documents) + L"\\NI Resources\\image";
}

// Every folder and file below a folder, with the files' bytes, attributes and write times.
class SavedFolderTree {
 public:
  explicit SavedFolderTree(std::wstring folder) : folder_(std::move(folder)) {
    complete_ = !folder_.empty() && Save(L"");
  }
  bool complete() const { return complete_; }
  size_t files() const {
    size_t n = 0;
    for (const Entry& e : entries_) n += e.isFolder ? 0 : 1;
    return n;
  }

  // Deletes the folder and makes it again as it was saved; 0, or the first failure.
  ErrorCode Restore() const {
    if (ErrorCode e = DeleteTree(folder_)) return e;
    if (!CreateDirectoryW(folder_.c_str(), nullptr)) return GetLastError();
    for (const Entry& entry : entries_) {
      const std::wstring path = folder_ + L"\\" + entry.relative;
      if (entry.isFolder) {
        if (!CreateDirectoryW(path.c_str(), nullptr)) return GetLastError();
        continue;
      }
      HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file == INVALID_HANDLE_VALUE) return GetLastError();
      DWORD written = 0;
      const bool ok = WriteFile(file, entry.bytes.data(), static_cast<DWORD>(entry.bytes.size()),
                                &written, nullptr) &&
                      written == entry.bytes.size() &&
                      SetFileTime(file, nullptr, nullptr, &entry.lastWrite);
      const DWORD error = ok ? 0 : GetLastError();
      CloseHandle(file);
      if (!ok) return error;
      if (!SetFileAttributesW(path.c_str(), entry.attributes)) return GetLastError();
    }
    return 0;
  }

 private:
  struct Entry {
    std::wstring relative;
    bool isFolder = false;
    DWORD attributes = 0;
    FILETIME lastWrite{};
    std::string bytes;
  };

  bool Save(const std::wstring& relative) {
    const std::wstring base = relative.empty() ? folder_ : folder_ + L"\\" + relative;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((base + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      Entry entry;
      entry.relative = relative.empty() ? name : relative + L"\\" + name;
      entry.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      entry.attributes = data.dwFileAttributes;
      entry.lastWrite = data.ftLastWriteTime;
      if (!entry.isFolder) ok = ok && ReadAll(folder_ + L"\\" + entry.relative, entry.bytes);
      entries_.push_back(entry);
      if (entry.isFolder) ok = ok && Save(entry.relative);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return ok;
  }

  static bool ReadAll(const std::wstring& path, std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes.assign(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    const bool ok = bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                               &read, nullptr) &&
                                      read == bytes.size());
    CloseHandle(file);
    return ok;
  }

  std::wstring folder_;
  std::vector<Entry> entries_;  // parents before their children
  bool complete_ = false;
};

}  // namespace tessaly::e2e
