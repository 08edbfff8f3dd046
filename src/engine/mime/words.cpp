// Encoded words: found in a line, their text decoded with the quoted-printable
// (Q) and base64 (B) decoders, the bytes of adjacent words of one character
// set gathered and converted together, the rest of the line left as it is.
#include "engine/mime/words.h"

#include <cstring>

#include "codec/base64.h"
#include "codec/strings.h"
#include "codec/quoted.h"

namespace {

constexpr int kCharsetMax = 40;
// Encoded text is decoded this many characters at a time.
constexpr int kSlice = 192;
// Decoded bytes gathered before they are converted.
constexpr int kPendingMax = 512;

struct Word {
  bool base64;
  char charset[kCharsetMax + 2];  // without a "*language" suffix
  int textStart;                  // the encoded text
  int textEnd;                    // the '?' of the closing "?="
};

bool CharsetChar(char ch) { return ch > ' ' && ch < 0x7F && ch != '?' && ch != '='; }
bool IsBlank(char ch) { return ch == ' ' || ch == '\t'; }

// Reads an encoded word starting at `at`: false when there is none.
bool ReadWord(const char* text, int length, int at, Word& word) {
  if (length - at < 8 || text[at] != '=' || text[at + 1] != '?') return false;
  int i = at + 2;
  while (i < length && CharsetChar(text[i]) && i - at - 2 < kCharsetMax) ++i;
  const int charsetLength = i - at - 2;
  if (charsetLength == 0 || i + 2 >= length || text[i] != '?' || text[i + 2] != '?') return false;
  const char letter = text[i + 1];
  if (letter != 'q' && letter != 'Q' && letter != 'b' && letter != 'B') return false;
  word.base64 = letter == 'b' || letter == 'B';
  CopyCount(word.charset, text + at + 2, charsetLength);
  const int star = FindCharN(word.charset, '*', charsetLength);
  if (star >= 0) word.charset[star] = '\0';
  word.textStart = i + 3;
  for (int k = word.textStart; k < length; ++k) {
    if (text[k] != '?') continue;
    if (k + 1 >= length || text[k + 1] != '=') return false;
    word.textEnd = k;
    return true;
  }
  return false;
}

char OneLine(char ch) { return ch == '\r' || ch == '\n' || ch == '\0' ? ' ' : ch; }

// Bytes into a bounded buffer; what does not fit is dropped.
class Writer {
 public:
  Writer(char* out, int size) : out_(out), size_(size) {}
  void Put(char ch) {
    if (n_ < size_ - 1) out_[n_++] = ch;
  }
  int Finish() {
    out_[n_] = '\0';
    return n_;
  }

 private:
  char* out_;
  int size_;
  int n_ = 0;
};

// The decoded bytes of adjacent words of one character set, converted into
// the writer together.
class Pending {
 public:
  Pending(Writer& w, const WordRules& rules) : w_(w), rules_(rules) {}
  void Start(const char* charset) {
    if (CompareNoCase(charset, charset_, kCharsetMax + 1) && StringLength(charset) == StringLength(charset_)) return;
    Flush();
    BoundedCopy(charset_, charset, kCharsetMax);
  }
  void Add(const char* bytes, int count) {
    for (int i = 0; i < count; ++i) {
      if (n_ == kPendingMax) Flush();
      bytes_[n_++] = bytes[i];
    }
  }
  void Flush() {
    char converted[3 * kPendingMax + 16];
    const int count = ConvertText(charset_, bytes_, n_, rules_.coding, converted, sizeof converted);
    for (int i = 0; i < count; ++i) w_.Put(OneLine(converted[i]));
    n_ = 0;
  }

 private:
  Writer& w_;
  const WordRules& rules_;
  char charset_[kCharsetMax + 2] = "";
  char bytes_[kPendingMax];
  int n_ = 0;
};

// Decodes the text of a Q word: CR, LF and NUL count as blanks before
// decoding, so that none can act as a line end; an '=' left without its two
// digits at the end stays.
void AddQText(const char* s, int length, Pending& p, bool underscoreBlank) {
  Carry carry{};
  char slice[kSlice];
  char decoded[kSlice + 2];
  for (int at = 0; at < length; at += kSlice) {
    const int n = length - at < kSlice ? length - at : kSlice;
    for (int i = 0; i < n; ++i) slice[i] = s[at + i] == '_' && underscoreBlank ? ' ' : OneLine(s[at + i]);
    p.Add(decoded, DecodeQuoted(slice, n, false, carry, decoded));
  }
  p.Add(carry.bytes, carry.length);
}

// Decodes the text of a B word, a last group without padding included.
// Returns the bytes decoded.
int AddBText(const char* s, int length, Pending& p) {
  Carry carry{};
  char decoded[3 * (kSlice / 4) + 3];
  int total = 0;
  for (int at = 0; at < length; at += kSlice) {
    const int n = length - at < kSlice ? length - at : kSlice;
    const int count = DecodeBase64(s + at, n, carry, Base64Skip::kLineEndsAndBlanks, decoded);
    p.Add(decoded, count);
    total += count;
  }
  const int last = FinishBase64(carry, decoded);
  p.Add(decoded, last);
  return total + last;
}

}  // namespace

bool HasEncodedWord(const char* text) {
  const int length = StringLength(text);
  Word word;
  for (const char* at = FindChar(text, '='); at != nullptr; at = FindChar(at + 1, '=')) {
    if (ReadWord(text, length, static_cast<int>(at - text), word)) return true;
  }
  return false;
}

WordRules HeaderWordRules(TextCoding coding) { return WordRules{true, coding == TextCoding::kLatin1, coding}; }
WordRules NameWordRules(TextCoding coding) { return WordRules{coding == TextCoding::kUtf8, false, coding}; }

int DecodeEncodedWords(const char* text, int length, char* out, int size, const WordRules& rules) {
  if (out == nullptr || size <= 0) return 0;
  Writer w(out, size);
  if (text == nullptr || length < 0) length = 0;
  // The line end stays last, after the blanks that pad B words.
  const int body = length - LineEndLength(text, length);
  int padding = 0;
  Pending pending(w, rules);
  Word word;
  for (int i = 0; i < body;) {
    if (text[i] != '=' || !ReadWord(text, body, i, word)) {
      pending.Flush();
      w.Put(text[i++]);
      continue;
    }
    pending.Start(word.charset);
    const int encoded = word.textEnd - word.textStart;
    if (word.base64) {
      padding += encoded + 2 - AddBText(text + word.textStart, encoded, pending);
    } else {
      AddQText(text + word.textStart, encoded, pending, rules.underscoreBlank);
    }
    i = word.textEnd + 2;
    // Blanks between two encoded words are not part of the text.
    int next = i;
    while (next < body && IsBlank(text[next])) ++next;
    if (next > i && ReadWord(text, body, next, word)) i = next;
  }
  pending.Flush();
  if (rules.padBase64) {
    for (int k = 0; k < padding; ++k) w.Put(' ');
  }
  for (int i = body; i < length; ++i) w.Put(text[i]);
  return w.Finish();
}

int NameStartOutsideWords(const char* text, int length) {
  int start = 0;
  Word word;
  for (int i = 0; i < length; ++i) {
    if (text[i] == '=' && ReadWord(text, length, i, word)) {
      i = word.textEnd + 1;
    } else if (i > 0 && IsPathBreak(text[i])) {
      start = i + 1;
    }
  }
  return start;
}
