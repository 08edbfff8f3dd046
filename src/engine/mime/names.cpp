// Safe names for saved parts, their paths, and the list of saved names.
#include "engine/mime/names.h"

#include <cstdio>

#include "codec/paths.h"
#include "codec/strings.h"

namespace {

bool Forbidden(unsigned char ch) {
  if (ch >= 1 && ch <= 31) return true;
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
    if (Forbidden(static_cast<unsigned char>(out[i]))) out[i] = '_';
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
