// Encoded words: the ISO-8859-1 words of a line found and decoded with the
// quoted-printable (Q) and base64 (B) decoders, the rest of the line left as
// it is.
#include "engine/mime/words.h"

#include "codec/base64.h"
#include "codec/quoted.h"
#include "codec/strings.h"

namespace {

constexpr char kOpening[] = "=?iso-8859-1?";
constexpr int kOpeningLength = 13;
// The opening, the letter and the '?' that starts the encoded text.
constexpr int kPrefixLength = kOpeningLength + 2;
// Encoded text is decoded this many characters at a time.
constexpr int kSlice = 192;

struct Word {
  bool base64;
  int textStart;  // the encoded text
  int textEnd;    // the '?' of the closing "?="
};

// Reads an encoded word starting at `at`: false when there is none.
bool ReadWord(const char* text, int length, int at, Word& word) {
  if (length - at < kPrefixLength + 2 || !CompareNoCase(text + at, kOpening, kOpeningLength)) return false;
  const char letter = text[at + kOpeningLength];
  if (text[at + kOpeningLength + 1] != '?') return false;
  if (letter == 'q' || letter == 'Q') {
    word.base64 = false;
  } else if (letter == 'b' || letter == 'B') {
    word.base64 = true;
  } else {
    return false;
  }
  word.textStart = at + kPrefixLength;
  for (int i = word.textStart; i < length; ++i) {
    if (text[i] != '?') continue;
    if (i + 1 >= length || text[i + 1] != '=') return false;
    word.textEnd = i;
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

// Writes the decoded text of a Q word: '_' is a blank in headers; CR, LF and
// NUL count as blanks before decoding as after it, so that none can act as a
// line end; an '=' left without its two digits at the end stays.
void WriteQText(const char* s, int length, Writer& w, WordStyle style) {
  Carry carry{};
  char slice[kSlice];
  char decoded[kSlice + 2];
  for (int at = 0; at < length; at += kSlice) {
    const int n = length - at < kSlice ? length - at : kSlice;
    for (int i = 0; i < n; ++i) slice[i] = s[at + i] == '_' && style == WordStyle::kHeader ? ' ' : OneLine(s[at + i]);
    const int count = DecodeQuoted(slice, n, false, carry, decoded);
    for (int i = 0; i < count; ++i) w.Put(OneLine(decoded[i]));
  }
  for (int i = 0; i < carry.length; ++i) w.Put(carry.bytes[i]);
}

// Writes the decoded text of a B word; 1 to 3 characters after the last
// group are ignored. Returns the bytes decoded.
int WriteBText(const char* s, int length, Writer& w) {
  Carry carry{};
  char decoded[3 * (kSlice / 4) + 3];
  int total = 0;
  for (int at = 0; at < length; at += kSlice) {
    const int n = length - at < kSlice ? length - at : kSlice;
    const int count = DecodeBase64(s + at, n, carry, Base64Skip::kLineEndsAndBlanks, decoded);
    for (int i = 0; i < count; ++i) w.Put(OneLine(decoded[i]));
    total += count;
  }
  return total;
}

}  // namespace

bool HasEncodedWord(const char* text) {
  return FindNoCase(text, "=?iso-8859-1?q?") != nullptr || FindNoCase(text, "=?iso-8859-1?b?") != nullptr;
}

int DecodeEncodedWords(const char* text, int length, char* out, int size, WordStyle style) {
  if (out == nullptr || size <= 0) return 0;
  Writer w(out, size);
  if (text == nullptr || length < 0) length = 0;
  // The line end stays last, after the blanks that pad B words.
  int body = length;
  if (body > 0 && text[body - 1] == '\n') --body;
  if (body > 0 && text[body - 1] == '\r') --body;
  int padding = 0;
  Word word;
  for (int i = 0; i < body;) {
    if (text[i] != '=' || !ReadWord(text, body, i, word)) {
      w.Put(text[i++]);
      continue;
    }
    const int encoded = word.textEnd - word.textStart;
    if (word.base64) {
      const int decoded = WriteBText(text + word.textStart, encoded, w);
      padding += encoded + 2 - decoded;
    } else {
      WriteQText(text + word.textStart, encoded, w, style);
    }
    i = word.textEnd + 2;
  }
  if (style == WordStyle::kHeader) {
    for (int k = 0; k < padding; ++k) w.Put(' ');
  }
  for (int i = body; i < length; ++i) w.Put(text[i]);
  return w.Finish();
}
