#include "progress_text.h"

#include <cstdio>

namespace kovmail {

std::string ByteCount(uint64_t bytes) {
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
  char text[32];
  if (bytes < 1024) {
    snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    return text;
  }
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < sizeof kUnits / sizeof kUnits[0]) {
    value /= 1024;
    ++unit;
  }
  snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string Duration(uint64_t seconds) {
  char text[32];
  unsigned long long s = seconds % 60, m = seconds / 60 % 60, h = seconds / 3600;
  if (h > 0) {
    snprintf(text, sizeof text, "%llu:%02llu:%02llu", h, m, s);
  } else {
    snprintf(text, sizeof text, "%llu:%02llu", m, s);
  }
  return text;
}

std::string ProgressLine(const std::string& label, uint64_t done, uint64_t total, uint64_t elapsedMs) {
  std::string line = label + " " + ByteCount(done);
  if (total > 0) {
    if (total < done) total = done;
    line += " of " + ByteCount(total);
    char percent[16];
    snprintf(percent, sizeof percent, "  %d%%", static_cast<int>(done * 100 / total));
    line += percent;
  }
  if (done == 0 || elapsedMs == 0) return line;
  uint64_t perSecond = static_cast<uint64_t>(done * 1000.0 / elapsedMs);
  line += "  " + ByteCount(perSecond) + "/s";
  if (total > 0) {
    // Time left at the average rate so far, rounded up to whole seconds.
    double leftMs = static_cast<double>(total - done) * elapsedMs / done;
    line += "  " + Duration(static_cast<uint64_t>((leftMs + 999) / 1000)) + " left";
  }
  return line;
}

}  // namespace kovmail
