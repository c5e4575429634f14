// A System whose answers are public fields: by default a 32-bit program on 64-bit Windows 10.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "platform/system.h"
#include "platform/text.h"

namespace tessaly {

class FakeFileSystem;

// The defaults are what a 32-bit process sees on 64-bit Windows 10 for the user "Musician":
//   csidl::ProgramFiles, ProgramFilesX86        C:\Program Files (x86)
//   csidl::ProgramFilesCommon, ...CommonX86     C:\Program Files (x86)\Common Files
//   csidl::Personal                             C:\Users\Musician\Documents
//   csidl::CommonDocuments                      C:\Users\Public\Documents
//   csidl::AppData                              C:\Users\Musician\AppData\Roaming
//   csidl::LocalAppData                         C:\Users\Musician\AppData\Local
//   ProgramFiles = C:\Program Files (x86), ProgramW6432 = C:\Program Files,
//   CommonProgramFiles = C:\Program Files (x86)\Common Files,
//   CommonProgramW6432 = C:\Program Files\Common Files, and the usual others.
// UseWindows32Bit() switches to 32-bit Windows 10 (no (x86) folders, no *W6432 variables).
// With `disk` set, special folders are checked against that file system as the shell does: one
// that does not exist there is not given (3), unless csidl::FlagCreate asks to create it.
class FakeSystem : public System {
 public:
  FakeSystem();
  ~FakeSystem() override;

  void UseWindows64Bit();
  void UseWindows32Bit();

  bool Is64BitWindows() override { return is64Bit; }
  bool IsVistaOrLater() override { return vistaOrLater; }
  ErrorCode GetEnvironmentVariable(std::wstring_view name, std::wstring& out) override;
  ErrorCode GetSpecialFolder(int csidlValue, std::wstring& out) override;
  LocalTime GetLocalTime() override { return localTime; }
  // M/d/yyyy of the file time's UTC date ("3/5/2024"), whatever `utcOffsetMinutes` says.
  std::wstring FormatDate(FileTime utc) override;
  // "M/d/yyyy, h:mm:ss tt" as en-US ("3/5/2024, 2:30:00 PM"); `formatError` when it is not 0.
  ErrorCode FormatLocalDateTime(const LocalTime& time, std::wstring& out) override;
  std::unique_ptr<RedirectionScope> DisableFileRedirection() override;
  // Named locks are shared by every FakeSystem of the test program, as by the processes of a
  // machine.
  ErrorCode AcquireNamedLock(std::wstring_view name, std::unique_ptr<NamedLock>& out) override;

  // How many redirection scopes are alive now, and how many were made in all.
  int ActiveRedirectionScopes() const { return counters_->active.load(); }
  int RedirectionScopesMade() const { return counters_->made.load(); }

  // Creates every special folder of `specialFolders` in `fs`.
  void CreateSpecialFolders(FakeFileSystem& fs) const;

  bool is64Bit = true;
  bool vistaOrLater = true;
  std::map<std::wstring, std::wstring, LessNoCaseFn> environment;  // names without regard to case
  std::map<int, std::wstring> specialFolders;                      // by CSIDL value
  LocalTime localTime{2024, 3, 2, 5, 14, 30, 0, 0};                // Tuesday 2024-03-05 14:30
  int utcOffsetMinutes = 0;                                        // local time minus UTC
  ErrorCode formatError = 0;                                       // FormatLocalDateTime fails
  FakeFileSystem* disk = nullptr;  // where special folders must exist; null: not checked

  // --- UTC clock: `localTime` less `utcOffsetMinutes`, and back with the offset of now (the
  // fake has one offset for every date, no summer-time rules).
  FileTime GetUtcTime() override;
  ErrorCode UtcToLocalTime(FileTime utc, LocalTime& out) override;

 private:
  struct Counters {
    std::atomic<int> active{0};
    std::atomic<int> made{0};
  };
  std::shared_ptr<Counters> counters_ = std::make_shared<Counters>();
};

}  // namespace tessaly
