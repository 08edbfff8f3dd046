#include "engine/pop3_decode.h"

#include "api/file_out.h"
#include "engine/mime_channel.h"

int DecodeMessageLine(ChannelContext& c, const char* line, int length) {
  // The decoder knows a piece that continues a line by the piece before it
  // not ending in LF, and counts what it writes itself.
  return FilterMessageLine(c, line, length);
}

int FinishMessageFiles(ChannelContext& c) {
  int part = CloseAttachment(c, true);
  int mail = CloseOutFile(c, OutFile::kMail);
  return part < 0 || mail < 0 ? -1 : 0;
}
