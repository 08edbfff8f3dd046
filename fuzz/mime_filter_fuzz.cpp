// libFuzzer target for the incoming-message decoder: any message, any
// settings, lines cut into pieces of several sizes. Every action the filter
// asks for is checked (support/mime_run.h); a broken rule aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/mime_run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string violation = CheckMimeInput(data, size);
  if (!violation.empty()) {
    fprintf(stderr, "broken rule: %s\n", violation.c_str());
    abort();
  }
  return 0;
}
