// The message's multipart Content-Type header, its X-Mailer and Message-ID
// lines.
#include "engine/compose/header_lines.h"

#include <cstdio>

#include "codec/strings.h"

namespace {

bool IsDomainChar(char ch) {
  return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '-' || ch == '.';
}

// The length of the result of snprintf as it was cut to `size`.
int Written(int n, int size) {
  if (n < 0) return 0;
  return n < size ? n : size - 1;
}

}  // namespace

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
  return Written(n, size);
}


int MailerLine(int version, char* out, int size) {
  if (out == nullptr || size <= 0) return 0;
  const int n =
      snprintf(out, static_cast<size_t>(size), "X-Mailer: Orvandel Kovmail Version %d.%d", (version >> 8) & 255, (version >> 4) & 15);
  return Written(n, size);
}

int MessageIdLine(const MessageIdStamp& stamp, const char* sender, char* out, int size) {
  if (out == nullptr || size <= 0) return 0;
  char domain[130] = "";
  const char* at = nullptr;
  for (const char* p = sender != nullptr ? sender : ""; *p != '\0'; ++p) {
    if (*p == '@') at = p;
  }
  int length = 0;
  for (const char* p = at != nullptr ? at + 1 : ""; IsDomainChar(*p) && length < 128; ++p) domain[length++] = *p;
  domain[length] = '\0';
  const int n = snprintf(out, static_cast<size_t>(size), "Message-ID: <%u.%u.%u.%u@%s>", static_cast<unsigned>(stamp.seconds),
                         static_cast<unsigned>(stamp.process), static_cast<unsigned>(stamp.ticks),
                         static_cast<unsigned>(stamp.counter), length > 0 ? domain : "localhost");
  return Written(n, size);
}

bool HasHeaderNamed(const char* block, const char* name) {
  const int length = StringLength(name);
  for (const char* line = block; line != nullptr && *line != '\0';) {
    if (CompareNoCase(line, name, length)) {
      const char* p = line + length;
      while (*p == ' ' || *p == '\t') ++p;
      if (*p == ':') return true;
    }
    while (*line != '\0' && *line != '\r' && *line != '\n') ++line;
    while (*line == '\r' || *line == '\n') ++line;
  }
  return false;
}

const char* UnicodeTextType(uint32_t bodyType, const char* userType) {
  switch (bodyType) {
    case 2:
      return "Content-Type: text/html; charset=UTF-8";
    case 3:
      return "Content-Type: text/enriched; charset=UTF-8";
    case 4:
      return "Content-Type: text/plain; charset=iso-8859-1";
    case 9:
      if (userType != nullptr && userType[0] != '\0') return userType;
      return "Content-Type: text/plain; charset=UTF-8";
    default:
      return "Content-Type: text/plain; charset=UTF-8";
  }
}
