// The Date header from injected dates and zones: biases east and west,
// daylight time, half-hour zones and the two-digit fields.
#include <gtest/gtest.h>

#include <climits>

#include "codec/date.h"

namespace {

TEST(DateHeader, Table) {
  const struct {
    DateParts date;
    const char* header;
  } cases[] = {
      {{2026, 12, 0, 6, 9, 5, 7, 0, false}, "Date: Sun, 6 Dec 2026 09:05:07 +0000"},
      {{2024, 7, 1, 1, 0, 0, 0, -60, false}, "Date: Mon, 1 Jul 2024 00:00:00 +0100"},
      {{2024, 7, 1, 1, 14, 0, 0, -60, true}, "Date: Mon, 1 Jul 2024 14:00:00 +0200"},
      {{1999, 1, 0, 31, 23, 59, 59, 300, false}, "Date: Sun, 31 Jan 1999 23:59:59 -0500"},
      {{2000, 6, 6, 10, 12, 30, 9, 300, true}, "Date: Sat, 10 Jun 2000 12:30:09 -0400"},
      {{2025, 3, 2, 11, 8, 1, 2, 60, true}, "Date: Tue, 11 Mar 2025 08:01:02 +0000"},
      {{2025, 3, 3, 12, 8, 1, 2, -330, false}, "Date: Wed, 12 Mar 2025 08:01:02 +0530"},
      {{2025, 3, 3, 12, 8, 1, 2, 210, false}, "Date: Wed, 12 Mar 2025 08:01:02 -0330"},
      {{2025, 3, 3, 12, 8, 1, 2, 210, true}, "Date: Wed, 12 Mar 2025 08:01:02 -0230"},
      // Fields out of range stay inside the name tables.
      {{2025, 13, 7, 1, 0, 0, 0, 0, false}, "Date: Sun, 1 Jan 2025 00:00:00 +0000"},
      {{2025, INT_MIN, INT_MIN, 1, 0, 0, 0, INT_MIN, true}, "Date: Fri, 1 Apr 2025 00:00:00 +9508"},
  };
  for (const auto& c : cases) {
    char out[kDateHeaderSize];
    FormatDateHeader(c.date, out, sizeof out);
    EXPECT_STREQ(out, c.header);
  }
  char out[12] = "###########";
  FormatDateHeader(cases[0].date, out, 10);
  EXPECT_EQ(std::string(out, 11), std::string("Date: Sun", 9) + '\0' + '#');
}

}  // namespace
