// RFC 2047 encoded words in UTF-8, fitted into folded header lines.
#include "codec/encoded_words.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "codec/base64.h"
#include "codec/strings.h"

namespace {

constexpr int kWordMax = 75;    // the longest encoded word
constexpr int kWordFrame = 12;  // "=?UTF-8?B?" and "?="

// The folded value being written: what is used of `out`, the column on the
// current line, and whether something did not fit.
struct Writer {
  char* out;
  int size;
  int used;
  int column;
  bool failed;
};

void Put(Writer& w, const char* s, int n) {
  if (w.failed || n > w.size - 1 - w.used) {
    w.failed = true;
    return;
  }
  memcpy(w.out + w.used, s, static_cast<size_t>(n));
  w.used += n;
  for (int i = 0; i < n; ++i) w.column = s[i] == '\n' ? 0 : w.column + 1;
}

// A blank before a piece of `length` characters, or a fold when the piece
// would pass the line's end.
void Gap(Writer& w, int length) {
  const bool fold = w.column + 1 + length > kEncodedLineMax;
  Put(w, fold ? "\r\n " : " ", fold ? 3 : 1);
}

int Finish(Writer& w) {
  if (w.failed || w.size < 1) return -1;
  w.out[w.used] = '\0';
  return w.used;
}

// Bytes that stand for themselves in a Q word, wherever it is in a header.
bool QSafe(unsigned char ch) {
  return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '!' || ch == '*' ||
         ch == '+' || ch == '-' || ch == '/';
}

int QLength(unsigned char ch) { return QSafe(ch) || ch == ' ' ? 1 : 3; }

// Whether B words make the text shorter than Q words.
bool BIsShorter(const unsigned char* s, int length) {
  long q = 0;
  for (int i = 0; i < length; ++i) q += QLength(s[i]);
  return 4L * ((length + 2) / 3) < q;
}

// The end of the word from `i`: whole characters while the encoding fits
// `room`, at least one.
int WordEnd(const unsigned char* s, int i, int length, bool b, int room) {
  int end = i, used = 0;
  while (end < length) {
    const int k = Utf8CharLength(s + end, length - end);
    int add = 0;
    for (int j = 0; j < k; ++j) add += QLength(s[end + j]);
    const int next = b ? 4 * ((end + k - i + 2) / 3) : used + add;
    if (next > room && end > i) break;
    used = next;
    end += k;
  }
  return end;
}

void PutWord(Writer& w, const unsigned char* s, int n, bool b) {
  char word[kWordMax + 64];
  memcpy(word, b ? "=?UTF-8?B?" : "=?UTF-8?Q?", 10);
  int k = 10;
  if (b) {
    k += EncodeLine(reinterpret_cast<const char*>(s), word + k, n);
  } else {
    for (int i = 0; i < n; ++i) {
      if (s[i] == ' ') {
        word[k++] = '_';
      } else if (QSafe(s[i])) {
        word[k++] = static_cast<char>(s[i]);
      } else {
        // Every other byte as "=XX": a '?', '_' or '"' left as it is would
        // end the word or change its text.
        k += snprintf(word + k, 4, "=%02X", s[i]);
      }
    }
  }
  memcpy(word + k, "?=", 2);
  Put(w, word, k + 2);
}

// Writes the text as encoded words, the first after a blank when `gap`.
void PutWords(Writer& w, const char* text, int length, bool gap) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  const bool b = BIsShorter(s, length);
  for (int i = 0; i < length;) {
    int room = kEncodedLineMax - w.column - (gap ? 1 : 0);
    if (room < kWordFrame + 12 && w.column > 1) {
      Put(w, "\r\n ", 3);
      room = kEncodedLineMax - 1;
    } else if (gap) {
      Put(w, " ", 1);
    }
    const int end = WordEnd(s, i, length, b, (room < kWordMax ? room : kWordMax) - kWordFrame);
    PutWord(w, s + i, end - i, b);
    i = end;
    gap = true;
  }
}

