#include "api/context.h"

#include <initializer_list>

#include "api/blocks.h"

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

void ReleaseChannelTexts(ChannelContext& c) {
  FreeMemory(c.ChannelNumber, 1, kSlotsPerChannel - 1);
  for (char** text : {&c.RcptCursor, &c.ToList, &c.CcList, &c.BccList, &c.Subject, &c.ExtraHeaders, &c.MessageText,
                      &c.AttachList, &c.NextAttach, &c.RcptSepPos, &c.AltText, &c.CurrentRcpt, &c.UserBuffer})
    *text = nullptr;
}
