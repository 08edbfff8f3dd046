#include "api/trace.h"

#include "api/connection.h"
#include "net/slots.h"

void AttachTrace(const ChannelContext& c) {
  if (c.HoldsSlot) WexlSetOption(ChannelSlot(c), kOptionTrace, c.LogHandle);
}

void DetachTrace(const ChannelContext& c) {
  if (c.HoldsSlot) WexlSetOption(ChannelSlot(c), kOptionTrace, 0);
}
