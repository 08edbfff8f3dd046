// How the SMTP steps judge the class of a reply.
#include "api/errors.h"
#include "engine/frame/step_io.h"
#include "engine/smtp/smtp.h"

bool HasClass(const ChannelContext& c, int reply, int replyClass) {
  return reply == 0 && c.link.ReplyCode / 100 == replyClass;
}

int Refuse(ChannelContext& c, int reply) {
  if (reply < 0 && reply != kSmtpError) return FailReply(c, reply);
  return FailStep(c, 0, kSmtpError);
}
