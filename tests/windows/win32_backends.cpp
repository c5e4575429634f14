// The real Win32 backend as contract-test backends: scratch registry keys and a scratch folder
// that are removed afterwards, files held open without sharing, and what this system can do
// (folder links, copy progress, read-only files), found out by trying it once per process.
#include <atomic>
#include <string>

#include "platform/win32/win32_api.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "tests/support/backends.h"

namespace tessaly::testing {
namespace {

bool RunsUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// "<process id>-<counter>": unique among processes that run at the same time.
std::wstring UniqueName() {
  static std::atomic<unsigned> counter{0};
  return std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
}

// Deletes a key and everything below it in one view, with advapi32 alone.
void DeleteKeyTree(HKEY root, const std::wstring& path, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | view, &key) !=
      ERROR_SUCCESS) {
    return;
  }
  std::vector<std::wstring> children;
  wchar_t name[256];
  DWORD length = 256;
  for (DWORD i = 0;
       RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, length = 256) {
    children.emplace_back(name, length);
  }
  RegCloseKey(key);
  for (const std::wstring& child : children) DeleteKeyTree(root, path + L"\\" + child, view);
  RegDeleteKeyExW(root, path.c_str(), view, 0);
}

// Deletes a folder and everything in it. Links are removed themselves, never what they lead to:
// through the backend, which under Wine has the host remove them (Wine's own delete of a link
// acts on its target).
void DeleteFolderTree(const std::wstring& folder) {
  Win32FileSystem fs;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (isFolder && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        (void)fs.RemoveFolder(path);
      } else if (isFolder) {
        DeleteFolderTree(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        (void)fs.DeleteFile(path);
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(folder.c_str());
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  CloseHandle(file);
  return ok;
}

std::wstring TempFolder(const std::wstring& name) {
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  std::wstring folder(temp, n);
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return folder + name;
}

// Whether the backend's CreateFolderLink makes a folder link here that is seen on disk, and that
// its RemoveFolder removes again (under Wine both go through the host).
std::string ProbeFolderLinks(const std::wstring& folder) {
  Win32FileSystem fs;
  const std::wstring target = folder + L"\\target";
  const std::wstring link = folder + L"\\link";
  CreateDirectoryW(target.c_str(), nullptr);
  const ErrorCode made = fs.CreateFolderLink(link, target);
  const DWORD attributes = GetFileAttributesW(link.c_str());
  const bool there =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  const ErrorCode removed = there ? fs.RemoveFolder(link) : err::Success;
  const bool gone = GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES;
  const bool targetKept = GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES;
  RemoveDirectoryW(target.c_str());
  const std::string system = RunsUnderWine() ? "Wine (through the host's commands)" : "Windows";
  if (made == err::Success && there && removed == err::Success && gone && targetKept) return {};
  if (made == err::Success && !there)
    return system + ": CreateFolderLink reports success and no link is there";
  if (made != err::Success) {
    return system + ": CreateFolderLink failed with " + std::to_string(made) +
           (made == err::PrivilegeNotHeld ? " (SeCreateSymbolicLinkPrivilege not held)" : "");
  }
  return system + ": the link could not be removed as a link (RemoveFolder gave " +
         std::to_string(removed) + (targetKept ? ")" : ", and it removed the target)");
}

DWORD CALLBACK CountProgress(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD,
                             DWORD, HANDLE, HANDLE, LPVOID data) {
  ++*static_cast<int*>(data);
  return PROGRESS_CONTINUE;
}

std::string ProbeCopyProgress(const std::wstring& folder) {
  const std::wstring source = folder + L"\\source.bin";
  const std::wstring target = folder + L"\\target.bin";
  if (!WriteBytes(source, std::string(64 * 1024, 'x'))) return "cannot write the probe file";
  int calls = 0;
  CopyFileExW(source.c_str(), target.c_str(), &CountProgress, &calls, nullptr, 0);
  DeleteFileW(target.c_str());
  BOOL cancel = TRUE;
  const bool copiedDespiteCancel =
      CopyFileExW(source.c_str(), target.c_str(), nullptr, nullptr, &cancel, 0) != FALSE;
  DeleteFileW(target.c_str());
  DeleteFileW(source.c_str());
  const char* system = RunsUnderWine() ? "Wine's CopyFileExW" : "CopyFileExW";
  if (calls == 0 && copiedDespiteCancel) {
    return std::string(system) + " calls no progress routine and ignores the cancel flag";
  }
  if (calls == 0) return std::string(system) + " calls no progress routine";
  if (copiedDespiteCancel) return std::string(system) + " ignores the cancel flag";
  return {};
}

std::string ProbeReadOnlyWrites(const std::wstring& folder) {
  const std::wstring file = folder + L"\\read-only.txt";
  if (!WriteBytes(file, "data")) return "cannot write the probe file";
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  const bool writable = h != INVALID_HANDLE_VALUE;
  if (writable) CloseHandle(h);
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(file.c_str());
  if (!writable) return {};
  return RunsUnderWine() ? "read-only files are writable by root under Wine"
                         : "read-only files can be opened for writing here";
}

struct Capabilities {
  std::string noFolderLinks, noCopyProgress, noReadOnlyWrites;
};

const Capabilities& SystemCapabilities() {
  static const Capabilities capabilities = [] {
    const std::wstring folder = TempFolder(L"tessaly-probe-" + UniqueName());
    CreateDirectoryW(folder.c_str(), nullptr);
    Capabilities c;
    c.noFolderLinks = ProbeFolderLinks(folder);
    c.noCopyProgress = ProbeCopyProgress(folder);
    c.noReadOnlyWrites = ProbeReadOnlyWrites(folder);
    DeleteFolderTree(folder);
    return c;
  }();
  return capabilities;
}

class Win32RegistryHarness : public RegistryHarness {
 public:
  Win32RegistryHarness() {
    const std::wstring name = UniqueName();
    scratchPath = L"Software\\TessalyTests\\" + name;
    machineScratchPath = L"SOFTWARE\\TessalyTests\\" + name;
    is64BitMachine = Win32System().Is64BitWindows();
  }
  ~Win32RegistryHarness() override {
    DeleteKeyTree(HKEY_CURRENT_USER, scratchPath, 0);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, machineScratchPath, KEY_WOW64_64KEY);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, machineScratchPath, KEY_WOW64_32KEY);
  }
  Registry& registry() override { return backend; }

 private:
  Win32Registry backend;
};

