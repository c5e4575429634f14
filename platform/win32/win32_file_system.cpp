// Win32FileSystem: listing, attributes, folders, copy with a progress routine, links, free space
// and whole-or-partial file reads and writes, each a thin call into kernel32.
#include "platform/win32/win32_file_system.h"

#include <new>

#include "platform/text.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/wine_host.h"
#include "platform/win32/wow64_win32.h"

namespace tessaly {
namespace {

// Reads up to this size from the start of a file skip the size query and the seek.
constexpr size_t kSmallReadBytes = 64 * 1024;

// The last error of a failed call; `fallback` if the system set none.
ErrorCode LastErrorOr(ErrorCode fallback = err::GenFailure) {
  const DWORD e = GetLastError();
  return e != ERROR_SUCCESS ? static_cast<ErrorCode>(e) : fallback;
}

ErrorCode Result(BOOL ok) { return ok ? err::Success : LastErrorOr(); }

uint64_t FromLarge(LARGE_INTEGER v) { return static_cast<uint64_t>(v.QuadPart); }

// Calls `fill` (buffer, its size in characters) until the text fits, as the path functions do
// that answer the size they need when it does not; false when `fill` answers 0 (an error).
template <class Fill>
bool FillGrowing(std::wstring& text, Fill fill) {
  text.assign(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = fill(text.data(), static_cast<DWORD>(text.size()));
    if (length == 0) return false;
    if (length < text.size()) {
      text.resize(length);
      return true;
    }
    text.resize(length);  // the size needed, terminator included
  }
}

class FindHandle {
 public:
  explicit FindHandle(HANDLE h) : handle(h) {}
  ~FindHandle() {
    if (handle != INVALID_HANDLE_VALUE) FindClose(handle);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;

 private:
  HANDLE handle;
};

class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : handle(h) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool IsValid() const { return handle != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle; }
  void Close() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle;
};

void Fill(const WIN32_FIND_DATAW& data, FindData& out) {
  out.attributes = data.dwFileAttributes;
  out.creationTime = FromFiletime(data.ftCreationTime);
  out.lastAccessTime = FromFiletime(data.ftLastAccessTime);
  out.lastWriteTime = FromFiletime(data.ftLastWriteTime);
  out.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  out.reparseTag = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? data.dwReserved0 : 0;
  // Wine lists a host link to a folder with no tag; it is what Windows calls a symbolic link.
  if (out.reparseTag == 0 && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && wine::RunsUnderWine()) {
    out.reparseTag = IO_REPARSE_TAG_SYMLINK;
  }
  out.name = data.cFileName;
  out.alternateName = data.cAlternateFileName;
}

// Carries our progress routine through CopyFileExW's LPPROGRESS_ROUTINE.
struct ProgressTrampoline {
  CopyProgressRoutine routine;
  void* userData;

