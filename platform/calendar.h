// Calendar times and file times converted without the system: the proleptic Gregorian calendar
// of SYSTEMTIME and FILETIME, in whatever zone the caller means.
#pragma once

#include <optional>

#include "platform/system.h"
#include "platform/types.h"

namespace tessaly {

// The calendar time of a file time (day of week included), as FileTimeToSystemTime gives it;
// nullopt for a time with the top bit set, which that function refuses.
std::optional<LocalTime> CalendarFromFileTime(FileTime time);
// The file time of a calendar time (the day of week is ignored); nullopt for a date before 1601
// or a field out of its range.
std::optional<FileTime> FileTimeFromCalendar(const LocalTime& time);

}  // namespace tessaly