class Win32HeldFile : public HeldFile {
 public:
  explicit Win32HeldFile(HANDLE h) : handle(h) {}
  ~Win32HeldFile() override { CloseHandle(handle); }

 private:
  HANDLE handle;
};

class Win32FileSystemHarness : public FileSystemHarness {
 public:
  Win32FileSystemHarness() {
    scratch = TempFolder(L"tessaly-" + UniqueName());
    CreateDirectoryW(scratch.c_str(), nullptr);
    const Capabilities& c = SystemCapabilities();
    noFolderLinks = c.noFolderLinks;
    noCopyProgress = c.noCopyProgress;
    noReadOnlyWrites = c.noReadOnlyWrites;
  }
  ~Win32FileSystemHarness() override { DeleteFolderTree(scratch); }
  FileSystem& fs() override { return fileSystem; }
  System& system() override { return systemBackend; }

  // Null if the file cannot be opened. Backup semantics let it hold folders too.
  std::unique_ptr<HeldFile> HoldOpen(const std::wstring& path) override {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32HeldFile>(h);
  }

 private:
  Win32FileSystem fileSystem;
  Win32System systemBackend;
};

}  // namespace

std::vector<RegistryBackend> Win32RegistryBackends() {
  return {{"Win32", [] { return std::unique_ptr<RegistryHarness>(new Win32RegistryHarness); }}};
}

std::vector<FileSystemBackend> Win32FileSystemBackends() {
  return {{"Win32", [] { return std::unique_ptr<FileSystemHarness>(new Win32FileSystemHarness); }}};
}

}  // namespace tessaly::testing
