// Parameter values: quoted strings and tokens of a header line.
#include "engine/mime/params.h"

#include "codec/strings.h"

#include "codec/quoted.h"

namespace {

bool EndsToken(char ch) { return ch == ';' || ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }
bool IsBlank(char ch) { return ch == ' ' || ch == '\t'; }
bool IsHexDigit(char ch) {
  return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
}

constexpr int kSectionsMax = 32;

// The quote that closes a quoted string whose text begins at `text`: the
// first '"' not escaped by a backslash (\" and \\ are quoted pairs). Null
// when there is none.
const char* ClosingQuote(const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '\\' && (p[1] == '"' || p[1] == '\\')) {
      ++p;
    } else if (*p == '"') {
      return p;
    }
  }
  return nullptr;
}

// One "attribute=value" of a parameter list.
struct Param {
  int attrStart, attrLength;
  ParamValue value;
};

// Reads the parameter after the next ';' from `at` on (quoted strings
// skipped); false at the end of the line.
bool NextParam(const char* line, int& at, Param& p) {
  while (line[at] != '\0' && line[at] != ';') {
    if (line[at] == '"') {
      const char* close = ClosingQuote(line + at + 1);
      if (close == nullptr) return false;
      at = static_cast<int>(close - line);
    }
    ++at;
  }
  if (line[at] == '\0') return false;
  ++at;
  while (IsBlank(line[at])) ++at;
  p.attrStart = at;
  while (line[at] != '\0' && line[at] != '=' && line[at] != ';' && !EndsToken(line[at])) ++at;
  p.attrLength = at - p.attrStart;
  while (IsBlank(line[at])) ++at;
  // An attribute without '=' has an empty value.
  p.value = ParamValue{at, 0};
  if (line[at] != '=') return true;
  ++at;
  while (IsBlank(line[at])) ++at;
  p.value.start = line[at] == '"' ? at + 1 : at;
  const char* end = line[at] == '"' ? ClosingQuote(line + at + 1) : nullptr;
  if (line[at] != '"') {
    while (line[at] != '\0' && !EndsToken(line[at])) ++at;
    p.value.length = at - p.value.start;
    return true;
  }
  // A quoted value ends at its closing quote, or at the end of the line.
  at = end != nullptr ? static_cast<int>(end - line) : StringLength(line);
  p.value.length = at - p.value.start;
  if (end != nullptr) ++at;
  return true;
}

// The section number of an attribute "key*" (0, encoded), "key*N" or
// "key*N*": -1 when the attribute is another one.
int SectionOf(const char* attr, int length, const char* key, bool& encoded) {
  const int keyLength = StringLength(key);
  if (length <= keyLength || !CompareNoCase(attr, key, keyLength) || attr[keyLength] != '*') return -1;
  encoded = attr[length - 1] == '*';
  if (length == keyLength + 1) return 0;
  int number = 0;
  for (int i = keyLength + 1; i < length - (encoded ? 1 : 0); ++i) {
    if (attr[i] < '0' || attr[i] > '9' || number >= kSectionsMax) return -1;
    number = number * 10 + (attr[i] - '0');
  }
  return number < kSectionsMax ? number : -1;
}

// Appends a section's text, %XX decoded when it is encoded.
void AppendSection(const char* text, int length, bool encoded, char* out, int size, int& n) {
  for (int i = 0; i < length && n < size - 1; ++i) {
    if (encoded && text[i] == '%' && i + 2 < length && IsHexDigit(text[i + 1]) && IsHexDigit(text[i + 2])) {
      out[n++] = static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
      i += 2;
    } else {
      out[n++] = text[i];
    }
  }
}

}  // namespace

bool FindParameter(const char* line, int from, const char* key, ParamValue& value) {
  if (line == nullptr || from < 0 || from > StringLength(line)) return false;
  const char* found = FindNoCase(line + from, key);
  if (found == nullptr) return false;
  const char* p = found + StringLength(key);
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '"') {
    const char* close = ClosingQuote(p + 1);
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

bool FindExtendedParameter(const char* line, int from, const char* key, char* charset, int charsetSize, char* out,
                           int size, int& length) {
  if (line == nullptr || from < 0 || from > StringLength(line) || size <= 0 || charsetSize <= 0) return false;
  ParamValue sections[kSectionsMax] = {};
  bool encoded[kSectionsMax] = {};
  bool found[kSectionsMax] = {};
  Param p;
  for (int at = from; NextParam(line, at, p);) {
    bool marked = false;
    const int number = SectionOf(line + p.attrStart, p.attrLength, key, marked);
    if (number < 0) continue;
    sections[number] = p.value;
    encoded[number] = marked;
    found[number] = true;
  }
  if (!found[0]) return false;
  charset[0] = '\0';
  ParamValue first = sections[0];
  if (encoded[0]) {
    // charset'language'text
    const int quote = FindCharN(line + first.start, '\'', first.length);
    const int second = quote < 0 ? -1 : FindCharN(line + first.start + quote + 1, '\'', first.length - quote - 1);
    if (second >= 0) {
      CopyCount(charset, line + first.start, quote < charsetSize - 1 ? quote : charsetSize - 1);
      first.start += quote + second + 2;
      first.length -= quote + second + 2;
    }
  }
  int n = 0;
  AppendSection(line + first.start, first.length, encoded[0], out, size, n);
  for (int i = 1; i < kSectionsMax && found[i]; ++i) {
    AppendSection(line + sections[i].start, sections[i].length, encoded[i], out, size, n);
  }
  out[n] = '\0';
  length = n;
  return true;
}

int UnquoteValue(const char* text, int length, char* out) {
  int n = 0;
  for (int i = 0; i < length; ++i) {
    if (text[i] == '\\' && i + 1 < length && (text[i + 1] == '"' || text[i + 1] == '\\')) ++i;
    out[n++] = text[i];
  }
  return n;
}
