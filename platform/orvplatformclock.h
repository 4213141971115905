// The system clock, split into calendar fields in UTC or in local time.
#pragma once

#include <cstdint>

namespace orv {

struct TORVClockFields {
  int32_t Year = 0;
  int32_t Month = 0;  // 1..12
  int32_t Day = 0;    // 1..31
  int32_t Hour = 0;
  int32_t Minute = 0;
  int32_t Second = 0;  // 0..59: a leap second counts as :59
  int32_t MSecond = 0;
};

// The current wall-clock time; UTC when UTC is true, else the process's
// local time zone.
TORVClockFields GetClockFields(bool UTC);

// Seconds since 1970-01-01 UTC plus Nanoseconds (0..999,999,999) as fields,
// in UTC or in the process's local time zone with the zone rules of that
// date. False, with every field zero, when the system cannot convert it.
bool SplitClockTime(int64_t Seconds, int32_t Nanoseconds, bool UTC, TORVClockFields& Fields);

}  // namespace orv
