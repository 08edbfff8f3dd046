// The file a message text or an attachment is read from: one at a time, held
// in FileHandle and read through its buffer in large blocks.
#include "api/log.h"
#include "engine/compose/compose.h"
#include "platform/platform.h"

int OpenInputFile(ChannelContext& c, const char* path) {
  CloseFileHandle(c);
  LogFormat(c, "Opening file [%s]. ", path != nullptr ? path : "");
  int handle = platform::FileOpenRead(path);
  LogFormat(c, "Handle = %d\r\n", handle);
  c.files.FileHandle = handle > 0 ? handle : 0;
  if (handle > 0) HoldFileBuffer(c.files.HandleBuffer, false);
  return handle;
}

void CloseFileHandle(ChannelContext& c) {
  DropFileBuffer(c.files.HandleBuffer);
  if (c.files.FileHandle <= 0) return;
  LogFormat(c, "Closing file %d\r\n", static_cast<int>(c.files.FileHandle));
  platform::FileClose(c.files.FileHandle);
  c.files.FileHandle = 0;
}

int ReadInputFile(ChannelContext& c, char* out, int count) {
  if (c.files.FileHandle <= 0) return -1;
  return BufferedRead(c.files.HandleBuffer, c.files.FileHandle, out, count);
}
