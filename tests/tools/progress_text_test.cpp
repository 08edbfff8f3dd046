#include "progress_text.h"

#include <gtest/gtest.h>

namespace kovmail {
namespace {

TEST(ByteCountTest, BinaryUnitsWithOneDecimal) {
  struct Case {
    uint64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0 B"},           {1023, "1023 B"},        {1024, "1.0 KiB"},          {1536, "1.5 KiB"},
      {1048576, "1.0 MiB"}, {3ull << 30, "3.0 GiB"}, {5ull << 50, "5120.0 TiB"},  // the largest unit goes on counting
  };
  for (const Case& c : cases) EXPECT_EQ(ByteCount(c.bytes), c.text) << c.bytes;
}

TEST(DurationTest, MinutesAndSecondsThenHours) {
  EXPECT_EQ(Duration(0), "0:00");
  EXPECT_EQ(Duration(7), "0:07");
  EXPECT_EQ(Duration(725), "12:05");
  EXPECT_EQ(Duration(3723), "1:02:03");
}

TEST(ProgressLineTest, DoneTotalPercentRateAndTimeLeft) {
  struct Case {
    uint64_t done, total, elapsedMs;
    const char* line;
  } cases[] = {
      {0, 0, 0, "sending 0 B"},
      {0, 4096, 500, "sending 0 B of 4.0 KiB  0%"},  // no rate before the first byte
      {2048, 4096, 0, "sending 2.0 KiB of 4.0 KiB  50%"},
      {2048, 4096, 1000, "sending 2.0 KiB of 4.0 KiB  50%  2.0 KiB/s  0:01 left"},
      {1000, 3000, 1000, "sending 1000 B of 2.9 KiB  33%  1000 B/s  0:02 left"},
      {1001, 3000, 1000, "sending 1001 B of 2.9 KiB  33%  1001 B/s  0:02 left"},     // 1.997 s rounds up
      {5000, 4096, 1000, "sending 4.9 KiB of 4.9 KiB  100%  4.9 KiB/s  0:00 left"},  // estimate exceeded
      {3u << 20, 0, 2000, "sending 3.0 MiB  1.5 MiB/s"},                             // total unknown
      {1u << 20, 100u << 20, 1000, "sending 1.0 MiB of 100.0 MiB  1%  1.0 MiB/s  1:39 left"},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgressLine("sending", c.done, c.total, c.elapsedMs), c.line) << c.line;
}

}  // namespace
}  // namespace kovmail
