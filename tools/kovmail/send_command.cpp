#include "send_command.h"

#include <kov32.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "message_lists.h"
#include "password.h"
#include "session.h"

namespace kovmail {

namespace {

uint64_t FileSize(const std::string& path) {
  std::error_code error;
  uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<uint64_t>(size);
}

bool ReadWholeFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream out;
  out << in.rdbuf();
  text = out.str();
  return true;
}

int UsageError(const std::string& message) {
  fprintf(stderr, "kovmail send: %s\n", message.c_str());
  return kExitUsage;
}

// The attachments, and separators for their list that none of their names
// holds (a file may well be called "a, b.pdf").
struct AttachmentArgument {
  std::string list;
  char entrySep = ',';
  char nameSep = '|';
  uint64_t encodedBytes = 0;
};

bool BuildAttachments(const std::vector<std::string>& values, AttachmentArgument& argument) {
  std::vector<Attachment> attachments;
  std::vector<std::string> texts;
  for (const std::string& value : values) {
    std::error_code error;
    attachments.push_back(SplitAttachment(value, std::filesystem::is_regular_file(value, error)));
    texts.push_back(attachments.back().path);
    texts.push_back(attachments.back().shownName);
    argument.encodedBytes += Base64Size(FileSize(attachments.back().path));
  }
  argument.entrySep = FreeSeparator(texts, ",;\x1f");
  argument.nameSep = FreeSeparator(texts, "|\x1e");
  if (argument.entrySep == '\0' || argument.nameSep == '\0') return false;
  argument.list = AttachmentList(attachments, argument.entrySep, argument.nameSep);
  return true;
}

}  // namespace

int RunSend(const SendOptions& options) {
  const ConnectionOptions& connection = options.connection;
  AttachmentArgument attachments;
  if (!BuildAttachments(options.attachments, attachments)) {
    return UsageError("the attachments' names hold every character usable to separate them");
  }
  std::string altText;
  if (!options.altTextFile.empty() && !ReadWholeFile(options.altTextFile, altText)) {
    return UsageError("cannot read " + options.altTextFile);
  }
  std::string password;
  if (!connection.user.empty()) {
    if (!GetPassword(connection.user, connection.server, password)) return UsageError("no password given");
    if (password.size() > kMaxCredential) return UsageError("a password holds at most 64 characters");
  }

  Session session;
  if (!session.Open(connection, KOV_SMTP_PORT)) return kExitFailure;
  int rc = 0;
  if (!connection.user.empty()) {
    kovIntegerParam(kChannel, KOV_USE_EHLO, 1);
    // Refused (nothing stored) when they hold a line break.
    rc = kovStringParam(kChannel, KOV_USER, connection.user.c_str());
    if (rc >= 0) rc = kovStringParam(kChannel, KOV_AUTH_PASSWORD, password.c_str());
    if (rc < 0) return session.Fail("login", rc);
  }
  std::string from = AddressList({options.from});
  rc = kovSmtpConnect(kChannel, connection.server.c_str(), from.c_str(), nullptr);
  if (rc < 0) return session.Fail("connect", rc);

  // The message text: given, or '@' and the file that holds it.
  std::string message = options.text;
  uint64_t total = message.size() + altText.size() + attachments.encodedBytes;
  const std::string& file = options.htmlFile.empty() ? options.textFile : options.htmlFile;
  if (!file.empty()) {
    message = "@" + file;
    total += FileSize(file);
  }
  if (!options.htmlFile.empty()) {
    kovIntegerParam(kChannel, KOV_BODY_TYPE, 2);
    if (!altText.empty()) kovStringParam(kChannel, KOV_ALT_TEXT, altText.c_str());
  }
  kovIntegerParam(kChannel, KOV_ATTACH_SEP, attachments.entrySep);
  kovIntegerParam(kChannel, KOV_NAME_SEP, attachments.nameSep);

  std::string to = AddressList(options.to), cc = AddressList(options.cc), bcc = AddressList(options.bcc);
  kovIntegerParam(kChannel, KOV_AUTO_CALL, 0);
  rc = kovSendEmail(kChannel, to.c_str(), cc.c_str(), bcc.c_str(), options.subject.c_str(), message.c_str(),
                    attachments.list.c_str());
  if (rc == 0) {
    Progress progress("sending", total, session.ShowsProgress());
    rc = session.Drive(progress, KOV_STAT_BYTES_OUT);
  }
  kovIntegerParam(kChannel, KOV_AUTO_CALL, 1);
  if (rc < 0) return session.Fail("send", rc);
  // The server has taken the message; a failed goodbye does not undo that.
  rc = kovClose(kChannel);
  if (rc < 0) session.Fail("warning: closing the connection", rc);
  return kExitOk;
}

}  // namespace kovmail
