#include "channel_wait.h"

#include <kov32.h>

#ifdef _WIN32
#include <winsock.h>
#else
#include <poll.h>
#endif

#include <chrono>
#include <thread>

namespace kovmail {

void WaitForChannel(int channel, int capMs) {
  int socket = -1, events = 0, timeoutMs = 0;
  if (kovWaitInfo(channel, &socket, &events, &timeoutMs) != 0) return;
  const int ms = timeoutMs < 0 || timeoutMs > capMs ? capMs : timeoutMs;
  if (ms == 0) return;
  if (socket < 0 || events == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return;
  }
#ifdef _WIN32
  fd_set set;
  FD_ZERO(&set);
  FD_SET(static_cast<SOCKET>(socket), &set);
  timeval limit{ms / 1000, (ms % 1000) * 1000};
  select(0, events == KOV_WAIT_READ ? &set : nullptr, events == KOV_WAIT_WRITE ? &set : nullptr, nullptr, &limit);
#else
  pollfd target{socket, static_cast<short>(events == KOV_WAIT_READ ? POLLIN : POLLOUT), 0};
  poll(&target, 1, ms);
#endif
}

}  // namespace kovmail
