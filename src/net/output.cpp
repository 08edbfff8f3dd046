#include "net/output.h"

#include <cstring>

#include "net/internal.h"
#include "net/tls.h"

namespace {

// How long making room may wait without a SendWaitLimit: as long as a
// blocking send would.
constexpr uint32_t kAsLongAsNeeded = 0x7fffffff;

// PushOutput, telling whether anything still waits: the failure, 1000 when
// nothing does, 0 when bytes still wait.
int PushRest(SocketSlot& s) {
  int rc = PushOutput(s);
  if (rc < 0) return rc;
  return OutputWaits(s) ? 0 : kWexlOk;
}

}  // namespace

bool OutputWaits(const SocketSlot& s) { return OutputCount(s) > 0 || TlsOutputWaits(s); }

int FailOutput(SocketSlot& s, int code) {
  s.SendError = code != 0 ? code : NegatedLastError();
  s.OpenFlag = 0;
  s.OutHead = 0;
  s.OutTail = 0;
  return s.SendError;
}

void ClearOutput(SocketSlot& s) {
  s.OutHead = 0;
  s.OutTail = 0;
  s.SendError = 0;
}

int PushOutput(SocketSlot& s) {
  if (s.Tls != nullptr) return TlsPushOutput(s);
  if (s.SendError != 0) return s.SendError;
  if (OutputCount(s) == 0) return kWexlOk;
  if (!HasSocket(s)) return kWexlLost;
  while (s.OutHead < s.OutTail) {
    int n = platform::SocketSend(s.Socket, s.OutData + s.OutHead, s.OutTail - s.OutHead);
    if (n < 0) return FailOutput(s, 0);
    if (n == 0) break;  // no room in the system now
    s.OutHead += n;
  }
  if (s.OutHead == s.OutTail) {
    s.OutHead = 0;
    s.OutTail = 0;
  }
  return kWexlOk;
}

int FlushOutput(SocketSlot& s, uint32_t limitMs) {
  int rc = PushRest(s);
  if (rc != 0 || limitMs == 0) return rc;
  // Only a flush that has to wait reads the clock.
  const uint32_t start = platform::CoarseTickCount();
  for (;;) {
    const uint32_t elapsed = platform::CoarseTickCount() - start;
    if (elapsed >= limitMs) return 0;
    // Out of time, or a socket that cannot become writable: the push after
    // the wait is the last try.
    const bool ready = platform::SocketReady(s.Socket, platform::kWritable, limitMs - elapsed);
    rc = PushRest(s);
    if (rc != 0 || !ready) return rc;
  }
}

int QueueOutput(SocketSlot& s, const char* data, int length) {
  if (s.SendError != 0) return s.SendError;
  if (!HasSocket(s)) return kWexlLost;
  // Bytes go in whole pieces of at most the buffer's size, each once there is
  // room for all of it: a send that fits the buffer is taken whole or not at all.
  for (int done = 0; done < length;) {
    const int piece = length - done < kOutputSize ? length - done : kOutputSize;
    if (kOutputSize - OutputCount(s) < piece) {
      int rc = PushOutput(s);
      if (rc < 0) return rc;
    }
    if (kOutputSize - OutputCount(s) < piece) {
      int rc = FlushOutput(s, s.SendWaitLimit > 0 ? static_cast<uint32_t>(s.SendWaitLimit) : kAsLongAsNeeded);
      if (rc < 0) return rc;
      if (rc == 0) return kWexlLost;
    }
    if (kOutputSize - s.OutTail < piece) {
      memmove(s.OutData, s.OutData + s.OutHead, static_cast<size_t>(OutputCount(s)));
      s.OutTail -= s.OutHead;
      s.OutHead = 0;
    }
    memcpy(s.OutData + s.OutTail, data + done, static_cast<size_t>(piece));
    s.OutTail += piece;
    done += piece;
  }
  return length;
}
