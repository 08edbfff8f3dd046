#include "send_command.h"

#include <kov32.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "message_lists.h"
#include "password.h"
#include "send_message.h"
#include "session.h"

namespace kovmail {

namespace {

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
    const uintmax_t size = std::filesystem::file_size(attachments.back().path, error);
    argument.encodedBytes += Base64Size(error ? 0 : static_cast<uint64_t>(size));
  }
  argument.entrySep = FreeSeparator(texts, ",;\x1f");
  argument.nameSep = FreeSeparator(texts, "|\x1e");
  if (argument.entrySep == '\0' || argument.nameSep == '\0') return false;
  argument.list = AttachmentList(attachments, argument.entrySep, argument.nameSep);
  return true;
}

// The recipients in the order the library sends RCPT TO: To, CC, BCC.
std::vector<Mailbox> Envelope(const Outgoing& out) {
  std::vector<Mailbox> all = out.to;
  all.insert(all.end(), out.cc.begin(), out.cc.end());
  all.insert(all.end(), out.bcc.begin(), out.bcc.end());
  return all;
}

// The phase for a failed send; a refused recipient is named: the library
// counts those it accepted, so the one refused comes next in the envelope.
std::string RecipientPhase(const Outgoing& out) {
  const std::vector<Mailbox> all = Envelope(out);
  const int accepted = kovStatistics(kChannel, KOV_STAT_RCPT_COUNT);
  if (accepted < 0 || static_cast<size_t>(accepted) >= all.size()) return "recipient";
  return "recipient <" + all[static_cast<size_t>(accepted)].address + ">";
}

// Connects and, with a user, logs in.
int Connect(Session& session, const SendOptions& options, const Outgoing& out, const Secret& secret) {
  const ConnectionOptions& connection = options.connection;
  if (!connection.user.empty()) {
    kovIntegerParam(kChannel, KOV_USE_EHLO, 1);
    // Refused (nothing stored) when they hold a line break (a token: a blank
    // or a control character).
    int rc = kovStringParam(kChannel, KOV_USER, connection.user.c_str());
    if (rc >= 0 && !secret.token.empty()) rc = kovStringParam(kChannel, KOV_OAUTH_TOKEN, secret.token.c_str());
    if (rc >= 0 && secret.token.empty()) rc = kovStringParam(kChannel, KOV_AUTH_PASSWORD, secret.password.c_str());
    if (rc < 0) return session.Fail("login", rc);
  }
  const std::string from = LibraryEntry(out.from);
  const int rc = session.Run(kovSmtpConnect(kChannel, connection.server.c_str(), from.c_str(), nullptr));
  return rc < 0 ? session.Fail(std::string(), rc) : kExitOk;
}

// Starts the send as the message asks: finished, or composed from the
// options with the attachments in `attachments`.
int StartSend(const SendOptions& options, const Outgoing& out, const AttachmentArgument& attachments,
              const std::string& altText) {
  if (out.raw) {
    kovIntegerParam(kChannel, KOV_RAW_MESSAGE, 1);
    // The envelope alone: the header is the message's own.
    const std::string all = LibraryList(Envelope(out), true);
    return kovSendEmail(kChannel, all.c_str(), nullptr, nullptr, nullptr, out.message.c_str(), nullptr);
  }
  if (!options.htmlFile.empty()) {
    kovIntegerParam(kChannel, KOV_BODY_TYPE, 2);
    if (!altText.empty()) kovStringParam(kChannel, KOV_ALT_TEXT, altText.c_str());
  }
  kovIntegerParam(kChannel, KOV_ATTACH_SEP, attachments.entrySep);
  kovIntegerParam(kChannel, KOV_NAME_SEP, attachments.nameSep);
  const std::string to = LibraryList(out.to, false), cc = LibraryList(out.cc, false);
  const std::string bcc = LibraryList(out.bcc, true);
  return kovSendEmail(kChannel, to.c_str(), cc.c_str(), bcc.c_str(),
                      options.subject.empty() ? nullptr : options.subject.c_str(), out.message.c_str(),
                      attachments.list.c_str());
}

}  // namespace

int RunSend(const SendOptions& options) {
  Outgoing out;
  if (int status = PrepareOutgoing(options, out)) return status;
  if (!out.raw && out.to.empty()) return UsageError("a composed message needs --to");
  AttachmentArgument attachments;
  if (!BuildAttachments(options.attachments, attachments)) {
    return UsageError("the attachments' names hold every character usable to separate them");
  }
  std::string altText;
  if (!options.altTextFile.empty() && !ReadWholeFile(options.altTextFile, altText)) {
    return UsageError("cannot read " + options.altTextFile);
  }
  const ConnectionOptions& connection = options.connection;
  Secret secret;
  const bool stdinHoldsMessage = options.textFile == "-" || (out.raw && options.emlFile.empty()) || options.emlFile == "-";
  if (!connection.user.empty()) {
    if (int status = GetSecret(connection, stdinHoldsMessage, secret)) return status;
  }

  Session session;
  if (int status = session.Open(connection, KOV_SMTP_PORT, 25, true)) return status;
  if (int status = Connect(session, options, out, secret)) return status;
  const int start = StartSend(options, out, attachments, altText);
  Progress progress("sending", out.messageBytes + altText.size() + attachments.encodedBytes, session.ShowsProgress());
  const int rc = session.Run(start, &progress, KOV_STAT_BYTES_OUT);
  if (rc < 0) {
    const std::string phase = start < 0 ? "data" : session.Phase();
    return session.Fail(phase == "recipient" ? RecipientPhase(out) : phase, rc);
  }
  // The server has taken the message; a failed goodbye does not undo that.
  const int closed = session.Run(kovClose(kChannel));
  if (closed < 0) session.Fail("warning: close", closed);
  return kExitOk;
}

}  // namespace kovmail
