// A System whose answers are public fields.
#include "tests/support/fake_system.h"

#include <cwchar>
#include <mutex>
#include <set>

#include "platform/calendar.h"
#include "platform/file_ops.h"
#include "tests/support/fake_file_system.h"

namespace tessaly {

namespace {

class FakeRedirectionScope : public RedirectionScope {
 public:
  explicit FakeRedirectionScope(std::shared_ptr<std::atomic<int>> active)
      : active_(std::move(active)) {
    ++*active_;
  }
  ~FakeRedirectionScope() override { --*active_; }

 private:
  std::shared_ptr<std::atomic<int>> active_;
};

// Days since 1601-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t daysSince1601, int& year, int& month, int& day) {
  // Days since 0000-03-01, then eras of 400 years (the civil_from_days algorithm).
  const int64_t days = daysSince1601 - 134774 + 719468;  // 1601-01-01 is 134774 days before 1970
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = yoe + era * 400;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = int(doy - (153 * mp + 2) / 5 + 1);
  month = int(mp < 10 ? mp + 3 : mp - 9);
  year = int(y + (month <= 2 ? 1 : 0));
}

}  // namespace

FakeSystem::FakeSystem() { UseWindows64Bit(); }

FakeSystem::~FakeSystem() = default;

void FakeSystem::UseWindows64Bit() {
  is64Bit = true;
  vistaOrLater = true;
  const std::wstring pf = L"C:\\Program Files";
  const std::wstring pf86 = L"C:\\Program Files (x86)";
  environment = {
      {L"ProgramFiles", pf86},
      {L"ProgramFiles(x86)", pf86},
      {L"ProgramW6432", pf},
      {L"CommonProgramFiles", pf86 + L"\\Common Files"},
      {L"CommonProgramFiles(x86)", pf86 + L"\\Common Files"},
      {L"CommonProgramW6432", pf + L"\\Common Files"},
      {L"SystemDrive", L"C:"},
      {L"SystemRoot", L"C:\\Windows"},
      {L"windir", L"C:\\Windows"},
      {L"USERNAME", L"Musician"},
      {L"USERPROFILE", L"C:\\Users\\Musician"},
      {L"APPDATA", L"C:\\Users\\Musician\\AppData\\Roaming"},
      {L"LOCALAPPDATA", L"C:\\Users\\Musician\\AppData\\Local"},
      {L"PUBLIC", L"C:\\Users\\Public"},
      {L"TEMP", L"C:\\Users\\Musician\\AppData\\Local\\Temp"},
      {L"TMP", L"C:\\Users\\Musician\\AppData\\Local\\Temp"},
      {L"PROCESSOR_ARCHITECTURE", L"x86"},
      {L"PROCESSOR_ARCHITEW6432", L"AMD64"},
  };
  specialFolders = {
      {csidl::Personal, L"C:\\Users\\Musician\\Documents"},
      {csidl::AppData, L"C:\\Users\\Musician\\AppData\\Roaming"},
      {csidl::LocalAppData, L"C:\\Users\\Musician\\AppData\\Local"},
      {csidl::ProgramFiles, pf86},
      {csidl::ProgramFilesX86, pf86},
      {csidl::ProgramFilesCommon, pf86 + L"\\Common Files"},
      {csidl::ProgramFilesCommonX86, pf86 + L"\\Common Files"},
      {csidl::CommonDocuments, L"C:\\Users\\Public\\Documents"},
  };
}

void FakeSystem::UseWindows32Bit() {
  UseWindows64Bit();
  is64Bit = false;
  const std::wstring pf = L"C:\\Program Files";
  environment.erase(L"ProgramFiles(x86)");
  environment.erase(L"ProgramW6432");
  environment.erase(L"CommonProgramFiles(x86)");
  environment.erase(L"CommonProgramW6432");
  environment.erase(L"PROCESSOR_ARCHITEW6432");
  environment[L"ProgramFiles"] = pf;
  environment[L"CommonProgramFiles"] = pf + L"\\Common Files";
  // 32-bit Windows answers the (x86) folders with the only program-files folder it has.
  specialFolders[csidl::ProgramFiles] = pf;
  specialFolders[csidl::ProgramFilesX86] = pf;
  specialFolders[csidl::ProgramFilesCommon] = pf + L"\\Common Files";
  specialFolders[csidl::ProgramFilesCommonX86] = pf + L"\\Common Files";
}

