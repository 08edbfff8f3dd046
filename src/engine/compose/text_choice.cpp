// The transfer encoding of a text in Unicode mode: base64 when more than a
// third of its bytes are 8-bit (quoted-printable would triple each of them),
// else quoted-printable. One pass over the text, in memory or in its file,
// up to its end or a NUL, where the text reader stops too.
#include "codec/strings.h"
#include "engine/compose/compose.h"
#include "platform/platform.h"

namespace {

struct Tally {
  uint64_t total = 0;
  uint64_t eightBit = 0;
};

// Counts `length` bytes; false at a NUL, which ends the text.
bool Count(const char* data, int length, Tally& t) {
  for (int i = 0; i < length; ++i) {
    const unsigned char ch = static_cast<unsigned char>(data[i]);
    if (ch == 0) return false;
    ++t.total;
    if (ch >= 0x80) ++t.eightBit;
  }
  return true;
}

bool MostlyEightBit(const Tally& t) { return t.eightBit * 3 > t.total; }

// A file that cannot be opened or read counts as it reads: the send itself
// then reports the failure when it opens the file.
bool FileWantsBase64(const char* path) {
  const int handle = platform::FileOpenRead(path);
  if (handle <= 0) return false;
  Tally t;
  char block[4096];
  for (;;) {
    const int n = platform::FileRead(handle, block, sizeof block);
    if (n <= 0 || !Count(block, n, t)) break;
  }
  platform::FileClose(handle);
  return MostlyEightBit(t);
}

}  // namespace

bool TextWantsBase64(const char* text, bool inFile) {
  if (text == nullptr) return false;
  if (inFile) return FileWantsBase64(text);
  Tally t;
  Count(text, StringLength(text), t);
  return MostlyEightBit(t);
}
