// Statistic counters: byte and event counts that stop at the largest int32
// value instead of wrapping round to negative numbers on a huge transfer.
#pragma once

#include <cstdint>

// a + b, held within the int32 range.
inline int32_t SaturatingAdd(int32_t a, int32_t b) {
  const int64_t sum = static_cast<int64_t>(a) + b;
  if (sum > INT32_MAX) return INT32_MAX;
  return sum < INT32_MIN ? INT32_MIN : static_cast<int32_t>(sum);
}
