#include "platform/orvplatformclock.h"

#include <ctime>

namespace orv {

TORVClockFields GetClockFields(bool UTC) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const time_t seconds = now.tv_sec;
  tm parts{};
  if (UTC) {
    gmtime_r(&seconds, &parts);
  } else {
    localtime_r(&seconds, &parts);
  }
  TORVClockFields fields;
  fields.Year = parts.tm_year + 1900;
  fields.Month = parts.tm_mon + 1;
  fields.Day = parts.tm_mday;
  fields.Hour = parts.tm_hour;
  fields.Minute = parts.tm_min;
  // A leap second shows as second 60; the engine's times have no room for it.
  fields.Second = parts.tm_sec > 59 ? 59 : parts.tm_sec;
  fields.MSecond = static_cast<int32_t>(now.tv_nsec / 1000000);
  return fields;
}

}  // namespace orv
