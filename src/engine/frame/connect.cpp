// The connect sequence shared by SMTP and POP3 (states 101 to 106).
#include <iterator>

#include "api/errors.h"
#include "api/log.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "net/connections.h"

namespace {

int LocalHostStep(ChannelContext& c, uint32_t, int) {
  c.link.CommandBuffer[0] = '\0';
  c.link.NextState = ResolveServer;
  return kStepDone;
}

// Resolves into a value of the channel's own: the slot a channel names before
// it connects may belong to another channel by now.
int ResolveServerStep(ChannelContext& c, uint32_t, int) {
  LogFormat(c, "Server = '%s'\r\n", c.link.ServerName);
  uint32_t address = 0;
  int rc = WexlResolveName(c.link.ServerName, &address);
  if (rc < 1) return FailStep(c, rc, kServerNotFound);
  c.link.NextState = OpenSocket;
  if (c.diag.LogHandle != 0) {
    char text[18];
    if (WexlFormatAddress(address, text, sizeof text) > 0) LogFormat(c, "ServerIP = %s\r\n", text);
  }
  return kStepDone;
}

int OpenSocketStep(ChannelContext& c, uint32_t now, int) {
  // A connection the channel still holds would otherwise stay open for good.
  if (c.link.HoldsSlot) CloseChannelSocket(c);
  int slot = WexlCreateSocket();
  if (slot < 0) return NotYet(c, kWaitSlot);
  c.link.SlotNumber = static_cast<uint32_t>(slot);
  c.link.HoldsSlot = 1;
  AttachTrace(c);
  // The connect does not block: the next state waits for it within ConnectWait.
  int rc = WexlConnect(slot, c.link.ServerName, static_cast<uint16_t>(c.link.ConnectPort));
  if (rc < 0) return FailStep(c, rc, kConnectError);
  SetTimers(c, now, c.settings.MinWait, c.settings.ConnectWait);
  c.link.NextState = AwaitConnected;
  return kStepDone;
}

int AwaitConnectedStep(ChannelContext& c, uint32_t now, int) {
  int slot = ChannelSlot(c);
  if (WexlReady(slot, kWexlException) == 1) return FailStep(c, 0, kConnectError);
  if (WexlReady(slot, kWexlWritable) != 1) return NotYet(c, kWaitWritable);
  SetTimers(c, now, c.settings.MinWait, c.settings.MaxWait);
  c.link.NextState = c.link.AfterConnectState;
  return kStepDone;
}

constexpr StateStep kRows[] = {
    {LocalHost, Await::kNothing, LocalHostStep},
    {LocalHost2, Await::kNothing, LocalHostStep},
    {LocalHost3, Await::kNothing, LocalHostStep},
    {ResolveServer, Await::kNothing, ResolveServerStep},
    {OpenSocket, Await::kNothing, OpenSocketStep},
    {AwaitConnected, Await::kNothing, AwaitConnectedStep},
};

}  // namespace

extern const StepTable kConnectSteps = {kRows, static_cast<int>(std::size(kRows))};
