// What the mailbox calls run: kovGetEmailCount (STAT), kovGetEmailSize
// (LIST n), kovDeleteEmail (DELE n) and kovGetEmailUID (UIDL), states 307,
// 308, 315 to 318, 320 and 321.
#include <cstdio>
#include <iterator>

#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "engine/pop3/pop3.h"
#include "engine/pop3/text.h"

namespace {

// Replies to STAT, LIST and DELE: a refusal (-ERR) is an answer that reports
// nothing; a connection that failed before answering fails the call.
bool Answered(int reply) { return reply == 0 || reply == kPop3Error; }

int StatStep(ChannelContext& c, uint32_t now, int) {
  c.pop.MessageCount = 0;
  return SendPop3Command(c, now, "STAT", c.settings.MinWait, Pop3StatReply, kReadError);
}

int StatReplyStep(ChannelContext& c, uint32_t, int reply) {
  if (!Answered(reply)) return FailReply(c, reply);
  if (reply == 0) c.pop.MessageCount = static_cast<uint32_t>(StatCount(c.link.ReplyBuffer));
  c.link.NextState = Done;
  return kStepDone;
}

int ListStep(ChannelContext& c, uint32_t now, int) {
  c.pop.MessageSize = 0;
  snprintf(c.link.CommandBuffer, sizeof c.link.CommandBuffer, "LIST %d", c.pop.MessageNumber);
  return SendPop3Command(c, now, c.link.CommandBuffer, c.settings.MinWait, Pop3ListReply, kReadError);
}

int ListReplyStep(ChannelContext& c, uint32_t, int reply) {
  if (!Answered(reply)) return FailReply(c, reply);
  if (reply == 0) c.pop.MessageSize = ListSize(c.link.ReplyBuffer);
  c.link.NextState = Done;
  return kStepDone;
}

int DeleStep(ChannelContext& c, uint32_t now, int) {
  snprintf(c.link.CommandBuffer, sizeof c.link.CommandBuffer, "DELE %d", c.pop.MessageNumber);
  return SendPop3Command(c, now, c.link.CommandBuffer, c.settings.MinWait, Pop3DeleReply, kReadError);
}

int DeleReplyStep(ChannelContext& c, uint32_t, int reply) {
  if (!Answered(reply)) return FailReply(c, reply);
  c.link.NextState = Done;
  return kStepDone;
}

int UidlStep(ChannelContext& c, uint32_t now, int) {
  if (c.pop.MessageNumber < 0) {
    snprintf(c.link.CommandBuffer, sizeof c.link.CommandBuffer, "UIDL");
  } else {
    snprintf(c.link.CommandBuffer, sizeof c.link.CommandBuffer, "UIDL %d", c.pop.MessageNumber);
  }
  BeginResponse(c);
  return SendPop3Command(c, now, c.link.CommandBuffer, c.settings.MinWait, Pop3UidlLine, kWriteError);
}

// Every line goes to the buffer as received, the status line included; the
// buffer's text stays terminated. One message's reply is a single line, and
// so is a refused list (servers need not offer UIDL).
int UidlLineStep(ChannelContext& c, uint32_t now, int) {
  Piece p;
  if (int rc = TakePiece(c, now, p)) return rc;
  if (!p.status && p.lineStart && EndsList(p.text, p.length)) {
    c.link.NextState = Done;
    return kStepDone;
  }
  CopyToUserBuffer(c, p.text, p.length);
  if (c.pop.UserBuffer != nullptr) c.pop.UserBuffer[c.pop.UserBufferLength] = '\0';
  if (p.endsLine && (c.pop.MessageNumber >= 1 || (p.status && c.link.ReplyCode != 100))) {
    c.link.NextState = Done;
    return kStepDone;
  }
  AwaitNextPiece(c, now);
  return kStepDone;
}

constexpr StateStep kRows[] = {
    {Pop3SendStat, Await::kWritable, StatStep},
    {Pop3StatReply, Await::kPop3Reply, StatReplyStep, OnBadReply::kStepJudges},
    {Pop3SendDele, Await::kWritable, DeleStep},
    {Pop3DeleReply, Await::kPop3Reply, DeleReplyStep, OnBadReply::kStepJudges},
    {Pop3SendList, Await::kWritable, ListStep},
    {Pop3ListReply, Await::kPop3Reply, ListReplyStep, OnBadReply::kStepJudges},
    {Pop3SendUidl, Await::kWritable, UidlStep},
    {Pop3UidlLine, Await::kNothing, UidlLineStep},
};

}  // namespace

extern const StepTable kPop3MailboxSteps = {kRows, static_cast<int>(std::size(kRows))};

int CheckMailboxCall(const ChannelContext& c, int number) {
  if (c.link.ChannelKind != kPop3Channel) return kPop3Only;
  return number < 1 ? kNoSuchMessage : 0;
}

int PrepareUidList(ChannelContext& c, int number, char* buffer, int size) {
  c.pop.MessageNumber = number;
  c.pop.UserBuffer = buffer;
  c.pop.UserBufferSize = size - 1;
  c.pop.UserBufferLength = 0;
  buffer[0] = '\0';
  return Pop3SendUidl;
}