bool IsBlank(char ch) { return ch == ' ' || ch == '\t'; }

// The end of the list entry from `i`: its separator or the NUL, passing over
// quoted text and text in angle brackets.
int EntryEnd(const char* list, int i, char sep) {
  bool quoted = false, angled = false;
  for (; list[i] != '\0'; ++i) {
    const char ch = list[i];
    if (quoted && ch == '\\' && list[i + 1] != '\0') {
      ++i;
    } else if (ch == '"' && !angled) {
      quoted = !quoted;
    } else if (!quoted && (ch == '<' || ch == '>')) {
      angled = ch == '<';
    } else if (ch == sep && !quoted && !angled) {
      break;
    }
  }
  return i;
}

// Where the address of an entry begins: its '<' outside quotes, or the end.
int AddressStart(const char* entry, int length) {
  bool quoted = false;
  for (int i = 0; i < length; ++i) {
    if (quoted && entry[i] == '\\') {
      ++i;
    } else if (entry[i] == '"') {
      quoted = !quoted;
    } else if (entry[i] == '<' && !quoted) {
      return i;
    }
  }
  return length;
}

// The display name as it reads: the quotes around it and its escapes gone.
std::string Unquoted(const char* name, int length) {
  std::string out;
  for (int i = 0; i < length; ++i) {
    if (name[i] == '"') continue;
    if (name[i] == '\\' && i + 1 < length) ++i;
    out += name[i];
  }
  return out;
}

// One entry: a name that is not ASCII as encoded words, then its address.
void PutEntry(Writer& w, const char* entry, int length, bool gap) {
  const int lt = AddressStart(entry, length);
  int nameEnd = lt;
  while (nameEnd > 0 && IsBlank(entry[nameEnd - 1])) --nameEnd;
  const std::string name(entry, static_cast<size_t>(nameEnd));
  // An entry without '<' is an address alone, which is never encoded.
  if (lt == length || !HasEightBit(name.c_str())) {
    if (gap) Gap(w, length);
    Put(w, entry, length);
    return;
  }
  const std::string shown = Unquoted(entry, nameEnd);
  PutWords(w, shown.data(), static_cast<int>(shown.size()), gap);
  Gap(w, length - lt);
  Put(w, entry + lt, length - lt);
}

}  // namespace

int Utf8CharLength(const unsigned char* s, int left) {
  const unsigned char lead = s[0];
  const int want = lead >= 0xF0 ? 4 : (lead >= 0xE0 ? 3 : (lead >= 0xC0 ? 2 : 1));
  int n = 1;
  while (n < want && n < left && (s[n] & 0xC0) == 0x80) ++n;
  return n;
}

bool HasEightBit(const char* text) {
  for (const char* p = text; p != nullptr && *p != '\0'; ++p) {
    if (static_cast<unsigned char>(*p) >= 0x80) return true;
  }
  return false;
}

int WordsSize(int length) { return length < 0 ? 64 : 5 * length + 64; }

int EncodeWords(const char* text, int length, int column, char* out, int size) {
  Writer w{out, size, 0, column, false};
  if (text != nullptr && length > 0) PutWords(w, text, length, false);
  return Finish(w);
}

int EncodeAddressList(const char* list, char sep, int column, char* out, int size) {
  Writer w{out, size, 0, column, false};
  bool first = true;
  for (int start = 0; list != nullptr;) {
    const int end = EntryEnd(list, start, sep);
    int a = start, b = end;
    while (a < b && IsBlank(list[a])) ++a;
    while (b > a && IsBlank(list[b - 1])) --b;
    if (a < b) {
      if (!first) Put(w, &sep, 1);
      PutEntry(w, list + a, b - a, !first);
      first = false;
    }
    if (list[end] == '\0') break;
    start = end + 1;
  }
  return Finish(w);
}

