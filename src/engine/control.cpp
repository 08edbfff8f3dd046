// kovCommand, kovClose and kovAbort, with the raw command and QUIT states.
#include "api/blocks.h"
#include "api/channels.h"
#include "api/errors.h"
#include "api/log.h"
#include "api/settings.h"
#include "codec/strings.h"
#include "engine/driver.h"
#include "engine/states.h"
#include "engine/steps.h"
#include "kov32.h"
#include "net/connections.h"
#include "platform/platform.h"

namespace {

int ReadReply(ChannelContext& c) { return c.ChannelKind == 'S' ? ReadSmtpReply(c) : ReadPop3Reply(c); }

// Closes the files an interrupted download may still hold open.
void CloseOpenFiles(ChannelContext& c) {
  if (c.FileHandle > 0) platform::FileClose(c.FileHandle);
  if (c.MailFileHandle > 0) platform::FileClose(c.MailFileHandle);
  c.FileHandle = 0;
  c.MailFileHandle = 0;
}

}  // namespace

int StepUserCommand(ChannelContext& c, uint32_t now) {
  BoundedCopy(c.CommandBuffer, c.UserCommand, 32);
  return SendCommandLine(c, now, c.CommandBuffer, gSettings.MinWait,
                         c.ThisState == SmtpCommand ? SmtpCommandReply : Pop3CommandReply);
}

int StepUserCommandReply(ChannelContext& c, uint32_t) {
  if (!ReplyReady(c)) return 0;
  int rc = c.ThisState == SmtpCommandReply ? ReadSmtpReply(c) : ReadPop3Reply(c);
  if (rc < 0) return FailReply(c, rc);
  c.NextState = Done;
  return 0;
}

int StepQuit(ChannelContext& c, uint32_t now) { return SendCommandLine(c, now, "QUIT", gSettings.MinWait, QuitReply); }

int StepQuitReply(ChannelContext& c, uint32_t) {
  if (!ReplyReady(c)) return 0;
  int rc = ReadReply(c);
  // A server that closes the connection after QUIT has done what was asked.
  if (rc < 0 && rc != kWexlClosed) return FailStep(c, 0, rc);
  c.NextState = Done;
  CloseChannelSocket(c);
  return 0;
}

extern "C" KOV_API int KOV_CALL kovCommand(int channel, const char* text) {
  if (int rc = CheckChannel(channel)) return rc;
  ChannelContext& c = Channel(channel);
  LogEntry(c, "kovCommand");
  if (text == nullptr) return kNullPointer;
  BoundedCopy(c.UserCommand, text, 32);
  int first = c.ChannelKind == 'P' ? Pop3Command : c.ChannelKind == 'S' ? SmtpCommand : 0;
  if (first == 0) return kBadServerName;
  StartOperation(c, first);
  if (c.AutoCall == 0) return 0;
  c.NotBefore = 0;
  c.Deadline = 0;
  return DriveToCompletion(channel);
}

extern "C" KOV_API int KOV_CALL kovClose(int channel) {
  if (int rc = CheckChannel(channel)) return rc;
  ChannelContext& c = Channel(channel);
  LogEntry(c, "kovClose");
  if (!c.HoldsSlot || WexlIsOpen(static_cast<int>(c.SlotNumber)) != 1) return 0;
  CloseOpenFiles(c);
  c.WaitWritable = 1;
  StartOperation(c, Quit);
  c.NotBefore = 0;
  c.Deadline = 0;
  if (c.AutoCall == 0) return 0;
  int rc = DriveToCompletion(channel);
  FreeMemory(channel, 1, kSlotsPerChannel - 1);
  c.ChannelKind = 0;
  return rc;
}

extern "C" KOV_API int KOV_CALL kovAbort(int channel) {
  if (int rc = CheckChannel(channel)) return rc;
  ChannelContext& c = Channel(channel);
  LogEntry(c, "kovAbort");
  c.AfterConnectState = 0;
  c.LastSockCode = 0;
  c.AutoCall = 1;
  c.NextState = Done;
  CloseChannelSocket(c);
  return 1;
}
