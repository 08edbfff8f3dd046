#include "codec/date.h"

#include <cstdio>

namespace {

constexpr const char* kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Index into a table of n names, wrapping values outside 0..n-1.
int Wrap(long long value, int n) { return static_cast<int>(((value % n) + n) % n); }

}  // namespace

void FormatZone(int value, char text[kZoneTextSize]) {
  long long v = value;
  char sign = v < 0 ? '-' : '+';
  if (v < 0) v = -v;
  snprintf(text, kZoneTextSize, "%c%04d", sign, static_cast<int>(v % 10000));
}

int ZoneValue(const DateParts& date) {
  long long minutes = -static_cast<long long>(date.biasMinutes) + (date.daylight ? 60 : 0);
  return static_cast<int>((minutes / 60 * 100 + minutes % 60) % 10000);
}

void FormatDateHeader(const DateParts& date, char* out, int size) {
  if (out == nullptr || size <= 0) return;
  char zone[kZoneTextSize];
  FormatZone(ZoneValue(date), zone);
  snprintf(out, static_cast<size_t>(size), "Date: %s, %d %s %d %02d:%02d:%02d %s", kDayNames[Wrap(date.dayOfWeek, 7)],
           date.day, kMonthNames[Wrap(date.month - 1LL, 12)], date.year, date.hour, date.minute, date.second, zone);
}
