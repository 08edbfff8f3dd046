// What kovCommand, kovClose and kovAbort do, with the raw command and QUIT
// states.
#include <initializer_list>
#include <iterator>

#include "api/errors.h"
#include "codec/strings.h"
#include "engine/frame/control.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "net/connections.h"

namespace {

// Whether the channel's SMTP transaction is inside its message: from DATA,
// whose go-ahead may still be on its way, until the end-of-data line has
// gone. Every line sent then is message text.
bool InsideMessage(const ChannelContext& c) {
  if (c.link.ChannelKind != kSmtpChannel) return false;
  if (c.link.NextState == DataReply || c.link.NextState == EndOfData) return true;
  for (const StepTable* table : {&kComposeHeaderSteps, &kComposeBodySteps, &kComposeRawSteps, &kComposeAttachSteps}) {
    for (int n = 0; n < table->count; ++n) {
      if (table->rows[n].state == c.link.NextState) return true;
    }
  }
  return false;
}

int CommandStep(ChannelContext& c, uint32_t now, int) {
  BoundedCopy(c.link.CommandBuffer, c.link.UserCommand, kCommandField);
  return SendCommandLine(c, now, c.link.CommandBuffer, c.settings.MinWait,
                         c.link.ThisState == SmtpCommand ? SmtpCommandReply : Pop3CommandReply);
}

// Only the reply's status is judged; the lines after a positive POP3 status
// of a multi-line command are left to the application.
int CommandReplyStep(ChannelContext& c, uint32_t, int) {
  c.link.NextState = Done;
  return kStepDone;
}

int QuitStep(ChannelContext& c, uint32_t now, int) {
  return SendCommandLine(c, now, "QUIT", c.settings.MinWait, QuitReply);
}

// A server that closes the connection after QUIT has done what was asked.
int QuitReplyStep(ChannelContext& c, uint32_t, int reply) {
  if (reply < 0 && reply != kWexlClosed) return FailStep(c, 0, reply);
  c.link.NextState = Done;
  CloseChannelAfterQuit(c);
  return kStepDone;
}

constexpr StateStep kRows[] = {
    {SmtpCommand, Await::kNothing, CommandStep},
    {SmtpCommandReply, Await::kSmtpReply, CommandReplyStep},
    {Pop3Command, Await::kNothing, CommandStep},
    {Pop3CommandReply, Await::kPop3Reply, CommandReplyStep},
    {Quit, Await::kWritable, QuitStep},
    {QuitReply, Await::kChannelReply, QuitReplyStep, OnBadReply::kStepJudges},
};

}  // namespace

extern const StepTable kControlSteps = {kRows, static_cast<int>(std::size(kRows))};

int PrepareCommand(ChannelContext& c, const char* text) {
  BoundedCopy(c.link.UserCommand, text, kCommandField);
  if (c.link.ChannelKind == kPop3Channel) return Pop3Command;
  if (c.link.ChannelKind == kSmtpChannel) return SmtpCommand;
  return kBadServerName;
}

int PrepareClose(ChannelContext& c) {
  CloseChannelFiles(c);
  if (!c.link.HoldsSlot) return 0;
  // The server has gone first: nothing to say QUIT to. Or the message is
  // unfinished: QUIT would be one more line of its text, and the server
  // would answer nothing. Either way the socket and its slot are still ours
  // to give back.
  if (WexlIsOpen(ChannelSlot(c)) != 1 || InsideMessage(c)) {
    c.link.NextState = Done;
    CloseChannelSocket(c);
    return 0;
  }
  return Quit;
}

int FinishClose(ChannelContext& c, int rc) {
  ReleaseChannelTexts(c);
  c.link.ChannelKind = 0;
  return rc;
}

void AbortOperation(ChannelContext& c) {
  c.link.AfterConnectState = 0;
  c.link.LastSockCode = 0;
  c.link.AutoCall = 1;
  c.link.NextState = Done;
  CloseChannelFiles(c);
  CloseChannelSocket(c);
}
