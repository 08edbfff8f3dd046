#include "api/connection.h"

#include "api/file_out.h"
#include "api/log.h"
#include "api/trace.h"
#include "net/connections.h"

void CloseChannelSocket(ChannelContext& c) {
  LogText(c, "Closing socket\r\n");
  if (!c.link.HoldsSlot) return;
  DetachTrace(c);
  WexlClose(ChannelSlot(c));
  c.link.HoldsSlot = 0;
}

void CloseChannelFiles(ChannelContext& c) {
  // What was written so far reaches the file before anything is reported.
  CloseOutFile(c, OutFile::kPart);
  CloseOutFile(c, OutFile::kMail);
}
