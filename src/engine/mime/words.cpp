// Encoded words: Q (hexadecimal escapes) and B (base64) decoding of the
// ISO-8859-1 words in a line, the rest of the line left as it is.
#include "engine/mime/words.h"

#include "codec/quoted.h"
#include "codec/strings.h"

namespace {

constexpr char kOpening[] = "=?iso-8859-1?";
constexpr int kOpeningLength = 13;
// The opening, the letter and the '?' that starts the encoded text.
constexpr int kPrefixLength = kOpeningLength + 2;

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

// 0..63 for the base64 alphabet, every other character 0.
int SextetOf(char ch) {
  if (ch >= 'A' && ch <= 'Z') return ch - 'A';
  if (ch >= 'a' && ch <= 'z') return ch - 'a' + 26;
  if (ch >= '0' && ch <= '9') return ch - '0' + 52;
  if (ch == '+') return 62;
  if (ch == '/') return 63;
  return 0;
}

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

// "=" and two hexadecimal digits give a byte; '_' is a blank in headers.
void DecodeQ(const char* s, int length, Writer& w, WordStyle style) {
  for (int i = 0; i < length; ++i) {
    if (s[i] == '=' && i + 2 < length) {
      w.Put(OneLine(static_cast<char>(16 * HexDigitValue(s[i + 1]) + HexDigitValue(s[i + 2]))));
      i += 2;
    } else if (s[i] == '_' && style == WordStyle::kHeader) {
      w.Put(' ');
    } else {
      w.Put(OneLine(s[i]));
    }
  }
}

// Whole groups of four characters; 1 to 3 characters after the last group are
// ignored, and '=' at the end of the last group marks padding. Returns the
// bytes decoded.
int DecodeB(const char* s, int length, Writer& w) {
  const int groups = length / 4;
  int decoded = 0;
  for (int g = 0; g < groups; ++g) {
    const char* q = s + 4 * g;
    const int bits = SextetOf(q[0]) << 18 | SextetOf(q[1]) << 12 | SextetOf(q[2]) << 6 | SextetOf(q[3]);
    int bytes = 3;
    if (g == groups - 1 && q[3] == '=') bytes -= q[2] == '=' ? 2 : 1;
    const char out[3] = {static_cast<char>(bits >> 16), static_cast<char>(bits >> 8), static_cast<char>(bits)};
    for (int b = 0; b < bytes; ++b) w.Put(OneLine(out[b]));
    decoded += bytes;
  }
  return decoded;
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
      const int decoded = DecodeB(text + word.textStart, encoded, w);
      padding += encoded + 2 - decoded;
    } else {
      DecodeQ(text + word.textStart, encoded, w, style);
    }
    i = word.textEnd + 2;
  }
  if (style == WordStyle::kHeader) {
    for (int k = 0; k < padding; ++k) w.Put(' ');
  }
  for (int i = body; i < length; ++i) w.Put(text[i]);
  return w.Finish();
}
