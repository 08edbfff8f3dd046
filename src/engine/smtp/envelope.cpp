// What kovSendEmail runs: the mail transaction around the message: MAIL FROM, one
// RCPT TO per entry of the To, CC and BCC lists, DATA or RSET, and the end of
// the data (states 204 to 212, 251 and 252). The compose files send the
// message itself between DATA and its end.
#include <cstdio>
#include <iterator>

#include "api/blocks.h"
#include "api/errors.h"
#include "api/log.h"
#include "codec/strings.h"
#include "engine/compose/compose.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "engine/smtp/smtp.h"
#include "net/connections.h"
#include "net/lineio.h"

namespace {

// What MessageText points to when the message has no text.
char gNoText[1] = "";

int GoTo(ChannelContext& c, int state) {
  c.link.NextState = state;
  return kStepDone;
}

// The current entry runs from its '<' to the separator behind it (RcptSepPos)
// or to the end of its list. The list itself is never cut, so the To and CC
// headers always find every entry whatever the server answered.
int EntryLength(const ChannelContext& c) {
  if (c.smtp.CurrentRcpt == nullptr) return 0;
  if (c.smtp.RcptSepPos != nullptr) return static_cast<int>(c.smtp.RcptSepPos - c.smtp.CurrentRcpt);
  return StringLength(c.smtp.CurrentRcpt);
}

int MailFromStep(ChannelContext& c, uint32_t now, int) {
  if (c.smtp.FromAddress[0] == '\0') return FailStep(c, 0, kMissingFrom);
  const char* open = FindChar(c.smtp.FromAddress, '<');
  if (open == nullptr) return FailStep(c, 0, kMissingOpenBracket);
  // Whatever follows the '>' goes along (a size or body declaration).
  snprintf(c.link.CommandBuffer, sizeof c.link.CommandBuffer, "MAIL FROM:%s", open);
  return SendCommandLine(c, now, c.link.CommandBuffer, c.settings.MinWait, MailFromReply);
}

int MailFromReplyStep(ChannelContext& c, uint32_t, int reply) {
  if (!HasClass(c, reply, 2)) return Refuse(c, reply);
  c.smtp.RcptCursor = c.smtp.ToList;
  c.smtp.CcDone = c.smtp.CcList == nullptr ? 1 : 0;
  c.smtp.BccDone = c.smtp.BccList == nullptr ? 1 : 0;
  return GoTo(c, NextRecipient);
}

// Finds the next entry: its '<' must come before the next separator, so an
// empty entry inside a list ("a,,b") fails here, and so does one too long
// for its line. kovSendEmail has checked its lists the same way; the walk
// checks again, as the separator may have changed since.
int NextRecipientStep(ChannelContext& c, uint32_t now, int) {
  ListEntry entry;
  if (int rc = FindListEntry(c.smtp.RcptCursor, c.settings.AddressSep, entry)) return FailStep(c, 0, rc);
  c.smtp.CurrentRcpt = const_cast<char*>(entry.open);
  c.smtp.RcptSepPos = const_cast<char*>(entry.sep);
  c.smtp.RcptCursor = const_cast<char*>(entry.next);
  SetTimers(c, now, 0, c.settings.MaxWait);
  return GoTo(c, RcptTo);
}

int RcptToStep(ChannelContext& c, uint32_t now, int) {
  if (c.smtp.CurrentRcpt == nullptr) return FailStep(c, 0, kEmptyAddress);
  // Text between the '>' and the separator goes along, as in MAIL FROM.
  snprintf(c.link.CommandBuffer, sizeof c.link.CommandBuffer, "RCPT TO:%.*s", EntryLength(c), c.smtp.CurrentRcpt);
  return SendCommandLine(c, now, c.link.CommandBuffer, 0, RcptToReply);
}

// Moves the cursor to the list that still has entries: To, then CC, then BCC.
// False when every list is worked through. A trailing separator leaves an
// empty rest, which counts as the end of its list.
bool CursorOnNextEntry(ChannelContext& c) {
  if (c.smtp.RcptCursor != nullptr && c.smtp.RcptCursor[0] != '\0') return true;
  if (c.smtp.CcDone == 0) {
    c.smtp.CcDone = 1;
    c.smtp.RcptCursor = c.smtp.CcList;
    return true;
  }
  if (c.smtp.BccDone == 0) {
    c.smtp.BccDone = 1;
    c.smtp.RcptCursor = c.smtp.BccList;
    return true;
  }
  return false;
}

int StartData(ChannelContext& c, uint32_t now) {
  SetTimers(c, now, c.settings.MinWait, c.settings.MaxWait);
  return GoTo(c, Data);
}

// With SkipRcptErrors the first refusal (4xx as well as 5xx) ends the
// recipients: the message goes to those accepted so far, or, with none, the
// transaction is reset and the send still succeeds.
int RcptToReplyStep(ChannelContext& c, uint32_t now, int reply) {
  if (reply < 0 && reply != kSmtpError) return FailReply(c, reply);
  if (!HasClass(c, reply, 2)) {
    if (c.smtp.SkipRcptErrors == 0) return FailStep(c, 0, kSmtpError);
    return c.smtp.RcptCount > 0 ? StartData(c, now) : GoTo(c, Reset);
  }
  c.smtp.RcptCount = SaturatingAdd(c.smtp.RcptCount, 1);
  const int length = EntryLength(c);
  BoundedCopy(c.smtp.LastRecipient, c.smtp.CurrentRcpt, length < 32 ? length : 32);
  return CursorOnNextEntry(c) ? GoTo(c, NextRecipient) : StartData(c, now);
}

int DataStep(ChannelContext& c, uint32_t now, int) {
  return SendCommandLine(c, now, "DATA", c.settings.MinWait, DataReply);
}

// Only the go-ahead (3xx) lets the message follow: sent after any other
// answer, its lines would be read as commands.
int DataReplyStep(ChannelContext& c, uint32_t now, int reply) {
  if (!HasClass(c, reply, 3)) return Refuse(c, reply);
  SetTimers(c, now, 2 * c.settings.MinWait, c.settings.MaxWait);
  if (c.smtp.RawMessage != 0) return GoTo(c, RawOpen);
  return GoTo(c, c.smtp.BodyType == 2 ? HeaderStart : HeaderMailer);
}

int ResetStep(ChannelContext& c, uint32_t now, int) {
  return SendCommandLine(c, now, "RSET", c.settings.MinWait, ResetReply);
}

int ResetReplyStep(ChannelContext& c, uint32_t, int) { return GoTo(c, Done); }

// The closing delimiter of a multipart body (with an empty line after it),
// then the line with the single period; a finished message is followed by
// the period line alone.
int EndOfDataStep(ChannelContext& c, uint32_t now, int) {
  if (c.smtp.RawMessage != 0) return SendCommandLine(c, now, ".", c.settings.MinWait, EndOfDataReply);
  if (IsMultipart(c)) {
    snprintf(c.link.CommandBuffer, sizeof c.link.CommandBuffer, "--%s--\r\n", c.settings.Boundary);
    const int rc = WexlSendLine(ChannelSlot(c), c.link.CommandBuffer);
    if (rc < 0) return FailStep(c, rc, kWriteError);
  }
  return SendCommandLine(c, now, "\r\n.", c.settings.MinWait, EndOfDataReply);
}

// Only a 2xx means the server took the message; a 4xx leaves it unsent.
int EndOfDataReplyStep(ChannelContext& c, uint32_t, int reply) {
  if (!HasClass(c, reply, 2)) return Refuse(c, reply);
  return GoTo(c, Done);
}

constexpr StateStep kRows[] = {
    {MailFrom, Await::kWritable, MailFromStep},
    {MailFromReply, Await::kSmtpReply, MailFromReplyStep, OnBadReply::kStepJudges},
    {NextRecipient, Await::kNothing, NextRecipientStep},
    {RcptTo, Await::kWritable, RcptToStep},
    {RcptToReply, Await::kSmtpReply, RcptToReplyStep, OnBadReply::kStepJudges},
    {Data, Await::kWritable, DataStep},
    {DataReply, Await::kSmtpReply, DataReplyStep, OnBadReply::kStepJudges},
    {Reset, Await::kWritable, ResetStep},
    {ResetReply, Await::kChannelReply, ResetReplyStep},
    {EndOfData, Await::kWritable, EndOfDataStep},
    {EndOfDataReply, Await::kSmtpReply, EndOfDataReplyStep, OnBadReply::kStepJudges},
};

// Whether the channel's connection can take the transaction now: held,
// writable at once, and not closed by the server (a peek finds the end).
bool ConnectionUsable(const ChannelContext& c) {
  if (!c.link.HoldsSlot) return false;
  const int slot = ChannelSlot(c);
  if (WexlWaitWritable(slot, 0) != 1) return false;
  char probe;
  return WexlPeek(slot, &probe, 1) >= 0;
}

// Stores a text in its slot, or the field becomes null for an absent text.
// False when the block cannot be allocated.
bool Store(int channel, int slot, const char* text, char*& field) {
  field = text != nullptr ? AllocAndCopy(channel, slot, text) : nullptr;
  return text == nullptr || field != nullptr;
}

// Checks every argument before anything of the channel changes: a refused
// call leaves the connection, and a send in progress on it, as they were.
// Every entry of every list is checked as the recipients will be walked, so
// that no argument fails once the transaction has begun.
int CheckSendArguments(ChannelContext& c, const char* const texts[6]) {
  if (texts[0] == nullptr) return kNoRecipient;
  for (int list = 0; list < 3; ++list) {
    if (texts[list] == nullptr) continue;
    if (int rc = CheckAngleAddress(c, texts[list], true)) return rc;
    if (int rc = CheckListEntries(texts[list], c.settings.AddressSep)) return rc;
  }
  if (c.smtp.RawMessage != 0 && texts[5] != nullptr && texts[5][0] != '\0') return kRawWithParts;
  return 0;
}

}  // namespace

