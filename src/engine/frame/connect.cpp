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

static_assert(sizeof LinkState::ServerAddresses / sizeof(platform::NetAddress) == kRaceAddresses,
              "the channel keeps every address a connect may try");

// With KOV_IP_FAMILY set: every address of the allowed families, each logged.
int ResolveAllStep(ChannelContext& c) {
  const int count = WexlResolveAll(c.link.ServerName, c.link.IpFamily, c.link.ServerAddresses, kRaceAddresses);
  if (count < 1) return FailStep(c, count, count == kWexlNoAddress ? kNoAddress : kServerNotFound);
  c.link.ServerAddressCount = static_cast<uint8_t>(count);
  c.link.TriesAddresses = 1;
  c.link.NextState = OpenSocket;
  for (int i = 0; i < count && c.diag.LogHandle != 0; ++i) {
    char text[48];
    if (WexlFormatNetAddress(c.link.ServerAddresses[i], text, sizeof text) > 0) LogFormat(c, "ServerIP = %s\r\n", text);
  }
  return kStepDone;
}

// Resolves into a value of the channel's own: the slot a channel names before
// it connects may belong to another channel by now.
int ResolveServerStep(ChannelContext& c, uint32_t, int) {
  LogFormat(c, "Server = '%s'\r\n", c.link.ServerName);
  c.link.TriesAddresses = 0;
  if (c.link.IpFamily != kWexlClassic) return ResolveAllStep(c);
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
  const bool tries = c.link.TriesAddresses != 0;
  int slot = tries ? WexlCreateSocketFor(c.link.ServerAddresses[0].family) : WexlCreateSocket();
  if (slot < 0) return NotYet(c, kWaitSlot);
  c.link.SlotNumber = static_cast<uint32_t>(slot);
  c.link.HoldsSlot = 1;
  AttachTrace(c);
  // The connect does not block: the next state waits for it within ConnectWait.
  const uint16_t port = static_cast<uint16_t>(c.link.ConnectPort);
  int rc = tries ? WexlConnectAddresses(slot, c.link.ServerAddresses, c.link.ServerAddressCount, port, now)
                 : WexlConnect(slot, c.link.ServerName, port);
  if (rc < 0) return FailStep(c, rc, kConnectError);
  SetTimers(c, now, c.settings.MinWait, c.settings.ConnectWait);
  c.link.NextState = AwaitConnected;
  return kStepDone;
}

// Whether the connect stands: 1, 0 while under way, or FailStep's result.
int Connected(ChannelContext& c, uint32_t now) {
  const int slot = ChannelSlot(c);
  if (c.link.TriesAddresses) {
    const int rc = WexlConnectProgress(slot, now);
    return rc < 0 ? FailStep(c, rc, kConnectError) : rc;
  }
  if (WexlReady(slot, kWexlException) == 1) return FailStep(c, 0, kConnectError);
  return WexlReady(slot, kWexlWritable) == 1 ? 1 : 0;
}

int AwaitConnectedStep(ChannelContext& c, uint32_t now, int) {
  const int connected = Connected(c, now);
  if (connected < 0) return connected;
  if (connected == 0) return NotYet(c, kWaitWritable);
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
