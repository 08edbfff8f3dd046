// The "Date:" header line with a numeric time zone, built from a local date
// and time handed in by the caller.
#pragma once

struct DateParts {
  int year;
  int month;      // 1..12
  int dayOfWeek;  // 0 = Sunday
  int day;        // 1..31
  int hour;
  int minute;
  int second;
  int biasMinutes;  // the standard zone's offset: UTC = local time + bias
  bool daylight;    // daylight-saving time in effect: one hour ahead
};

constexpr int kZoneTextSize = 6;
constexpr int kDateHeaderSize = 64;

// A zone value of hours * 100 + minutes as a sign and four digits ("+0530",
// "-0400"); only the last four digits of a larger value are kept.
void FormatZone(int value, char text[kZoneTextSize]);

// The zone value of a date: the offset from UTC (-bias, one hour more in
// daylight time) as hours * 100 + minutes.
int ZoneValue(const DateParts& date);

// "Date: Sun, 6 Dec 2026 09:05:07 +0000": day of month without a leading zero,
// hour, minutes and seconds always with two digits. The line has no CR LF and
// is cut to size - 1 characters; nothing is written for a size of 0 or less.
void FormatDateHeader(const DateParts& date, char* out, int size);
