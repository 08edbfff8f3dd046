// TLS handshakes on a channel's connection, the capability offers, the rule
// that keeps secrets off plain connections, and the OAuth client messages.
#include "engine/frame/secure.h"

#include <cstring>

#include "api/errors.h"
#include "api/log.h"
#include "codec/base64.h"
#include "codec/sasl.h"
#include "codec/strings.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "kov32.h"
#include "net/connections.h"
#include "platform/tls.h"

namespace {

// The client message before base64: the longest token, a user name escaped
// three characters for one, a host name and the separators.
constexpr int kOAuthMessageSize = 4608;

// Whether a line starts with `keyword` as a whole word.
bool StartsWithWord(const char* line, const char* keyword) {
  const int n = StringLength(keyword);
  if (!CompareNoCase(line, keyword, n)) return false;
  const char after = line[n];
  return after == '\0' || after == ' ' || after == '=' || after == '\r' || after == '\n';
}

}  // namespace

uint32_t CapabilityOffers(const char* line) {
  if (StartsWithWord(line, "STARTTLS") || StartsWithWord(line, "STLS")) return kOffersTls;
  if (!StartsWithWord(line, "AUTH") && !StartsWithWord(line, "SASL")) return 0;
  // The mechanisms stand on this line only.
  char mechanisms[512];
  int n = 0;
  while (n < static_cast<int>(sizeof mechanisms) - 1 && line[n] != '\0' && line[n] != '\n') {
    mechanisms[n] = line[n];
    ++n;
  }
  mechanisms[n] = '\0';
  uint32_t offers = 0;
  if (HasWord(mechanisms + 4, "XOAUTH2")) offers |= kOffersXoauth2;
  if (HasWord(mechanisms + 4, "OAUTHBEARER")) offers |= kOffersOauthBearer;
  return offers;
}

uint32_t EhloOffers(const char* reply) {
  uint32_t offers = 0;
  for (const char* line = reply; *line != '\0';) {
    if (StringLength(line) > 4 && line[4] != '\n') offers |= CapabilityOffers(line + 4);
    const char* end = FindChar(line, '\n');
    if (end == nullptr) break;
    line = end + 1;
  }
  return offers;
}

bool TlsActive(const ChannelContext& c) { return c.link.HoldsSlot && WexlTlsActive(ChannelSlot(c)) == 1; }

int TlsFailureCode(int wexlCode) {
  switch (wexlCode) {
    case kWexlTlsUnavailable:
      return kTlsUnavailable;
    case kWexlTlsCertificate:
      return kTlsCertificate;
    case kWexlTlsVersion:
      return kTlsVersion;
    case kWexlTlsInjection:
      return kTlsInjection;
    default:
      return kTlsHandshake;
  }
}

int BeginTlsStep(ChannelContext& c, uint32_t now, int handshakeState) {
  const SecurityState& s = c.security;
  platform::TlsOptions options{};
  options.serverName = s.TlsServerName[0] != '\0' ? s.TlsServerName : c.link.ServerName;
  options.caFile = s.TlsCaFile;
  options.verify = s.TlsVerify != 0;
  options.minVersion = s.TlsMinVersion;
  const int rc = WexlTlsBegin(ChannelSlot(c), options);
  if (rc != kWexlOk) return FailStep(c, rc, TlsFailureCode(rc));
  SetTimers(c, now, 0, c.settings.MaxWait);
  c.link.NextState = handshakeState;
  return kStepDone;
}

int TlsHandshakeStep(ChannelContext& c, uint32_t now, int nextState) {
  const int rc = WexlTlsStep(ChannelSlot(c));
  if (rc == 0) return NotYet(c, kWaitReadable);
  if (rc != kWexlOk) return FailStep(c, rc, TlsFailureCode(rc));
  if (c.diag.LogHandle != 0) {
    char text[256];
    if (WexlTlsDescribe(ChannelSlot(c), text, sizeof text) > 0) LogFormat(c, "TLS %s\r\n", text);
  }
  SetTimers(c, now, 0, c.settings.MaxWait);
  c.link.NextState = nextState;
  return kStepDone;
}

int RequireTls(ChannelContext& c, bool token) {
  if ((token || c.security.TlsMode != 0) && !TlsActive(c)) return FailStep(c, 0, kAuthNeedsTls);
  return 0;
}

int ChooseOAuth(const ChannelContext& c) {
  const SecurityState& s = c.security;
  if (s.AuthMechanism == KOV_AUTH_XOAUTH2 || s.AuthMechanism == KOV_AUTH_OAUTHBEARER) return s.AuthMechanism;
  if (s.AuthMechanism != KOV_AUTH_AUTOMATIC || s.OAuthToken[0] == '\0') return 0;
  if (s.Offers & kOffersOauthBearer) return KOV_AUTH_OAUTHBEARER;
  return (s.Offers & kOffersXoauth2) != 0 ? KOV_AUTH_XOAUTH2 : 0;
}

const char* OAuthName(const ChannelContext& c) {
  return c.security.OAuthMechanism == KOV_AUTH_OAUTHBEARER ? "OAUTHBEARER" : "XOAUTH2";
}

const char* OAuthAbortAnswer(const ChannelContext& c) {
  return c.security.OAuthMechanism == KOV_AUTH_OAUTHBEARER ? kOauthBearerAbortAnswer : "";
}

int BuildOAuthResponse(const ChannelContext& c, char* out, int size) {
  char message[kOAuthMessageSize];
  const SecurityState& s = c.security;
  const int length = s.OAuthMechanism == KOV_AUTH_OAUTHBEARER
                         ? BuildOauthBearer(c.login.UserName, c.link.ServerName, static_cast<uint16_t>(c.link.ConnectPort),
                                            s.OAuthToken, message, sizeof message)
                         : BuildXoauth2(c.login.UserName, s.OAuthToken, message, sizeof message);
  const int n = length > 0 ? EncodeOneLine(message, length, out, size) : 0;
  // The token does not outlive the step on the stack.
  memset(message, 0, sizeof message);
  return n;
}

int BuildOAuthCommand(const ChannelContext& c, bool withResponse, char* out, int size, int& shown) {
  int n = BoundedCopy(out, "AUTH ", size - 1);
  n += BoundedCopy(out + n, OAuthName(c), size - 1 - n);
  shown = n;
  if (n + 3 >= size) return 0;
  if (!withResponse) {
    out[n++] = '\r';
    out[n++] = '\n';
    out[n] = '\0';
    return n;
  }
  out[n++] = ' ';
  shown = n;
  const int encoded = BuildOAuthResponse(c, out + n, size - n);
  return encoded > 0 ? n + encoded : 0;
}
