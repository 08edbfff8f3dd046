#include "support/event_wait.h"

#ifdef _WIN32
#include <winsock.h>
#else
#include <sys/select.h>
#endif

#include "kov32.h"
#include "platform/platform.h"

bool WaitAsTold(int channel, int capMs) {
  int socket = -1;
  int events = 0;
  int timeoutMs = 0;
  if (kovWaitInfo(channel, &socket, &events, &timeoutMs) != 0) return false;
  const int ms = timeoutMs < 0 || timeoutMs > capMs ? capMs : timeoutMs;
  if (socket < 0 || events == 0) {
    if (ms > 0) platform::SleepMs(static_cast<uint32_t>(ms));
    return true;
  }
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  timeval limit{ms / 1000, (ms % 1000) * 1000};
  select(socket + 1, events == KOV_WAIT_READ ? &set : nullptr, events == KOV_WAIT_WRITE ? &set : nullptr, nullptr,
         &limit);
  return true;
}
