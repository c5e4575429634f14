// A System that hands every call to another one, for tests that change one answer of the system
// (a folder, a variable, the Windows version): derive, override that, and forward the rest.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace tessaly::testing {

class ForwardingSystem : public System {
 public:
  explicit ForwardingSystem(System& inner) : inner_(inner) {}

  bool Is64BitWindows() override { return inner_.Is64BitWindows(); }
  bool IsVistaOrLater() override { return inner_.IsVistaOrLater(); }
  ErrorCode GetEnvironmentVariable(std::wstring_view name, std::wstring& out) override {
    return inner_.GetEnvironmentVariable(name, out);
  }
  ErrorCode GetSpecialFolder(int csidlValue, std::wstring& out) override {
    return inner_.GetSpecialFolder(csidlValue, out);
  }
  LocalTime GetLocalTime() override { return inner_.GetLocalTime(); }
  std::wstring FormatDate(FileTime utc) override { return inner_.FormatDate(utc); }
  ErrorCode FormatLocalDateTime(const LocalTime& time, std::wstring& out) override {
    return inner_.FormatLocalDateTime(time, out);
  }
  std::unique_ptr<RedirectionScope> DisableFileRedirection() override {
    return inner_.DisableFileRedirection();
  }
  ErrorCode AcquireNamedLock(std::wstring_view name, std::unique_ptr<NamedLock>& out) override {
    return inner_.AcquireNamedLock(name, out);
  }

  // --- UTC clock
  FileTime GetUtcTime() override { return inner_.GetUtcTime(); }
  ErrorCode UtcToLocalTime(FileTime utc, LocalTime& out) override {
    return inner_.UtcToLocalTime(utc, out);
  }

 private:
  System& inner_;
};

}  // namespace tessaly::testing
