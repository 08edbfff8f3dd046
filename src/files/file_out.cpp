#include "files/file_out.h"

#include <initializer_list>

#include "platform/platform.h"

namespace {

int32_t& HandleOf(ChannelContext& c, OutFile which) {
  return which == OutFile::kMail ? c.files.MailFileHandle : c.files.FileHandle;
}

FileBuffer& BufferOf(ChannelContext& c, OutFile which) {
  return which == OutFile::kMail ? c.files.MailFileBuffer : c.files.HandleBuffer;
}

}  // namespace

bool CreateOutFile(ChannelContext& c, OutFile which, const char* path) {
  CloseOutFile(c, which);
  const int handle = platform::FileCreate(path);
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
  const int flushed = FlushFileBuffer(buffer, handle);
  DropFileBuffer(buffer);
  const int closed = platform::FileClose(handle);
  handle = 0;
  return flushed == 0 && closed == 0 ? 0 : -1;
}

int FlushOutFiles(ChannelContext& c) {
  int rc = 0;
  for (OutFile which : {OutFile::kMail, OutFile::kPart}) {
    const int32_t handle = HandleOf(c, which);
    if (handle > 0 && FlushFileBuffer(BufferOf(c, which), handle) < 0) rc = -1;
  }
  return rc;
}
