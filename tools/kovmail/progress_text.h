// The texts of the progress line: byte counts, rates, times left.
#pragma once

#include <cstdint>
#include <string>

namespace kovmail {

// "512 B", "12.5 KiB", "3.0 MiB", "1.2 GiB".
std::string ByteCount(uint64_t bytes);

// "0:07", "12:05", "1:02:03".
std::string Duration(uint64_t seconds);

// One progress line after `elapsedMs` of a transfer:
//   "sending 1.2 MiB of 3.0 MiB  40%  512.0 KiB/s  0:04 left"
// A total of 0 (unknown) shows only the bytes done and the rate; a total
// below the bytes done (an estimate) counts as the bytes done. Rate and time
// left appear once something was transferred in measurable time.
std::string ProgressLine(const std::string& label, uint64_t done, uint64_t total, uint64_t elapsedMs);

}  // namespace kovmail
