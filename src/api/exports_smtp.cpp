// The SMTP exports: connect (greeting, HELO/EHLO, login), VRFY, and sending a
// message. Each checks its arguments and hands over to the operation prelude
// with the first state the smtp files prepare.
#include "api/errors.h"
#include "api/library.h"
#include "codec/address.h"
#include "engine/frame/operation.h"
#include "engine/smtp/smtp.h"
#include "kov32.h"
#include "net/connections.h"

namespace {

constexpr OperationRules kConnectRules = {"kovSmtpConnect", kSmtpChannel, OperationRules::kSetsKind, 0, false, true};
constexpr OperationRules kVerifyRules = {"kovVerifyUser", kSmtpChannel, OperationRules::kNeedsKindFirst, kSmtpOnly,
                                         true, false};
constexpr OperationRules kSendRules = {"kovSendEmail", kSmtpChannel, OperationRules::kNeedsKindFirst,
                                       kSmtpOnly,      false,        false};

// An empty argument counts as an absent one.
const char* Present(const char* text) { return text != nullptr && text[0] != '\0' ? text : nullptr; }

}  // namespace

extern "C" KOV_API int KOV_CALL kovSmtpConnect(int channel, const char* server, const char* from, const char* replyTo) {
  if (int rc = CheckChannel(channel)) return rc;
  return RunOperation(Channel(channel), kConnectRules, [&](ChannelContext& c) -> int {
    if (server == nullptr) return kServerNotSpecified;
    if (from == nullptr) return kFromNull;
    if (!ValidServerName(server) || !WexlNameFitsFamily(server, c.link.IpFamily)) return kBadServerName;
    return PrepareSmtpConnect(c, server, from, replyTo);
  });
}

extern "C" KOV_API int KOV_CALL kovVerifyUser(int channel, const char* names) {
  if (int rc = CheckChannel(channel)) return rc;
  return RunOperation(
      Channel(channel), kVerifyRules,
      [&](ChannelContext& c) -> int {
        if (names == nullptr || names[0] == '\0') return kNoRecipient;
        if (HasLineBreak(names)) return kBadAddressChar;
        return PrepareVerify(c, names);
      },
      [](ChannelContext& c, int rc) { return rc < 0 ? rc : c.smtp.VerifyResult; });
}

extern "C" KOV_API int KOV_CALL kovSendEmail(int channel, const char* to, const char* cc, const char* bcc,
                                             const char* subject, const char* message, const char* attachments) {
  const char* const texts[6] = {Present(to),      Present(cc),      Present(bcc),
                                Present(subject), Present(message), Present(attachments)};
  if (int rc = CheckChannel(channel)) return rc;
  return RunOperation(Channel(channel), kSendRules, [&](ChannelContext& c) { return PrepareSend(c, texts); });
}
