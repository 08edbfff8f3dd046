// Safe names for saved parts, their paths, and the list of saved names.
#include "engine/mime/names.h"

#include <cstdio>

#include "codec/strings.h"

namespace {

bool Forbidden(unsigned char ch, bool utf8) {
  if (ch >= 1 && ch <= 31) return true;
  if (utf8 && ch >= 0x80) return false;
  switch (ch) {
    case '"':
    case '*':
    case '/':
    case ':':
    case '<':
    case '=':
    case '>':
    case '?':
    case '\\':
    case '|':
    case 0x81:
    case 0x8D:
    case 0x8E:
    case 0x8F:
    case 0x90:
    case 0x9D:
    case 0x9E:
      return true;
    default:
      return false;
  }
}

bool DotOrBlank(char ch) { return ch == '.' || ch == ' '; }

// Puts '_' in front of the name in `out`, dropping its last character when
// the buffer is full.
void PrefixUnderscore(char* out, int size) {
  int n = StringLength(out);
  if (n >= size - 1) n = size - 2;
  for (int i = n; i > 0; --i) out[i] = out[i - 1];
  out[0] = '_';
  out[n + 1] = '\0';
}

// "1" to "9", or the superscript 1, 2 or 3.
bool PortDigit(unsigned char ch) { return (ch >= '1' && ch <= '9') || ch == 0xB9 || ch == 0xB2 || ch == 0xB3; }

}  // namespace

bool IsDeviceName(const char* name) {
  if (name == nullptr) return false;
  int stem = 0;
  while (name[stem] != '\0' && name[stem] != '.') ++stem;
  while (stem > 0 && name[stem - 1] == ' ') --stem;
  static const char* const kPlain[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kPlain) {
    if (stem == StringLength(device) && CompareNoCase(name, device, stem)) return true;
  }
  return stem == 4 && (CompareNoCase(name, "COM", 3) || CompareNoCase(name, "LPT", 3)) &&
         PortDigit(static_cast<unsigned char>(name[3]));
}

int MakePartFileName(const char* name, const PartNaming& naming, char* out, int size) {
  if (out == nullptr || size < 8) return 0;
  const char* source = name != nullptr ? name : "";
  if (naming.attachNumber > 0) {
    snprintf(out, static_cast<size_t>(size), "%d.att", static_cast<int>(naming.attachNumber));
  } else if (naming.numberNames) {
    snprintf(out, static_cast<size_t>(size), "%lld-%s", static_cast<long long>(naming.counter) + 1, source);
  } else {
    BoundedCopy(out, source, size - 1);
  }
  int n = StringLength(out);
  bool onlyDots = true;
  for (int i = 0; i < n; ++i) {
    if (Forbidden(static_cast<unsigned char>(out[i]), naming.utf8)) out[i] = '_';
    if (!DotOrBlank(out[i])) onlyDots = false;
  }
  if (onlyDots) n = BoundedCopy(out, "noname", size - 1);
  for (int i = n - 1; i >= 0 && DotOrBlank(out[i]); --i) out[i] = '_';
  // A device name, or a hidden file (a dot-file such as ".bashrc" must not
  // replace the user's own).
  if (IsDeviceName(out) || out[0] == '.') PrefixUnderscore(out, size);
  const char* mail = naming.mailFileName != nullptr ? naming.mailFileName : "";
  mail += BaseNameStart(mail, StringLength(mail), true);
  const int mailLength = StringLength(mail);
  if (mailLength > 0 && mailLength == StringLength(out) && CompareNoCase(out, mail, mailLength)) {
    PrefixUnderscore(out, size);
  }
  return StringLength(out);
}

bool AppendSavedName(char* list, int capacity, const char* name, char separator) {
  const int used = StringLength(list);
  const int separatorLength = used > 0 ? 1 : 0;
  const int nameLength = StringLength(name);
  if (used + separatorLength + nameLength + 1 > capacity) return false;
  if (separatorLength) {
    list[used] = separator;
    list[used + 1] = '\0';
  }
  BoundedAppend(list, name, nameLength);
  return true;
}

namespace {

// Where the extension begins (its dot), or `length` when it has none to keep.
int ExtensionStart(const char* name, int length) {
  for (int i = length - 1; i > 0 && length - i <= 32; --i) {
    if (name[i] == '.') return i;
  }
  return length;
}

}  // namespace

int FitName(const char* name, int length, bool utf8, char* out, int max) {
  if (out == nullptr || max < 0) return 0;
  if (length <= max) return CopyCount(out, name, length);
  const int ext = ExtensionStart(name, length);
  const int extLength = length - ext < max ? length - ext : 0;
  int stem = max - extLength;
  // A UTF-8 character is cut before its first byte.
  while (utf8 && stem > 0 && (static_cast<unsigned char>(name[stem]) & 0xC0) == 0x80) --stem;
  CopyCount(out, name, stem);
  CopyCount(out + stem, name + (extLength > 0 ? ext : length), extLength);
  return stem + extLength;
}

uint32_t NameHash(const char* name) {
  uint32_t hash = 2166136261u;
  for (const char* p = name; p != nullptr && *p != '\0'; ++p) {
    const char ch = *p >= 'a' && *p <= 'z' ? static_cast<char>(*p - 32) : *p;
    hash = (hash ^ static_cast<unsigned char>(ch)) * 16777619u;
  }
  return hash;
}

int NumberedName(const char* name, int number, char* out, int size) {
  if (out == nullptr || size <= 0) return 0;
  const int length = StringLength(name);
  const int ext = ExtensionStart(name, length);
  int n = snprintf(out, static_cast<size_t>(size), "%.*s (%d)%s", ext, name, number, name + ext);
  if (n < 0) n = 0;
  return n < size ? n : size - 1;
}
