// The buffer of one open file of a channel, so that a file is read and
// written in blocks of kFileBufferSize bytes rather than one system call per
// line. Its storage is a zero-filled platform block, taken when the file is
// opened and given back when it is closed; without one (no memory) the file
// is read and written directly, with the same results.
#pragma once

#include <cstdint>

constexpr int kFileBufferSize = 65536;

struct FileBuffer {
  uintptr_t Block;  // 0: no storage
  char* Data;
  int32_t Start;    // reading: the next byte to hand out
  int32_t End;      // reading: the bytes held; writing: the bytes waiting
  uint8_t Writing;  // 1: Data[0..End) waits to be written to the file
};

// Takes storage for a file just opened for reading or for writing.
void HoldFileBuffer(FileBuffer& b, bool writing);
// Gives the storage back and forgets what it held (nothing is written).
void DropFileBuffer(FileBuffer& b);

// Reads up to `count` bytes as one read of the file would: the bytes the file
// still has, up to `count`; 0 at its end; -1 when a read fails.
int BufferedRead(FileBuffer& b, int handle, char* out, int count);
// Writes `length` bytes: `length`, or -1 when a write of the file fails or
// is short.
int BufferedWrite(FileBuffer& b, int handle, const char* data, int length);
// Writes out what waits: 0, or -1 when that write fails or is short (the
// bytes are dropped either way).
int FlushFileBuffer(FileBuffer& b, int handle);
