#include "api/context.h"

#include <initializer_list>

#include "api/blocks.h"
#include "platform/tls.h"

void SetAttachValues(ChannelContext& c, int channel) {
  c.ChannelNumber = channel;
  c.link.PrevState = -2;
  c.link.ThisState = -1;
  c.link.NonBlockingConnect = 0;
  c.link.AutoCall = 1;
  c.link.SmtpPort = 25;
  c.link.Pop3Port = 110;
  c.decoder.AttachmentCounter = 0;
  c.smtp.DetectImageTypes = 1;
  c.security.TlsVerify = 1;
  c.security.TlsMinVersion = platform::kTls12;
}

void ReleaseChannelTexts(ChannelContext& c) {
  FreeMemory(c.ChannelNumber, 1, kSlotsPerChannel - 1);
  for (char** text : {&c.smtp.RcptCursor, &c.smtp.ToList, &c.smtp.CcList, &c.smtp.BccList, &c.smtp.Subject, &c.smtp.ExtraHeaders, &c.smtp.MessageText,
                      &c.smtp.AttachList, &c.smtp.NextAttach, &c.smtp.RcptSepPos, &c.smtp.AltText, &c.smtp.CurrentRcpt, &c.pop.UserBuffer})
    *text = nullptr;
}
