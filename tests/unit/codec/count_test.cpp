// Statistic counters stop at the int32 limits instead of wrapping.
#include <gtest/gtest.h>

#include <cstdint>

#include "codec/strings.h"

namespace {

TEST(Count, SaturatingAddTable) {
  const struct {
    int32_t a, b, sum;
  } cases[] = {
      {0, 0, 0},
      {40, 2, 42},
      {INT32_MAX - 1, 1, INT32_MAX},
      {INT32_MAX - 1, 2, INT32_MAX},
      {INT32_MAX, INT32_MAX, INT32_MAX},
      {INT32_MAX, -1, INT32_MAX - 1},
      {INT32_MIN, -1, INT32_MIN},
  };
  for (const auto& t : cases) EXPECT_EQ(SaturatingAdd(t.a, t.b), t.sum) << t.a << " + " << t.b;
}

}  // namespace
