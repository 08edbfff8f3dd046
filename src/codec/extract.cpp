#include "codec/extract.h"

#include "codec/strings.h"

int ExtractText(const char* buffer, const char* sought, char* out, int size) {
  if (buffer == nullptr || sought == nullptr || out == nullptr) return 0;
  const char* found = FindNoCase(buffer, sought);
  return found == nullptr ? 0 : CopyLine(found, out, size);
}

int ExtractLine(const char* buffer, int number, char* out, int size) {
  if (buffer == nullptr || out == nullptr) return 0;
  const char* line = buffer;
  for (int n = 1; n < number; ++n) {
    const char* lf = FindChar(line, '\n');
    if (lf == nullptr) return 0;
    line = lf + 1;
  }
  return CopyLine(line, out, size);
}
