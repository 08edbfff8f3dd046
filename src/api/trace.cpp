#include "api/trace.h"

#include "net/slots.h"

void AttachTrace(const ChannelContext& c) {
  if (c.HoldsSlot) WexlSetOption(static_cast<int>(c.SlotNumber), kOptionTrace, c.LogHandle);
}

void DetachTrace(const ChannelContext& c) {
  if (c.HoldsSlot) WexlSetOption(static_cast<int>(c.SlotNumber), kOptionTrace, 0);
}