extern const StepTable kSmtpEnvelopeSteps = {kRows, static_cast<int>(std::size(kRows))};

// Checks every argument, and only then replaces the slots. 204, or the code.
int PrepareSend(ChannelContext& c, const char* const texts[6]) {
  if (!ConnectionUsable(c)) return kNotConnected;
  if (int rc = CheckSendArguments(c, texts)) return rc;
  c.diag.TextBytesOut = c.diag.AttachBytesOut = c.diag.TextBytesIn = c.diag.AttachBytesIn = 0;
  c.smtp.ContentIdCount = 0;
  c.smtp.RcptCount = 0;
  // The lists change under whatever operation ran on them: it ends here.
  c.link.NextState = Done;
  const int channel = c.ChannelNumber;
  if (!Store(channel, kToSlot, texts[0], c.smtp.ToList) || !Store(channel, kCcSlot, texts[1], c.smtp.CcList) ||
      !Store(channel, kBccSlot, texts[2], c.smtp.BccList) || !Store(channel, kSubjectSlot, texts[3], c.smtp.Subject) ||
      !Store(channel, kMessageSlot, texts[4], c.smtp.MessageText) || !Store(channel, kAttachSlot, texts[5], c.smtp.AttachList))
    return kNoMemory;
  if (c.smtp.MessageText == nullptr) c.smtp.MessageText = gNoText;
  if (c.smtp.BodyType == 0) c.smtp.AltText = nullptr;
  if (c.link.AutoCall != 0) LogText(c, "*** Sending...\r\n");
  return MailFrom;
}
