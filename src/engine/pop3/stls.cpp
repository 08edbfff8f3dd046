// TLS on a POP3 connection: CAPA before and after STLS (states 352 to 355),
// or implicit TLS, the handshake right after the connect, before the
// greeting (350, 351). CAPA also tells the SASL mechanisms a token may use.
#include <iterator>

#include "api/errors.h"
#include "engine/frame/secure.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "engine/pop3/pop3.h"
#include "engine/pop3/text.h"
#include "kov32.h"

namespace {

int TlsConnectStep(ChannelContext& c, uint32_t now, int) { return BeginTlsStep(c, now, Pop3TlsHandshake); }

// After STLS the capabilities of the plain session no longer count: CAPA
// again. With implicit TLS the greeting comes first.
int HandshakeStep(ChannelContext& c, uint32_t now, int) {
  return TlsHandshakeStep(c, now, c.security.TlsMode == 2 ? Pop3Greeting : Pop3SendCapa);
}

// A capability list is short; one that goes on and on is a server holding
// the login, not a list.
constexpr int kMostCapaLines = 256;

int CapaStep(ChannelContext& c, uint32_t now, int) {
  c.security.Offers = 0;
  c.security.CapaLines = 0;
  BeginResponse(c);
  return SendPop3Command(c, now, "CAPA", c.settings.MinWait, Pop3CapaLine, kReadError);
}

// The response's lines as they come; a refused CAPA offers nothing.
int CapaLineStep(ChannelContext& c, uint32_t now, int) {
  Piece p;
  if (int rc = TakePiece(c, now, p)) return rc;
  const bool refused = p.status && c.link.ReplyCode != 100;
  const bool last = !p.status && p.lineStart && EndsList(p.text, p.length);
  if (last || (refused && p.endsLine)) {
    const int next = Pop3LoginState(c, true);
    if (next == 0) return FailStep(c, 0, kTlsNotOffered);
    c.link.NextState = next;
    SetTimers(c, now, 0, c.settings.MaxWait);
    return kStepDone;
  }
  if (!p.status && p.lineStart) {
    if (++c.security.CapaLines > kMostCapaLines) return FailStep(c, 0, kResponseOverflow);
    c.security.Offers |= CapabilityOffers(p.text);
  }
  AwaitNextPiece(c, now);
  return kStepDone;
}

int StlsStep(ChannelContext& c, uint32_t now, int) {
  return SendPop3Command(c, now, "STLS", c.settings.MinWait, Pop3StlsReply, kReadError);
}

// "-ERR" refuses TLS, with its text in the failure's; "+OK" starts the
// handshake.
int StlsReplyStep(ChannelContext& c, uint32_t now, int reply) {
  if (reply == kPop3Error) return FailStep(c, 0, kTlsNotOffered);
  if (reply < 0) return FailReply(c, reply);
  return BeginTlsStep(c, now, Pop3TlsHandshake);
}

constexpr StateStep kRows[] = {
    {Pop3TlsConnect, Await::kNothing, TlsConnectStep},
    {Pop3TlsHandshake, Await::kNothing, HandshakeStep},
    {Pop3SendCapa, Await::kWritable, CapaStep},
    {Pop3CapaLine, Await::kNothing, CapaLineStep},
    {Pop3SendStls, Await::kWritable, StlsStep},
    {Pop3StlsReply, Await::kPop3Reply, StlsReplyStep, OnBadReply::kStepJudges},
};

}  // namespace

extern const StepTable kPop3TlsSteps = {kRows, static_cast<int>(std::size(kRows))};

int Pop3LoginState(ChannelContext& c, bool capaRead) {
  const SecurityState& s = c.security;
  if (s.TlsMode == 1 && !TlsActive(c)) {
    if (!capaRead) return Pop3SendCapa;
    return (s.Offers & kOffersTls) != 0 ? Pop3SendStls : 0;
  }
  if (!capaRead && s.AuthMechanism == KOV_AUTH_AUTOMATIC && s.OAuthToken[0] != '\0') return Pop3SendCapa;
  c.security.OAuthMechanism = static_cast<uint8_t>(ChooseOAuth(c));
  if (c.security.OAuthMechanism != 0) return Pop3AuthStart;
  return c.pop.UseApop ? Pop3SendApop : Pop3SendUser;
}
