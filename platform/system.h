// The system interface: 32/64-bit Windows, version, environment, special folders, local time,
// date formatting and the WOW64 file-system redirection scope.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/types.h"

namespace tessaly {

// CSIDL values of the special folders the program asks for.
namespace csidl {
constexpr int Personal = 0x0005;  // Documents
constexpr int AppData = 0x001a;
constexpr int ProgramFiles = 0x0026;
constexpr int ProgramFilesX86 = 0x002a;
constexpr int ProgramFilesCommon = 0x002b;
constexpr int ProgramFilesCommonX86 = 0x002c;
constexpr int CommonDocuments = 0x002e;
constexpr int LocalAppData = 0x001c;  // the user's local (not roaming) application data
// Or'ed into a value: a folder that does not exist yet is created, with its parents
// (CSIDL_FLAG_CREATE). Without it the system does not give a folder that does not exist.
constexpr int FlagCreate = 0x8000;
}  // namespace csidl

// SYSTEMTIME.
struct LocalTime {
  uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
  uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

// Lets the calling thread see the 64-bit file system until destroyed (nothing on 32-bit Windows).
class RedirectionScope {
 public:
  virtual ~RedirectionScope() = default;
};

class System {
 public:
  virtual ~System() = default;
  // Windows itself is 64-bit: a 32-bit program runs under WOW64 there, a 64-bit one natively.
  // What the program shows and writes depends on this, never on the program's own bitness.
  virtual bool Is64BitWindows() = 0;
  virtual bool IsVistaOrLater() = 0;
  // 203 when the variable is not set.
  [[nodiscard]] virtual ErrorCode GetEnvironmentVariable(std::wstring_view name,
                                                         std::wstring& out) = 0;
  // 3 when the system cannot give the folder: an unknown value, or a folder that does not exist
  // (or, with csidl::FlagCreate, cannot be created).
  [[nodiscard]] virtual ErrorCode GetSpecialFolder(int csidlValue, std::wstring& out) = 0;
  virtual LocalTime GetLocalTime() = 0;
  // The calendar date of the file time as it stands, in UTC without conversion to local time, in
  // the system default locale's short date format (GetDateFormatW with LOCALE_SYSTEM_DEFAULT).
  virtual std::wstring FormatDate(FileTime utc) = 0;
  // A local time as "date, time": the user's short date format and default time format
  // (GetDateFormatW with DATE_SHORTDATE, GetTimeFormatW). The system's error if either fails.
  [[nodiscard]] virtual ErrorCode FormatLocalDateTime(const LocalTime& time, std::wstring& out) = 0;
  virtual std::unique_ptr<RedirectionScope> DisableFileRedirection() = 0;

  // --- A lock shared by every process of the machine, held for the length of a relocation ----
  // Held while it lives.
  class NamedLock {
   public:
    virtual ~NamedLock() = default;
  };
  // Takes the lock `name` for as long as `out` lives: 0, or 183 (with `out` empty) when another
  // holder, in this process or another, has it. A system that cannot tell answers 50.
  [[nodiscard]] virtual ErrorCode AcquireNamedLock(std::wstring_view name,
                                                   std::unique_ptr<NamedLock>& out) {
    (void)name;
    out.reset();
    return err::NotSupported;
  }

  // --- UTC clock (change backups name their files by it and show it as local time)
  // The present time in UTC (GetSystemTimeAsFileTime).
  virtual FileTime GetUtcTime() = 0;
  // A UTC time in the local time of the present time zone (FileTimeToSystemTime, then
  // SystemTimeToTzSpecificLocalTime); the system's error if it cannot be converted.
  [[nodiscard]] virtual ErrorCode UtcToLocalTime(FileTime utc, LocalTime& out) = 0;
};

}  // namespace tessaly
