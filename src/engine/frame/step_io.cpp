// The failure path every step shares, the closing of a channel's socket and
// files, the socket trace, the step timers and sending one command line.
#include "engine/frame/step_io.h"

#include "api/errors.h"
#include "api/log.h"
#include "engine/frame/collect.h"
#include "engine/frame/step_table.h"
#include "engine/mime/channel.h"
#include "files/file_out.h"
#include "net/connections.h"
#include "net/lineio.h"
#include "net/slots.h"
#include "platform/platform.h"

namespace {

// How many unread bytes one discard takes at most, so that a peer that keeps
// sending cannot hold the step.
constexpr int kMostDiscarded = 1 << 20;

// Writes the text of a code (at most 127 characters, no line end of its own).
void LogCodeText(ChannelContext& c, int code) {
  char text[128];
  if (FormatErrorText(c, code, text, sizeof text) > 0) LogText(c, text);
}

void CloseSocket(ChannelContext& c, bool orderly) {
  TraceCollected(c);
  LogText(c, "Closing socket\r\n");
  if (!c.link.HoldsSlot) return;
  DetachTrace(c);
  if (orderly) {
    // Whatever the peer has not taken within the channel's time limit is dropped.
    const int32_t seconds = (c.settings.MaxWait + 999) / 1000;
    const uint16_t linger = static_cast<uint16_t>(seconds < 1 ? 1 : seconds > 500 ? 500 : seconds);
    WexlCloseWithin(ChannelSlot(c), linger, c.settings.Pacing != 0);
  } else {
    WexlCloseNow(ChannelSlot(c));
  }
  c.link.HoldsSlot = 0;
}

}  // namespace

void CloseChannelSocket(ChannelContext& c) { CloseSocket(c, false); }

void CloseChannelAfterQuit(ChannelContext& c) { CloseSocket(c, true); }

void CloseChannelFiles(ChannelContext& c) {
  // A part still being written did not complete; what was written of the
  // mail file reaches it before anything is reported, with a header line
  // the decoder held back.
  FinishHeldHeader(c);
  DiscardPartFile(c);
  CloseOutFile(c, OutFile::kMail);
}

void AttachTrace(ChannelContext& c) {
  if (!c.link.HoldsSlot) return;
  WexlSetOption(ChannelSlot(c), kOptionTrace, c.diag.LogHandle);
  WexlSetTraceWriter(ChannelSlot(c), c.diag.LogHandle != 0 ? WriteLogRecord : nullptr, &c);
}

void DetachTrace(const ChannelContext& c) {
  if (!c.link.HoldsSlot) return;
  WexlSetOption(ChannelSlot(c), kOptionTrace, 0);
  WexlSetTraceWriter(ChannelSlot(c), nullptr, nullptr);
}

void LogFailure(ChannelContext& c, int sockCode, int kovCode) {
  if (c.diag.LogHandle == 0) return;
  LogFormat(c, "ERROR(%ld): SockCode=%d KovCode=%d PrevState=%d ThisState=%d NextState=%d\r\n",
            static_cast<long>(platform::TickCount()), sockCode, kovCode, c.link.PrevState, c.link.ThisState, c.link.NextState);
  if (kovCode < 0) LogCodeText(c, kovCode);
  if (sockCode < 0) LogCodeText(c, sockCode);
}

int FailStep(ChannelContext& c, int sockCode, int kovCode) {
  // What arrived of a reply line the failure ends goes into the log first.
  if (kovCode < 0) TraceCollected(c);
  LogFailure(c, sockCode, kovCode);
  if (kovCode < 0) {
    c.link.NextState = 0;
    c.link.PrevState = c.link.ThisState;
    c.link.ThisState = -1;
    c.link.LastSockCode = sockCode;
    c.link.ReplyPending = 0;
    CloseChannelFiles(c);
    CloseChannelSocket(c);
  }
  platform::SleepMs(0);
  return kovCode;
}

int FailReply(ChannelContext& c, int readerResult) {
  if (readerResult == kWexlClosed) return FailStep(c, kWexlClosed, kReadError);
  return FailStep(c, 0, readerResult);
}

void SetTimers(ChannelContext& c, uint32_t now, int32_t firstDelay, int32_t limit) {
  c.link.TimerStart = now;
  // Without pacing no step waits for its time: only the limit stays.
  c.link.NotBefore = firstDelay > 0 && c.settings.Pacing != 0 ? static_cast<uint32_t>(firstDelay) : 0;
  c.link.Deadline = limit > 1 ? static_cast<uint32_t>(limit) : 1;
}

void DiscardUnread(ChannelContext& c) {
  if (c.link.UnreadCheckDue == 0 || !c.link.HoldsSlot) return;
  c.link.UnreadCheckDue = 0;
  const int slot = ChannelSlot(c);
  char piece[kRingSize];
  int bytes = 0;
  int lines = 0;
  bool midLine = false;
  while (bytes < kMostDiscarded && WexlWaitReadable(slot, 0) == 1) {
    int n = WexlGetLine(slot, piece, sizeof piece);
    if (n <= 0) break;
    if (!midLine) ++lines;
    midLine = piece[n - 1] != '\n';
    bytes += n;
  }
  if (bytes > 0) LogFormat(c, "Discarded %d unread lines (%d bytes)\r\n", lines, bytes);
}

int SendCommandLine(ChannelContext& c, uint32_t now, const char* line, int32_t firstDelay, int replyState,
                    int failCode) {
  DiscardUnread(c);
  const int slot = ChannelSlot(c);
  int rc = WexlSendLine(slot, line);
  // A command is answered: it goes out now, and a refusal fails this step.
  if (rc >= 0) rc = WexlFlush(slot, 0);
  if (rc < 0) return FailStep(c, rc, failCode);
  SetTimers(c, now, firstDelay, c.settings.MaxWait);
  c.link.NextState = replyState;
  return kStepDone;
}

int SendMessageLine(ChannelContext& c, uint32_t now, const char* line) {
  int rc = WexlSendLine(ChannelSlot(c), line);
  if (rc < 0) return FailStep(c, rc, kWriteError);
  SetTimers(c, now, c.settings.LineWait, c.settings.SendWait);
  return kStepDone;
}
