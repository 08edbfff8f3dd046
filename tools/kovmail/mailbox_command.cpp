#include "mailbox_command.h"

#include <kov32.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "password.h"
#include "response_text.h"
#include "session.h"

namespace kovmail {

namespace {

// Room for TOP's text beyond the message's size from LIST.
constexpr int kTopSlack = 4096;
// Room for one line of the UIDL list: number, identifier (at most 70
// characters), blank and line end.
constexpr size_t kUidLineBytes = 96;
// Between the names of the saved attachments: no file name holds it.
constexpr char kSavedNameSep = '\x1f';

// The message count from STAT; negative (reported) when it failed.
int MessageCount(const Session& session) {
  int count = kovGetEmailCount(kChannel);
  if (count < 0) {
    session.Fail("count", count);
    return -1;
  }
  return session.Refused("count") ? -1 : count;
}

// The size of a message from LIST; negative (reported) when it failed.
int MessageSize(const Session& session, int number, const char* what) {
  int size = kovGetEmailSize(kChannel, number);
  if (size < 0) {
    session.Fail(what, size);
    return -1;
  }
  return session.Refused(what) ? -1 : size;
}

void PrintResponse(const std::vector<char>& buffer, int length) {
  std::string body = ResponseBody(std::string(buffer.data(), static_cast<size_t>(length)));
  fwrite(body.data(), 1, body.size(), stdout);
}

int Count(const Session& session) {
  int count = MessageCount(session);
  if (count < 0) return kExitFailure;
  printf("%d\n", count);
  return kExitOk;
}

int List(const Session& session) {
  int count = MessageCount(session);
  if (count < 0) return kExitFailure;
  for (int number = 1; number <= count; ++number) {
    int size = MessageSize(session, number, "list");
    if (size < 0) return kExitFailure;
    printf("%d %d\n", number, size);
  }
  return kExitOk;
}

int Uidl(const Session& session) {
  int count = MessageCount(session);
  if (count < 0) return kExitFailure;
  std::vector<char> buffer(128 + static_cast<size_t>(count) * kUidLineBytes);
  int length = kovGetEmailUID(kChannel, -1, buffer.data(), static_cast<int>(buffer.size()));
  if (length < 0) return session.Fail("uidl", length);
  if (session.Refused("uidl")) return kExitFailure;
  PrintResponse(buffer, length);
  return kExitOk;
}

int Top(const Session& session, int number, int lines) {
  int size = MessageSize(session, number, "top");
  if (size < 0) return kExitFailure;
  std::vector<char> buffer(static_cast<size_t>(size) + kTopSlack);
  int length = kovGetEmailLines(kChannel, number, lines, buffer.data(), static_cast<int>(buffer.size()));
  if (length < 0) return session.Fail("top", length);
  PrintResponse(buffer, length);
  return kExitOk;
}

// Downloads one message as "<number>.txt" (decoded) or "<number>.eml" (as
// received); prints the mail file's path and each saved attachment's.
int Fetch(const Session& session, const MailboxOptions& options, int number) {
  int size = MessageSize(session, number, "fetch");
  if (size < 0) return kExitFailure;
  std::string name = std::to_string(number) + (options.raw ? ".eml" : ".txt");
  const std::string& attachDir = options.attachDir.empty() ? options.dir : options.attachDir;
  kovIntegerParam(kChannel, KOV_DECODE_MODE, options.raw ? 1 : 0);
  kovIntegerParam(kChannel, KOV_ATTACH_SEP, kSavedNameSep);
  kovIntegerParam(kChannel, KOV_AUTO_CALL, 0);
  int rc = kovGetEmailFile(kChannel, number, name.c_str(), options.dir.c_str(), attachDir.c_str());
  if (rc == 0) {
    Progress progress("message " + std::to_string(number), static_cast<uint64_t>(size), session.ShowsProgress());
    rc = session.Drive(progress, KOV_STAT_TEXT_IN);
  }
  kovIntegerParam(kChannel, KOV_AUTO_CALL, 1);
  if (rc < 0) return session.Fail("fetch", rc);
  printf("%s\n", (std::filesystem::path(options.dir) / name).string().c_str());
  if (kovStatistics(kChannel, KOV_STAT_ATTACHMENTS_SAVED) > 0) {
    char saved[2048];
    kovDebug(kChannel, KOV_DEBUG_SAVED_ATTACHMENTS, saved, static_cast<int>(sizeof saved));
    for (const std::string& file : SplitList(saved, kSavedNameSep)) {
      printf("%s\n", (std::filesystem::path(attachDir) / file).string().c_str());
    }
  }
  return kExitOk;
}

int FetchAll(const Session& session, const MailboxOptions& options) {
  int count = MessageCount(session);
  if (count < 0) return kExitFailure;
  for (int number = 1; number <= count; ++number) {
    int status = Fetch(session, options, number);
    if (status != kExitOk) return status;
  }
  return kExitOk;
}

int Delete(const Session& session, int number) {
  int rc = kovDeleteEmail(kChannel, number);
  if (rc < 0) return session.Fail("delete", rc);
  if (session.Refused("delete")) return kExitFailure;
  return kExitOk;
}

int Run(const Session& session, const MailboxOptions& options) {
  const std::string& command = options.command;
  if (command == "count") return Count(session);
  if (command == "list") return List(session);
  if (command == "uidl") return Uidl(session);
  if (command == "top") return Top(session, options.number, options.lines);
  if (command == "fetch") return Fetch(session, options, options.number);
  if (command == "fetch-all") return FetchAll(session, options);
  return Delete(session, options.number);
}

int UsageError(const MailboxOptions& options, const char* message) {
  fprintf(stderr, "kovmail %s: %s\n", options.command.c_str(), message);
  return kExitUsage;
}

}  // namespace

int RunMailbox(const MailboxOptions& options) {
  const ConnectionOptions& connection = options.connection;
  std::string password;
  if (!GetPassword(connection.user, connection.server, password)) return UsageError(options, "no password given");
  if (password.size() > kMaxCredential) return UsageError(options, "a password holds at most 64 characters");

  Session session;
  if (!session.Open(connection, KOV_POP3_PORT)) return kExitFailure;
  if (options.apop) kovIntegerParam(kChannel, KOV_USE_APOP, 1);
  int rc = kovPop3Connect(kChannel, connection.server.c_str(), connection.user.c_str(), password.c_str());
  if (rc < 0) return session.Fail("login", rc);
  int status = Run(session, options);
  fflush(stdout);
  // QUIT also after a refusal, which leaves the connection open.
  rc = kovClose(kChannel);
  if (rc < 0 && status == kExitOk) {
    // Without a QUIT the server keeps a deleted message.
    if (options.command == "delete") return session.Fail("delete", rc);
    session.Fail("warning: closing the connection", rc);
  }
  return status;
}

}  // namespace kovmail