ErrorCode FakeSystem::GetEnvironmentVariable(std::wstring_view name, std::wstring& out) {
  const auto it = environment.find(name);
  if (it == environment.end()) return err::EnvVarNotFound;
  out = it->second;
  return err::Success;
}

ErrorCode FakeSystem::GetSpecialFolder(int csidlValue, std::wstring& out) {
  const auto it = specialFolders.find(csidlValue & ~csidl::FlagCreate);
  if (it == specialFolders.end()) return err::PathNotFound;
  if (disk && !disk->IsFolder(it->second)) {
    // The shell creates a missing folder with its parents only when asked to.
    if ((csidlValue & csidl::FlagCreate) == 0 ||
        CreateDirectoryTree(*disk, it->second) != err::Success)
      return err::PathNotFound;
  }
  out = it->second;
  return err::Success;
}

std::wstring FakeSystem::FormatDate(FileTime utc) {
  const int64_t seconds = int64_t(utc / kFileTimeTicksPerSecond);
  const int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
  int year = 0, month = 0, day = 0;
  CivilFromDays(days, year, month, day);
  return std::to_wstring(month) + L"/" + std::to_wstring(day) + L"/" + std::to_wstring(year);
}

ErrorCode FakeSystem::FormatLocalDateTime(const LocalTime& time, std::wstring& out) {
  if (formatError != 0) return formatError;
  const int hour12 = time.hour % 12 == 0 ? 12 : time.hour % 12;
  wchar_t clock[32] = {};
  swprintf(clock, 32, L"%d:%02d:%02d %ls", hour12, int(time.minute), int(time.second),
           time.hour < 12 ? L"AM" : L"PM");
  out = std::to_wstring(time.month) + L"/" + std::to_wstring(time.day) + L"/" +
        std::to_wstring(time.year) + L", " + clock;
  return err::Success;
}

std::unique_ptr<RedirectionScope> FakeSystem::DisableFileRedirection() {
  ++counters_->made;
  // The scope shares the counter, so it may outlive this object.
  std::shared_ptr<std::atomic<int>> active(counters_, &counters_->active);
  return std::make_unique<FakeRedirectionScope>(std::move(active));
}

void FakeSystem::CreateSpecialFolders(FakeFileSystem& fs) const {
  for (const auto& [id, folder] : specialFolders) fs.AddFolder(folder);
}

// --- Named locks -----------------------------------------------------------------------------

namespace {

struct HeldLocks {
  std::mutex mutex;
  std::set<std::wstring, LessNoCaseFn> names;
};

HeldLocks& Locks() {
  static HeldLocks locks;
  return locks;
}

class FakeNamedLock : public System::NamedLock {
 public:
  explicit FakeNamedLock(std::wstring name) : name_(std::move(name)) {}
  ~FakeNamedLock() override {
    std::lock_guard lock(Locks().mutex);
    Locks().names.erase(name_);
  }

 private:
  std::wstring name_;
};

}  // namespace

ErrorCode FakeSystem::AcquireNamedLock(std::wstring_view name, std::unique_ptr<NamedLock>& out) {
  out.reset();
  std::lock_guard lock(Locks().mutex);
  if (!Locks().names.insert(std::wstring(name)).second) return err::AlreadyExists;
  out = std::make_unique<FakeNamedLock>(std::wstring(name));
  return err::Success;
}

// --- UTC clock

FileTime FakeSystem::GetUtcTime() {
  const FileTime local = FileTimeFromCalendar(localTime).value_or(0);
  return local - FileTime(int64_t(utcOffsetMinutes) * 60 * int64_t(kFileTimeTicksPerSecond));
}

ErrorCode FakeSystem::UtcToLocalTime(FileTime utc, LocalTime& out) {
  const auto local = CalendarFromFileTime(
      utc + FileTime(int64_t(utcOffsetMinutes) * 60 * int64_t(kFileTimeTicksPerSecond)));
  if (!local) return err::InvalidParameter;
  out = *local;
  return err::Success;
}

}  // namespace tessaly
