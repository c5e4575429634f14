// Calendar times and file times: the civil-date algorithms over days since 1601-01-01.
#include "platform/calendar.h"

#include <cstdint>

namespace tessaly {

namespace {

constexpr int64_t kTicksPerMillisecond = 10'000;
constexpr int64_t kMillisecondsPerDay = 86'400'000;
// 1601-01-01 counted in days from 0000-03-01, the start of the algorithms' eras.
constexpr int64_t kDaysTo1601 = 584'694;

int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yoe = year - era * 400;
  const int64_t doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe;
}

bool IsLeap(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int64_t year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<LocalTime> CalendarFromFileTime(FileTime time) {
  if (time > 0x7FFFFFFFFFFFFFFFull) return std::nullopt;
  const int64_t milliseconds = int64_t(time) / kTicksPerMillisecond;
  const int64_t days1601 = milliseconds / kMillisecondsPerDay;
  int64_t rest = milliseconds % kMillisecondsPerDay;
  const int64_t days = days1601 + kDaysTo1601;
  const int64_t era = days / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  LocalTime t;
  t.day = uint16_t(doy - (153 * mp + 2) / 5 + 1);
  t.month = uint16_t(mp < 10 ? mp + 3 : mp - 9);
  t.year = uint16_t(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  t.dayOfWeek = uint16_t((days1601 + 1) % 7);  // 1601-01-01 was a Monday
  t.hour = uint16_t(rest / 3'600'000);
  rest %= 3'600'000;
  t.minute = uint16_t(rest / 60'000);
  rest %= 60'000;
  t.second = uint16_t(rest / 1000);
  t.milliseconds = uint16_t(rest % 1000);
  return t;
}

std::optional<FileTime> FileTimeFromCalendar(const LocalTime& t) {
  if (t.year < 1601 || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > DaysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59 || t.second > 59 ||
      t.milliseconds > 999)
    return std::nullopt;
  const int64_t days = DaysFromCivil(t.year, t.month, t.day) - kDaysTo1601;
  const int64_t milliseconds = days * kMillisecondsPerDay + t.hour * 3'600'000LL +
                               t.minute * 60'000LL + t.second * 1000LL + t.milliseconds;
  return FileTime(milliseconds) * FileTime(kTicksPerMillisecond);
}

}  // namespace tessaly
