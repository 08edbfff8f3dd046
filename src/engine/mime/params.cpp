// Parameter values: quoted strings and tokens of a header line.
#include "engine/mime/params.h"

#include "codec/strings.h"

namespace {

bool EndsToken(char ch) { return ch == ';' || ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }

}  // namespace

bool FindParameter(const char* line, int from, const char* key, ParamValue& value) {
  if (line == nullptr || from < 0 || from > StringLength(line)) return false;
  const char* found = FindNoCase(line + from, key);
  if (found == nullptr) return false;
  const char* p = found + StringLength(key);
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '"') {
    const char* close = FindChar(p + 1, '"');
    if (close == nullptr) return false;
    value.start = static_cast<int>(p + 1 - line);
    value.length = static_cast<int>(close - (p + 1));
    return true;
  }
  const char* end = p;
  while (*end != '\0' && !EndsToken(*end)) ++end;
  if (*end == '\0') return false;
  value.start = static_cast<int>(p - line);
  value.length = static_cast<int>(end - p);
  return true;
}
