#include "platform/orvplatformclock.h"

#include <algorithm>
#include <ctime>

namespace orv {

TORVClockFields GetClockFields(bool UTC) {
  timespec Now{};
  clock_gettime(CLOCK_REALTIME, &Now);
  TORVClockFields Fields;
  SplitClockTime(Now.tv_sec, static_cast<int32_t>(Now.tv_nsec), UTC, Fields);
  return Fields;
}

bool SplitClockTime(int64_t Seconds, int32_t Nanoseconds, bool UTC, TORVClockFields& Fields) {
  Fields = TORVClockFields();
  const time_t Time = static_cast<time_t>(Seconds);
  tm Parts{};
  if ((UTC ? gmtime_r(&Time, &Parts) : localtime_r(&Time, &Parts)) == nullptr) return false;
  Fields.Year = Parts.tm_year + 1900;
  Fields.Month = Parts.tm_mon + 1;
  Fields.Day = Parts.tm_mday;
  Fields.Hour = Parts.tm_hour;
  Fields.Minute = Parts.tm_min;
  // The engine's times have no room for a leap second.
  Fields.Second = std::min(Parts.tm_sec, 59);
  Fields.MSecond = Nanoseconds / 1000000;
  return true;
}

}  // namespace orv
