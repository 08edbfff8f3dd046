#include "mailbox_command.h"

#include <kov32.h>

#include <cstdio>
#include <string>
#include <vector>

#include "response_text.h"
#include "session.h"

namespace kovmail {

namespace {

// Room for TOP's text beyond the message's size from LIST.
constexpr int kTopSlack = 4096;
// Room for one line of the UIDL list: number, identifier (at most 70
// characters), blank and line end.
constexpr size_t kUidLineBytes = 96;

// The size of a message from LIST; negative (reported) when it failed.
int MessageSize(Session& session, int number, const char* what, int& status) {
  int rc = session.Run(kovGetEmailSize(kChannel, number));
  if (rc < 0) {
    status = session.Fail(what, rc);
    return -1;
  }
  if ((status = session.Refused(what)) != 0) return -1;
  return kovStatistics(kChannel, KOV_STAT_MESSAGE_SIZE);
}

// The text the last call placed in `buffer`.
std::string Placed(const std::vector<char>& buffer) {
  int length = kovStatistics(kChannel, KOV_STAT_BUFFER_LENGTH);
  if (length < 0) length = 0;
  if (static_cast<size_t>(length) > buffer.size()) length = static_cast<int>(buffer.size());
  return std::string(buffer.data(), static_cast<size_t>(length));
}

int Count(Session& session) {
  int status = kExitOk;
  int count = MessageCount(session, status);
  if (count >= 0) printf("%d\n", count);
  return status;
}

int List(Session& session) {
  int status = kExitOk;
  int count = MessageCount(session, status);
  for (int number = 1; number <= count; ++number) {
    int size = MessageSize(session, number, "list", status);
    if (size < 0) return status;
    printf("%d %d\n", number, size);
  }
  return status;
}

int Uidl(Session& session) {
  int status = kExitOk;
  int count = MessageCount(session, status);
  std::string body;
  if (count < 0 || !UidList(session, count, body, status)) return status;
  fwrite(body.data(), 1, body.size(), stdout);
  return kExitOk;
}

int Top(Session& session, int number, int lines) {
  int status = kExitOk;
  int size = MessageSize(session, number, "top", status);
  if (size < 0) return status;
  std::vector<char> buffer(static_cast<size_t>(size) + kTopSlack);
  int rc = session.Run(kovGetEmailLines(kChannel, number, lines, buffer.data(), static_cast<int>(buffer.size())));
  if (rc < 0) return session.Fail("top", rc);
  std::string body = ResponseBody(Placed(buffer));
  fwrite(body.data(), 1, body.size(), stdout);
  return kExitOk;
}

int Delete(Session& session, int number) {
  const std::string phase = "delete " + std::to_string(number);
  int rc = session.Run(kovDeleteEmail(kChannel, number));
  if (rc < 0) return session.Fail(phase, rc);
  return session.Refused(phase);
}

int Run(Session& session, const MailboxOptions& options) {
  const std::string& command = options.command;
  if (command == "count") return Count(session);
  if (command == "list") return List(session);
  if (command == "uidl") return Uidl(session);
  if (command == "top") return Top(session, options.number, options.lines);
  if (command == "fetch") return Fetch(session, options, options.number);
  if (command == "fetch-all") return FetchAll(session, options);
  return Delete(session, options.number);
}

}  // namespace

int MessageCount(Session& session, int& status) {
  int rc = session.Run(kovGetEmailCount(kChannel));
  if (rc < 0) {
    status = session.Fail("count", rc);
    return -1;
  }
  if ((status = session.Refused("count")) != 0) return -1;
  return kovStatistics(kChannel, KOV_STAT_MESSAGE_COUNT);
}

bool UidList(Session& session, int count, std::string& body, int& status) {
  std::vector<char> buffer(128 + static_cast<size_t>(count) * kUidLineBytes);
  int rc = session.Run(kovGetEmailUID(kChannel, -1, buffer.data(), static_cast<int>(buffer.size())));
  if (rc < 0) {
    status = session.Fail("uidl", rc);
    return false;
  }
  if ((status = session.Refused("uidl")) != 0) return false;
  body = ResponseBody(Placed(buffer));
  return true;
}

int RunMailbox(const MailboxOptions& options, const Secret& secret) {
  const ConnectionOptions& connection = options.connection;
  Session session;
  if (int status = session.Open(connection, KOV_POP3_PORT, 110, false)) return status;
  if (options.apop) kovIntegerParam(kChannel, KOV_USE_APOP, 1);
  // Refused (nothing stored) when it holds a blank or a control character.
  if (!secret.token.empty() && kovStringParam(kChannel, KOV_OAUTH_TOKEN, secret.token.c_str()) < 0) {
    return session.Fail("login", KOV_E_NO_PASSWORD);
  }
  int rc = session.Run(
      kovPop3Connect(kChannel, connection.server.c_str(), connection.user.c_str(), secret.password.c_str()));
  if (rc < 0) return session.Fail(std::string(), rc);
  int status = Run(session, options);
  fflush(stdout);
  if (status == kExitInterrupted) return status;
  // QUIT also after a refusal, which leaves the connection open.
  rc = session.Run(kovClose(kChannel));
  if (rc < 0 && status == kExitOk) {
    // Without a QUIT the server keeps a deleted message.
    if (options.command == "delete" || options.deleteAfter) return session.Fail("close", rc);
    session.Fail("warning: close", rc);
  }
  return status;
}

}  // namespace kovmail
