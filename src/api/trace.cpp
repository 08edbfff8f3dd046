#include "api/trace.h"

#include "api/connection.h"
#include "net/slots.h"

void AttachTrace(const ChannelContext& c) {
  if (c.link.HoldsSlot) WexlSetOption(ChannelSlot(c), kOptionTrace, c.diag.LogHandle);
}

void DetachTrace(const ChannelContext& c) {
  if (c.link.HoldsSlot) WexlSetOption(ChannelSlot(c), kOptionTrace, 0);
}
