// The system interface over kernel32 and shell32: WOW64, version, environment, special folders,
// local time, date formatting and the file-system redirection scope.
#pragma once

#include "platform/system.h"

namespace tessaly {

class Win32System : public System {
 public:
  bool Is64BitWindows() override;
  bool IsVistaOrLater() override;
  [[nodiscard]] ErrorCode GetEnvironmentVariable(std::wstring_view name,
                                                 std::wstring& out) override;
  [[nodiscard]] ErrorCode GetSpecialFolder(int csidlValue, std::wstring& out) override;
  LocalTime GetLocalTime() override;
  std::wstring FormatDate(FileTime utc) override;
  [[nodiscard]] ErrorCode FormatLocalDateTime(const LocalTime& time, std::wstring& out) override;
  std::unique_ptr<RedirectionScope> DisableFileRedirection() override;
  // A named mutex in the global namespace (the local one where the global one is refused): the
  // lock is held while the name exists, that is while a holder keeps its handle.
  [[nodiscard]] ErrorCode AcquireNamedLock(std::wstring_view name,
                                           std::unique_ptr<NamedLock>& out) override;

  // --- UTC clock
  FileTime GetUtcTime() override;
  [[nodiscard]] ErrorCode UtcToLocalTime(FileTime utc, LocalTime& out) override;
};

}  // namespace tessaly
