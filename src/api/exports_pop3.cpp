// The POP3 exports: connect (greeting and login), the mailbox calls (STAT,
// LIST, DELE, UIDL) and the downloads (TOP into a buffer, RETR into files).
// Each checks its arguments and hands over to the operation prelude with the
// first state the pop3 files prepare.
#include "api/errors.h"
#include "api/library.h"
#include "codec/address.h"
#include "engine/frame/operation.h"
#include "engine/frame/states.h"
#include "engine/pop3/pop3.h"
#include "kov32.h"
#include "net/connections.h"

namespace {

constexpr OperationRules kConnectRules = {"kovPop3Connect", kPop3Channel, OperationRules::kSetsKind, 0, false, true};

// The mailbox calls need the channel's own connection (-44 otherwise); their
// POP3 kind is checked after the entry line.
constexpr OperationRules MailboxRules(const char* name) { return {name, 0, OperationRules::kNoKind, 0, true, true}; }

// A null buffer or "*" asks for the channel's own buffer.
bool OwnBuffer(const char* buffer) { return buffer == nullptr || (buffer[0] == '*' && buffer[1] == '\0'); }

}  // namespace

extern "C" KOV_API int KOV_CALL kovPop3Connect(int channel, const char* server, const char* user,
                                               const char* password) {
  if (int rc = CheckChannel(channel)) return rc;
  return RunOperation(Channel(channel), kConnectRules, [&](ChannelContext& c) -> int {
    if (server == nullptr) return kServerNotSpecified;
    if (user == nullptr || !CredentialFits(user)) return kUserMissing;
    if (password == nullptr || !CredentialFits(password)) return kPasswordMissing;
    if (!ValidServerName(server) || !WexlNameFitsFamily(server, c.link.IpFamily)) return kBadServerName;
    return PreparePop3Connect(c, server, user, password);
  });
}

extern "C" KOV_API int KOV_CALL kovGetEmailCount(int channel) {
  if (int rc = CheckChannel(channel)) return rc;
  return RunOperation(
      Channel(channel), MailboxRules("kovGetEmailCount"),
      [](ChannelContext& c) -> int {
        if (c.link.ChannelKind != kPop3Channel) return kPop3Only;
        return Pop3SendStat;
      },
      [](ChannelContext& c, int rc) { return rc < 0 ? rc : static_cast<int>(c.pop.MessageCount); });
}

extern "C" KOV_API int KOV_CALL kovGetEmailSize(int channel, int number) {
  if (int rc = CheckChannel(channel)) return rc;
  return RunOperation(
      Channel(channel), MailboxRules("kovGetEmailSize"),
      [&](ChannelContext& c) -> int {
        if (int rc = CheckMailboxCall(c, number)) return rc;
        c.pop.MessageNumber = number;
        return Pop3SendList;
      },
      [](ChannelContext& c, int rc) { return rc < 0 ? rc : c.pop.MessageSize; });
}

extern "C" KOV_API int KOV_CALL kovDeleteEmail(int channel, int number) {
  if (int rc = CheckChannel(channel)) return rc;
  return RunOperation(Channel(channel), MailboxRules("kovDelete"), [&](ChannelContext& c) -> int {
    if (int rc = CheckMailboxCall(c, number)) return rc;
    c.pop.MessageNumber = number;
    return Pop3SendDele;
  });
}

// A number below 0 asks for the whole list; the size keeps one byte for the
// terminating NUL.
extern "C" KOV_API int KOV_CALL kovGetEmailUID(int channel, int number, char* buffer, int size) {
  if (int rc = CheckChannel(channel)) return rc;
  return RunOperation(
      Channel(channel), MailboxRules("kovGetEmailUID"),
      [&](ChannelContext& c) -> int {
        if (c.link.ChannelKind != kPop3Channel) return kPop3Only;
        if (buffer == nullptr) return kBufferNull;
        if (size < 128) return kBufferTooSmall;
        return PrepareUidList(c, number, buffer, size);
      },
      [](ChannelContext& c, int rc) { return rc < 0 ? rc : c.pop.UserBufferLength; });
}

// The channel's own buffer may have any size; a buffer of the caller's needs 128 bytes.
extern "C" KOV_API int KOV_CALL kovGetEmailLines(int channel, int number, int lines, char* buffer, int size) {
  if (int rc = CheckChannel(channel)) return rc;
  return RunOperation(
      Channel(channel), MailboxRules("kovGetEmailLines"),
      [&](ChannelContext& c) -> int {
        if (int rc = CheckMailboxCall(c, number)) return rc;
        if (!OwnBuffer(buffer) && size < 128) return kBufferTooSmall;
        return PrepareTopLines(c, number, lines, OwnBuffer(buffer) ? nullptr : buffer, size < 0 ? 0 : size);
      },
      [](ChannelContext& c, int rc) { return rc < 0 ? rc : c.pop.UserBufferLength; });
}

extern "C" KOV_API int KOV_CALL kovGetEmailFile(int channel, int number, const char* name, const char* dir,
                                                const char* attachDir) {
  if (int rc = CheckChannel(channel)) return rc;
  return RunOperation(Channel(channel), MailboxRules("kovGetEmailFile"), [&](ChannelContext& c) -> int {
    if (int rc = CheckMailboxCall(c, number)) return rc;
    if (name == nullptr) return kMissingFileName;
    if (dir == nullptr) return kMissingMailPath;
    if (attachDir == nullptr) return kMissingAttachPath;
    return PrepareMessageFile(c, number, name, dir, attachDir);
  });
}
