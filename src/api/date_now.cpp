#include "api/date_now.h"

#include "codec/date.h"
#include "platform/platform.h"

void DateHeaderNow(char* out, int size) {
  platform::LocalTime now;
  platform::GetLocalTimeInfo(now);
  const DateParts date = {now.year,   now.month,  now.dayOfWeek,   now.day,     now.hour,
                          now.minute, now.second, now.biasMinutes, now.daylight};
  FormatDateHeader(date, out, size);
}
