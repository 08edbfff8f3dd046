// What many steps do: send one command line and wait for the reply state,
// and find out whether a reply has arrived.
#include "api/errors.h"
#include "api/settings.h"
#include "engine/driver.h"
#include "engine/states.h"
#include "net/connections.h"
#include "net/lineio.h"

void SetTimers(ChannelContext& c, uint32_t now, int32_t firstDelay, int32_t limit) {
  c.NotBefore = now + static_cast<uint32_t>(firstDelay);
  c.Deadline = now + static_cast<uint32_t>(limit);
}

bool ReplyReady(ChannelContext& c) {
  if (WexlWaitReadable(static_cast<int>(c.SlotNumber), 0) == 1) return true;
  c.WaitFor = 1;
  return false;
}

int SendCommandLine(ChannelContext& c, uint32_t now, const char* line, int32_t firstDelay, int replyState) {
  int rc = WexlSendLine(static_cast<int>(c.SlotNumber), line);
  if (rc < 0) return FailStep(c, rc, kWriteError);
  SetTimers(c, now, firstDelay, gSettings.MaxWait);
  c.NextState = replyState;
  return 0;
}

int AwaitSmtpReply(ChannelContext& c) {
  if (!ReplyReady(c)) return kNotYet;
  int rc = ReadSmtpReply(c);
  return rc < 0 ? FailReply(c, rc) : 0;
}
