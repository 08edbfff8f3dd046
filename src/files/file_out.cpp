#include "files/file_out.h"

#include <initializer_list>

#include "codec/strings.h"
#include "platform/platform.h"

namespace {

int32_t& HandleOf(ChannelContext& c, OutFile which) {
  return which == OutFile::kMail ? c.files.MailFileHandle : c.files.FileHandle;
}

FileBuffer& BufferOf(ChannelContext& c, OutFile which) {
  return which == OutFile::kMail ? c.files.MailFileBuffer : c.files.HandleBuffer;
}

// FileHandle holds a part being written, not a file being read for sending.
bool WritingPart(const ChannelContext& c) { return c.files.FileHandle > 0 && c.files.HandleBuffer.Writing != 0; }

}  // namespace

bool CreateOutFile(ChannelContext& c, OutFile which, const char* path) {
  CloseOutFile(c, which);
  if (which == OutFile::kPart) BoundedCopy(c.decoder.AttachPath, path, static_cast<int>(sizeof c.decoder.AttachPath) - 1);
  const int handle = platform::FileCreate(path, platform::LinkRule::kRefuse);
  HandleOf(c, which) = handle > 0 ? handle : 0;
  if (handle > 0) HoldFileBuffer(BufferOf(c, which), true);
  return handle > 0;
}

int WriteOutFile(ChannelContext& c, OutFile which, const char* data, int length) {
  const int32_t handle = HandleOf(c, which);
  if (handle <= 0 || length < 0) return -1;
  return BufferedWrite(BufferOf(c, which), handle, data, length);
}

int CloseOutFile(ChannelContext& c, OutFile which) {
  int32_t& handle = HandleOf(c, which);
  FileBuffer& buffer = BufferOf(c, which);
  if (handle <= 0) {
    DropFileBuffer(buffer);
    return 0;
  }
  // A part whose last bytes cannot be written is not complete.
  const bool part = which == OutFile::kPart && WritingPart(c);
  const int flushed = FlushFileBuffer(buffer, handle);
  DropFileBuffer(buffer);
  const int closed = part && flushed < 0 ? platform::FileDiscard(handle, c.decoder.AttachPath) : platform::FileClose(handle);
  handle = 0;
  return flushed == 0 && closed == 0 ? 0 : -1;
}

void DiscardPartFile(ChannelContext& c) {
  if (!WritingPart(c)) {
    CloseOutFile(c, OutFile::kPart);
    return;
  }
  DropFileBuffer(c.files.HandleBuffer);
  platform::FileDiscard(c.files.FileHandle, c.decoder.AttachPath);
  c.files.FileHandle = 0;
}

int FlushOutFiles(ChannelContext& c) {
  int rc = 0;
  for (OutFile which : {OutFile::kMail, OutFile::kPart}) {
    const int32_t handle = HandleOf(c, which);
    if (handle > 0 && FlushFileBuffer(BufferOf(c, which), handle) < 0) rc = -1;
  }
  return rc;
}
