// POSIX side of the character-set conversion: iconv.
#include <errno.h>
#include <iconv.h>

#include "platform/platform.h"

namespace platform {

namespace {

// Writes U+FFFD when it fits.
bool PutReplacement(char*& out, size_t& room) {
  if (room < 3) return false;
  *out++ = '\xEF';
  *out++ = '\xBF';
  *out++ = '\xBD';
  room -= 3;
  return true;
}

}  // namespace

int ConvertToUtf8(const char* charset, const char* in, int inLength, char* out, int outSize, int* used) {
  if (charset == nullptr || in == nullptr || out == nullptr || inLength < 0 || outSize < 0) return -1;
  iconv_t cd = iconv_open("UTF-8", charset);
  if (cd == reinterpret_cast<iconv_t>(-1)) return -1;
  char* source = const_cast<char*>(in);
  size_t left = static_cast<size_t>(inLength);
  char* target = out;
  size_t room = static_cast<size_t>(outSize);
  while (left > 0) {
    if (iconv(cd, &source, &left, &target, &room) != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) break;
    // An incomplete sequence at the end waits for more bytes when the
    // caller takes them back.
    if (errno == EINVAL && used != nullptr) break;
    if (!PutReplacement(target, room)) break;
    ++source;
    --left;
  }
  iconv(cd, nullptr, nullptr, &target, &room);
  iconv_close(cd);
  if (used != nullptr) *used = inLength - static_cast<int>(left);
  return static_cast<int>(target - out);
}

// Names are bytes on POSIX: nothing to switch.
void SetUtf8FileNames(bool) {}

}  // namespace platform
