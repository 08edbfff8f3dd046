#include "files/file_buffer.h"

#include <cstring>

#include "platform/platform.h"

namespace {

int WriteAll(int handle, const char* data, int length) {
  return platform::FileWrite(handle, data, static_cast<uint32_t>(length)) == length ? length : -1;
}

}  // namespace

void HoldFileBuffer(FileBuffer& b, bool writing) {
  DropFileBuffer(b);
  b.Block = platform::MemAllocZero(kFileBufferSize);
  b.Data = b.Block != 0 ? static_cast<char*>(platform::MemLock(b.Block)) : nullptr;
  if (b.Data == nullptr && b.Block != 0) {
    platform::MemFree(b.Block);
    b.Block = 0;
  }
  b.Writing = writing ? 1 : 0;
}

void DropFileBuffer(FileBuffer& b) {
  if (b.Block != 0) {
    platform::MemUnlock(b.Block);
    platform::MemFree(b.Block);
  }
  b.Block = 0;
  b.Data = nullptr;
  b.Start = 0;
  b.End = 0;
  b.Writing = 0;
}

int BufferedRead(FileBuffer& b, int handle, char* out, int count) {
  if (out == nullptr || count < 1) return 0;
  int got = 0;
  while (got < count && b.Data == nullptr) {
    const int n = platform::FileRead(handle, out + got, static_cast<uint32_t>(count - got));
    if (n < 0) return -1;
    if (n == 0) return got;
    got += n;
  }
  while (got < count) {
    if (b.Start == b.End) {
      const int n = platform::FileRead(handle, b.Data, kFileBufferSize);
      if (n < 0) return -1;
      b.Start = 0;
      b.End = n;
      if (n == 0) break;
    }
    const int held = b.End - b.Start;
    const int n = count - got < held ? count - got : held;
    memcpy(out + got, b.Data + b.Start, static_cast<size_t>(n));
    b.Start += n;
    got += n;
  }
  return got;
}

int BufferedWrite(FileBuffer& b, int handle, const char* data, int length) {
  if (length < 1) return length < 0 ? -1 : 0;
  if (b.Data == nullptr) return WriteAll(handle, data, length);
  if (length > kFileBufferSize - b.End && FlushFileBuffer(b, handle) < 0) return -1;
  if (length >= kFileBufferSize) return WriteAll(handle, data, length);
  memcpy(b.Data + b.End, data, static_cast<size_t>(length));
  b.End += length;
  return length;
}

int FlushFileBuffer(FileBuffer& b, int handle) {
  if (b.Data == nullptr || !b.Writing || b.End == 0) return 0;
  const int waiting = b.End;
  b.End = 0;
  return WriteAll(handle, b.Data, waiting) < 0 ? -1 : 0;
}
