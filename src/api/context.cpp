#include "api/context.h"

void SetAttachValues(ChannelContext& c, int channel) {
  c.ChannelNumber = channel;
  c.PrevState = -2;
  c.ThisState = -1;
  c.NonBlockingConnect = 0;
  c.AutoCall = 1;
  c.SmtpPort = 25;
  c.Pop3Port = 110;
  c.AttachmentCounter = 0;
  c.DetectImageTypes = 1;
}
