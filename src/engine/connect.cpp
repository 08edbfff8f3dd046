// The connect sequence shared by SMTP and POP3 (states 101 to 106).
#include "api/errors.h"
#include "api/log.h"
#include "api/settings.h"
#include "api/trace.h"
#include "engine/driver.h"
#include "engine/states.h"
#include "engine/steps.h"
#include "net/connections.h"

int StepLocalHost(ChannelContext& c, uint32_t) {
  c.CommandBuffer[0] = '\0';
  c.NextState = ResolveServer;
  return 0;
}

int StepResolveServer(ChannelContext& c, uint32_t) {
  LogFormat(c, "Server = '%s'\r\n", c.ServerName);
  int rc = WexlResolve(static_cast<int>(c.SlotNumber), c.ServerName);
  if (rc < 1) return FailStep(c, rc, kServerNotFound);
  c.NextState = OpenSocket;
  if (c.LogHandle != 0) {
    char address[18];
    if (WexlRemoteAddress(static_cast<int>(c.SlotNumber), address, sizeof address) > 0)
      LogFormat(c, "ServerIP = %s\r\n", address);
  }
  return 0;
}

int StepOpenSocket(ChannelContext& c, uint32_t now) {
  // A connection the channel still holds would otherwise stay open for good.
  if (c.HoldsSlot) CloseChannelSocket(c);
  int slot = WexlCreateSocket();
  if (slot < 0) return kInvalidSocket;  // the state stays, a later call tries again
  c.SlotNumber = static_cast<uint32_t>(slot);
  c.HoldsSlot = 1;
  AttachTrace(c);
  int rc = WexlConnect(slot, c.ServerName, static_cast<uint16_t>(c.ConnectPort));
  c.WaitWritable = 0;
  if (rc < 0) return FailStep(c, rc, kConnectError);
  SetTimers(c, now, gSettings.MinWait, gSettings.ConnectWait);
  c.NextState = AwaitConnected;
  return 0;
}

int StepAwaitConnected(ChannelContext& c, uint32_t now) {
  int slot = static_cast<int>(c.SlotNumber);
  if (WexlReady(slot, 3) == 1) return FailStep(c, 0, kConnectError);
  if (WexlReady(slot, 2) != 1) {
    c.WaitFor = 2;
    return 0;
  }
  c.WaitWritable = 1;
  SetTimers(c, now, gSettings.MinWait, gSettings.MaxWait);
  c.NextState = c.AfterConnectState;
  return 0;
}