  static DWORD CALLBACK Call(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred,
                             LARGE_INTEGER streamSize, LARGE_INTEGER streamBytesTransferred,
                             DWORD streamNumber, DWORD callbackReason, HANDLE, HANDLE,
                             LPVOID data) {
    const auto* self = static_cast<const ProgressTrampoline*>(data);
    CopyProgress progress;
    progress.totalFileSize = FromLarge(totalFileSize);
    progress.totalBytesTransferred = FromLarge(totalBytesTransferred);
    progress.streamSize = FromLarge(streamSize);
    progress.streamBytesTransferred = FromLarge(streamBytesTransferred);
    progress.streamNumber = streamNumber;
    progress.callbackReason = callbackReason;
    // No exception may unwind through kernel32: a throwing routine cancels the copy.
    try {
      return self->routine(progress, self->userData);
    } catch (...) {
      return PROGRESS_CANCEL;
    }
  }
};

// GetFinalPathNameByHandleW (looked up at run time: 127 before Vista) on a handle opened with
// backup semantics, without the "\\?\" or "\\?\UNC\" prefix it adds.
ErrorCode FinalPathOf(const std::wstring& path, std::wstring& out) {
  out.clear();
  using GetFinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
  static const auto getFinalPath = reinterpret_cast<GetFinalPathFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
  if (!getFinalPath) return err::ProcNotFound;
  // No access asked: only the name is wanted, and folders need backup semantics to open.
  FileHandle item(CreateFileW(path.c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!item.IsValid()) return LastErrorOr();
  std::wstring name;
  if (!FillGrowing(name, [&](wchar_t* buffer, DWORD size) {
        return getFinalPath(item.get(), buffer, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
      })) {
    return LastErrorOr();
  }
  if (name.rfind(L"\\\\?\\UNC\\", 0) == 0) {
    out = L"\\\\" + name.substr(8);
  } else if (name.rfind(L"\\\\?\\", 0) == 0) {
    out = name.substr(4);
  } else {
    out = std::move(name);
  }
  return err::Success;
}

// True when the file's final path is not its own name in its folder's final path: under Wine,
// where the final path is the host's resolved name, the file is then a host link (or lies
// behind one that the name does not show). False when either cannot be told.
bool LeadsElsewhere(const std::wstring& file) {
  const size_t slash = file.find_last_of(L"\\/");
  if (slash == std::wstring::npos || slash == 0) return false;
  std::wstring folder = file.substr(0, slash);
  if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
  std::wstring finalFile, finalFolder;
  if (FinalPathOf(file, finalFile) != err::Success ||
      FinalPathOf(folder, finalFolder) != err::Success) {
    return false;
  }
  if (finalFolder.empty() || finalFolder.back() != L'\\') finalFolder += L'\\';
  return !EqualsNoCase(finalFile, finalFolder + file.substr(slash + 1));
}

}  // namespace

ErrorCode Win32FileSystem::FindFiles(std::wstring_view pattern, const Visitor& visit) {
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(std::wstring(pattern).c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return LastErrorOr(err::FileNotFound);
  FindHandle holder(h);
  FindData entry;
  do {
    Fill(data, entry);
    if (!visit(entry)) return err::Success;
  } while (FindNextFileW(h, &data));
  const DWORD e = GetLastError();
  return e == ERROR_NO_MORE_FILES ? err::Success : static_cast<ErrorCode>(e);
}

ErrorCode Win32FileSystem::GetAttributes(std::wstring_view path, uint32_t& attributes) {
  const DWORD a = GetFileAttributesW(std::wstring(path).c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return LastErrorOr(err::FileNotFound);
  attributes = a;
  return err::Success;
}

ErrorCode Win32FileSystem::SetAttributes(std::wstring_view path, uint32_t attributes) {
  return Result(SetFileAttributesW(std::wstring(path).c_str(), attributes));
}

ErrorCode Win32FileSystem::SetLastWriteTime(std::wstring_view path, FileTime time) {
  // Backup semantics open folders too.
  FileHandle file(CreateFileW(std::wstring(path).c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.IsValid()) return LastErrorOr();
  const FILETIME ft = ToFiletime(time);
  return Result(SetFileTime(file.get(), nullptr, nullptr, &ft));
}

ErrorCode Win32FileSystem::CreateFolder(std::wstring_view path) {
  return Result(CreateDirectoryW(std::wstring(path).c_str(), nullptr));
}

ErrorCode Win32FileSystem::RemoveFolder(std::wstring_view path) {
  const std::wstring folder(path);
  if (wine::RunsUnderWine()) {
    // Wine's RemoveDirectoryW on a host link removes an empty target instead: the host removes
    // the link. One that leads nowhere is not seen at all, so a missing folder is asked about.
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    const bool listedLink =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (listedLink || attributes == INVALID_FILE_ATTRIBUTES) {
      const ErrorCode missing = attributes == INVALID_FILE_ATTRIBUTES ? LastErrorOr() : 0;
      const ErrorCode removed = wine::RemoveHostLink(folder);
      if (removed != err::NotAReparsePoint) return removed;
      if (missing != 0) return missing;
    }
  }
  return Result(RemoveDirectoryW(folder.c_str()));
}

ErrorCode Win32FileSystem::DeleteFile(std::wstring_view path) {
  const std::wstring file(path);
  if (wine::RunsUnderWine()) {
    const DWORD attributes = GetFileAttributesW(file.c_str());
    // A folder is no file to delete, a folder link neither; Windows answers 5.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return err::AccessDenied;
    }
    // Wine lists a host link to a file as a plain file, and its DeleteFileW deletes the file it
    // leads to: a file whose final path is not its own is asked about first.
    if (attributes != INVALID_FILE_ATTRIBUTES && LeadsElsewhere(file)) {
      const ErrorCode removed = wine::RemoveHostLink(file);
      if (removed != err::NotAReparsePoint) return removed;
    }
  }
  return Result(DeleteFileW(file.c_str()));
}

ErrorCode Win32FileSystem::MoveFile(std::wstring_view from, std::wstring_view to,
                                    uint32_t moveFlags) {
  return Result(MoveFileExW(std::wstring(from).c_str(), std::wstring(to).c_str(), moveFlags));
}

ErrorCode Win32FileSystem::CopyFile(std::wstring_view from, std::wstring_view to,
                                    CopyProgressRoutine routine, void* userData, CancelToken cancel,
                                    uint32_t copyFlags) {
  static_assert(sizeof(BOOL) == sizeof(CancelFlag), "the cancel flag is handed over as a BOOL");
  ProgressTrampoline trampoline{routine, userData};
  // CopyFileExW polls the flag as a BOOL (an int, as the flag is) and only reads it; its
  // parameter is not const for historical reasons.
  const CancelFlag* flag = cancel.Flag();
  return Result(CopyFileExW(std::wstring(from).c_str(), std::wstring(to).c_str(),
                            routine ? &ProgressTrampoline::Call : nullptr,
                            routine ? &trampoline : nullptr,
                            reinterpret_cast<LPBOOL>(const_cast<CancelFlag*>(flag)), copyFlags));
}

ErrorCode Win32FileSystem::CreateFolderLink(std::wstring_view link, std::wstring_view target) {
  return tessaly::CreateFolderLink(std::wstring(link).c_str(), std::wstring(target).c_str());
}

ErrorCode Win32FileSystem::GetFreeSpace(std::wstring_view folder, uint64_t& freeToCaller,
                                        uint64_t& totalBytes) {
  ULARGE_INTEGER available, total;
  if (!GetDiskFreeSpaceExW(std::wstring(folder).c_str(), &available, &total, nullptr)) {
    return LastErrorOr();
  }
  freeToCaller = available.QuadPart;
  totalBytes = total.QuadPart;
  return err::Success;
}

uint32_t Win32FileSystem::GetDriveType(std::wstring_view root) {
  return GetDriveTypeW(std::wstring(root).c_str());
}

ErrorCode Win32FileSystem::ReadFile(std::wstring_view path, uint64_t offset, size_t maxBytes,
                                    std::vector<uint8_t>& out) {
  out.clear();
  // Other programs may have the file open for writing or deleting (a host with a plugin loaded).
  FileHandle file(CreateFileW(std::wstring(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return LastErrorOr();
  // A small read from the start (a header) needs neither the size nor a seek: a handle just
  // opened is at the start, and the read says how much there was.
  if (offset == 0 && maxBytes <= kSmallReadBytes) {
    try {
      out.resize(maxBytes);
    } catch (const std::bad_alloc&) {
      return err::NotEnoughMemory;
    }
    size_t done = 0;
    while (done < maxBytes) {
      DWORD got = 0;
      if (!::ReadFile(file.get(), out.data() + done, static_cast<DWORD>(maxBytes - done), &got,
                      nullptr)) {
        const ErrorCode e = LastErrorOr();
        out.clear();
        return e;
      }
      if (got == 0) break;  // the end of the file
      done += got;
    }
    out.resize(done);
    return err::Success;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size)) return LastErrorOr();
  const uint64_t fileSize = static_cast<uint64_t>(size.QuadPart);
  const uint64_t available = offset < fileSize ? fileSize - offset : 0;
  const size_t wanted = available < maxBytes ? static_cast<size_t>(available) : maxBytes;
  if (wanted == 0) return err::Success;

  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN)) return LastErrorOr();
  try {
    out.resize(wanted);
  } catch (const std::bad_alloc&) {
    return err::NotEnoughMemory;
  }
  size_t done = 0;
  while (done < wanted) {
    const size_t left = wanted - done;
    const DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
    DWORD got = 0;
    if (!::ReadFile(file.get(), out.data() + done, chunk, &got, nullptr)) {
      const ErrorCode e = LastErrorOr();
      out.clear();
      return e;
    }
    if (got == 0) break;  // the file became shorter
    done += got;
  }
  out.resize(done);
  return err::Success;
}

ErrorCode Win32FileSystem::WriteFile(std::wstring_view path, const uint8_t* data, size_t size) {
  const std::wstring target(path);
  FileHandle file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return LastErrorOr();
  size_t done = 0;
  while (done < size) {
    const size_t left = size - done;
    const DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!::WriteFile(file.get(), data + done, chunk, &written, nullptr) || written == 0) {
      const ErrorCode e = LastErrorOr(err::DiskFull);
      // A cut-off file must not pass for the whole one.
      file.Close();
      DeleteFileW(target.c_str());
      return e;
    }
    done += written;
  }
  return err::Success;
}

ErrorCode Win32FileSystem::GetFinalPath(std::wstring_view path, std::wstring& out) {
  return FinalPathOf(std::wstring(path), out);
}

ErrorCode Win32FileSystem::GetFullPath(std::wstring_view path, std::wstring& out) {
  out.clear();
  const std::wstring asked(path);
  std::wstring full;
  if (!FillGrowing(full, [&](wchar_t* buffer, DWORD size) {
        return GetFullPathNameW(asked.c_str(), size, buffer, nullptr);
      })) {
    return LastErrorOr(err::InvalidName);
  }
  out = std::move(full);
  return err::Success;
}

// --- Identity and durability ----------------------------------------------------------------

ErrorCode Win32FileSystem::GetItemIdentity(std::wstring_view path, ItemIdentity& out) {
  out = ItemIdentity();
  // The item itself: a link is opened as the link, never followed; folders need backup
  // semantics to open at all.
  FileHandle item(CreateFileW(std::wstring(path).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!item.IsValid()) return LastErrorOr();
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(item.get(), &info)) return LastErrorOr();
  out.volumeSerial = info.dwVolumeSerialNumber;
  out.fileIndex = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  out.attributes = info.dwFileAttributes;
  return err::Success;
}

ErrorCode Win32FileSystem::FlushFile(std::wstring_view path) {
  // Flushing needs write access; the system writes out what any handle left in its cache.
  FileHandle file(CreateFileW(std::wstring(path).c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return LastErrorOr();
  return Result(FlushFileBuffers(file.get()));
}

}  // namespace tessaly
