// TLS on an SMTP connection: STARTTLS after the first EHLO (states 250,
// 253, 254), after which the session greets again with EHLO and chooses its
// login from the second answer only; or implicit TLS, the handshake right
// after the connect, before the greeting (255).
#include <iterator>

#include "api/errors.h"
#include "engine/frame/secure.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "engine/smtp/smtp.h"

namespace {

// "STARTTLS" alone and handed to the system at once: the answer must be read
// before anything else goes.
int StartTlsStep(ChannelContext& c, uint32_t now, int) {
  return SendCommandLine(c, now, "STARTTLS", SlowReplyDelay(c), SmtpStartTlsReply);
}

// Only a 220 lets the handshake start; any other answer is a refusal whose
// text the failure carries. A connection that broke fails as the reader found it.
int StartTlsReplyStep(ChannelContext& c, uint32_t now, int reply) {
  if (reply < 0 && reply != kSmtpError) return FailReply(c, reply);
  if (reply != 0 || c.link.ReplyCode != 220) return FailStep(c, 0, kTlsNotOffered);
  return BeginTlsStep(c, now, SmtpTlsHandshake);
}

// After STARTTLS the session starts anew: EHLO again. With implicit TLS the
// greeting comes first.
int HandshakeStep(ChannelContext& c, uint32_t now, int) {
  return TlsHandshakeStep(c, now, c.security.TlsMode == 2 ? SmtpGreeting : SmtpHello);
}

int TlsConnectStep(ChannelContext& c, uint32_t now, int) { return BeginTlsStep(c, now, SmtpTlsHandshake); }

constexpr StateStep kRows[] = {
    {SmtpStartTls, Await::kWritable, StartTlsStep},
    {SmtpStartTlsReply, Await::kSmtpReply, StartTlsReplyStep, OnBadReply::kStepJudges},
    {SmtpTlsHandshake, Await::kNothing, HandshakeStep},
    {SmtpTlsConnect, Await::kNothing, TlsConnectStep},
};

}  // namespace

extern const StepTable kSmtpTlsSteps = {kRows, static_cast<int>(std::size(kRows))};

int StartTlsOrRefuse(ChannelContext& c) {
  if ((EhloOffers(c.link.ReplyBuffer) & kOffersTls) == 0) return FailStep(c, 0, kTlsNotOffered);
  c.link.NextState = SmtpStartTls;
  return kStepDone;
}
