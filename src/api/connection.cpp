#include "api/connection.h"

#include "api/log.h"
#include "api/trace.h"
#include "net/connections.h"
#include "platform/platform.h"

void CloseChannelSocket(ChannelContext& c) {
  LogText(c, "Closing socket\r\n");
  if (!c.HoldsSlot) return;
  DetachTrace(c);
  WexlClose(ChannelSlot(c));
  c.HoldsSlot = 0;
}

void CloseChannelFiles(ChannelContext& c) {
  if (c.FileHandle > 0) platform::FileClose(c.FileHandle);
  if (c.MailFileHandle > 0) platform::FileClose(c.MailFileHandle);
  c.FileHandle = 0;
  c.MailFileHandle = 0;
}