int EncodeHeaderBlock(const char* block, char* out, int size) {
  Writer w{out, size, 0, 0, false};
  for (const char* line = block; line != nullptr && *line != '\0';) {
    int n = 0;
    while (line[n] != '\0' && line[n] != '\r' && line[n] != '\n') ++n;
    const std::string text(line, static_cast<size_t>(n));
    const char* colon = FindChar(text.c_str(), ':');
    if (w.used > 0) Put(w, "\r\n", 2);
    if (colon != nullptr && HasEightBit(colon)) {
      const int name = static_cast<int>(colon - text.c_str()) + 1;
      int value = name;
      while (value < n && IsBlank(text[static_cast<size_t>(value)])) ++value;
      Put(w, line, name);
      PutWords(w, line + value, n - value, true);
    } else {
      Put(w, line, n);
    }
    line += n;
    while (*line == '\r' || *line == '\n') ++line;
  }
  return Finish(w);
}

// Quoted and RFC 2231 parameter values.
namespace {

constexpr int kLineMax = 78;

bool AttributeChar(unsigned char ch) {
  return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') ||
         (ch != '\0' && strchr("!#$&+-.^_`|~", ch) != nullptr);
}

// The percent-encoded form of one byte: its length, 1 or 3.
int PercentChar(unsigned char ch, char* out) {
  if (AttributeChar(ch)) {
    out[0] = static_cast<char>(ch);
    return 1;
  }
  snprintf(out, 4, "%%%02X", ch);
  return 3;
}

int EncodedLength(const unsigned char* s) {
  int n = 0;
  for (char piece[4]; *s != '\0'; ++s) n += PercentChar(*s, piece);
  return n;
}

// Appends `n` bytes; false when they do not fit with the NUL.
bool Append(char* out, int size, int& used, const char* s, int n) {
  if (n > size - 1 - used) return false;
  memcpy(out + used, s, static_cast<size_t>(n));
  used += n;
  return true;
}

}  // namespace

int EscapeQuoted(const char* value, char* out, int size) {
  if (out == nullptr || size < 1) return -1;
  int used = 0;
  for (const char* p = value != nullptr ? value : ""; *p != '\0'; ++p) {
    if ((*p == '"' || *p == '\\') && !Append(out, size, used, "\\", 1)) return -1;
    if (!Append(out, size, used, p, 1)) return -1;
  }
  out[used] = '\0';
  return used;
}

int ExtendedParameter(const char* lead, const char* attribute, const char* value, char* out, int size) {
  if (out == nullptr || size < 1 || lead == nullptr || attribute == nullptr || value == nullptr) return -1;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(value);
  int used = 0;
  char head[96];
  const int whole = snprintf(head, sizeof head, " %s*=UTF-8''", attribute);
  if (!Append(out, size, used, lead, StringLength(lead))) return -1;
  if (used + whole + EncodedLength(s) <= kLineMax) {
    if (!Append(out, size, used, head, whole)) return -1;
    for (char piece[4]; *s != '\0'; ++s) {
      if (!Append(out, size, used, piece, PercentChar(*s, piece))) return -1;
    }
    out[used] = '\0';
    return used;
  }
  for (int section = 0; *s != '\0'; ++section) {
    int column = snprintf(head, sizeof head, "%s\r\n %s*%d*=%s", section > 0 ? ";" : "", attribute, section,
                          section == 0 ? "UTF-8''" : "");
    if (!Append(out, size, used, head, column)) return -1;
    column -= section > 0 ? 3 : 2;
    // Each section leaves room for the ';' that may follow it, and holds
    // whole UTF-8 characters, as readers decode the sections one by one.
    const unsigned char* start = s;
    while (*s != '\0') {
      char piece[4 * 3 + 1];
      int n = 0;
      const int k = Utf8CharLength(s, 4);
      for (int i = 0; i < k; ++i) n += PercentChar(s[i], piece + n);
      if (column + n > kLineMax - 1) break;
      if (!Append(out, size, used, piece, n)) return -1;
      column += n;
      s += k;
    }
    if (s == start) return -1;
  }
  out[used] = '\0';
  return used;
}
