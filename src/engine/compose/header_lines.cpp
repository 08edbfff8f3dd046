// The message's multipart Content-Type header.
#include "engine/compose/header_lines.h"

#include <cstdio>

int MessageContentType(bool html, bool alternative, const char* boundary, char* out, int size) {
  if (out == nullptr || size <= 0) return 0;
  const char* b = boundary != nullptr ? boundary : "";
  int n;
  if (html && alternative) {
    n = snprintf(out, static_cast<size_t>(size),
                 "Content-Type: multipart/related;type=\"multipart/alternative\";\r\n boundary=\"%s\"", b);
  } else if (html) {
    n = snprintf(out, static_cast<size_t>(size), "Content-Type: multipart/related; boundary=\"%s\"", b);
  } else {
    n = snprintf(out, static_cast<size_t>(size), "Content-Type: multipart/mixed; boundary=\"%s\"", b);
  }
  if (n < 0) return 0;
  return n < size ? n : size - 1;
}
