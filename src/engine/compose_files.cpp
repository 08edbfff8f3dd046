// The file a message text or an attachment is read from: one at a time, held
// in FileHandle.
#include "api/log.h"
#include "engine/compose.h"
#include "platform/platform.h"

int OpenInputFile(ChannelContext& c, const char* path) {
  CloseFileHandle(c);
  LogFormat(c, "Opening file [%s]. ", path != nullptr ? path : "");
  int handle = platform::FileOpenRead(path);
  LogFormat(c, "Handle = %d\r\n", handle);
  c.FileHandle = handle > 0 ? handle : 0;
  return handle;
}

void CloseFileHandle(ChannelContext& c) {
  if (c.FileHandle <= 0) return;
  LogFormat(c, "Closing file %d\r\n", static_cast<int>(c.FileHandle));
  platform::FileClose(c.FileHandle);
  c.FileHandle = 0;
}
