// Stepped driving from one thread through kovWaitInfo and poll():
// - 32 channels waiting 3 s for their greetings: CPU time, wakeups and
//   kovDriver calls while they wait;
// - the longest single kovDriver call of a 20 MiB download whose first 4 KiB
//   come one byte every 2 ms, and of a send whose every reply comes 500 ms late.
// Prints figures; judges nothing.
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "kov32.h"
#include "net/connections.h"
#include "support/loopback_server.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

struct Loop {
  long calls = 0;
  long wakeups = 0;
  double longestMs = 0;
};

// Drives the channels until every operation ended, waiting in poll() for
// what kovWaitInfo names; counts calls and wakeups and times every call.
void DriveAll(const std::vector<int>& channels, Loop& loop) {
  std::vector<int> live = channels;
  while (!live.empty()) {
    std::vector<pollfd> fds;
    int timeout = -1;
    for (size_t i = 0; i < live.size();) {
      // Steps that were done are followed at once, a few at a time per channel.
      int rc;
      for (int burst = 0; burst < 64; ++burst) {
        const auto start = Clock::now();
        rc = kovDriver(live[i]);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        loop.longestMs = ms > loop.longestMs ? ms : loop.longestMs;
        ++loop.calls;
        if (rc <= 0 || rc == KOV_MORE) break;
      }
      if (rc <= 0) {
        live.erase(live.begin() + static_cast<long>(i));
        continue;
      }
      if (rc == KOV_MORE) {
        int socket, events, ms2;
        kovWaitInfo(live[i], &socket, &events, &ms2);
        if (ms2 >= 0 && (timeout < 0 || ms2 < timeout)) timeout = ms2;
        if (socket >= 0) fds.push_back({socket, static_cast<short>(events == KOV_WAIT_READ ? POLLIN : POLLOUT), 0});
      } else {
        timeout = 0;  // a step was done: the next may follow at once
      }
      ++i;
    }
    if (live.empty()) break;
    poll(fds.data(), fds.size(), timeout);
    ++loop.wakeups;
  }
}

void WaitingChannels() {
  constexpr int kChannels = 32;
  std::vector<std::unique_ptr<LoopbackServer>> servers;
  std::vector<int> channels;
  for (int n = 0; n < kChannels; ++n) {
    servers.push_back(std::make_unique<LoopbackServer>());
    servers.back()->Pause(3000).Send("220 late\r\n").ReadLine().Send("250 ok\r\n").ReadLine().Send("221 bye\r\n");
    servers.back()->Start();
    kovIntegerParam(n, KOV_SMTP_PORT, servers.back()->Port());
    kovIntegerParam(n, KOV_AUTO_CALL, 0);
    if (kovSmtpConnect(n, "127.0.0.1", "<a@b.c>", nullptr) == 0) channels.push_back(n);
  }
  Loop loop;
  const double cpu = CpuSeconds();
  const auto start = Clock::now();
  DriveAll(channels, loop);
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  printf("32 channels, greeting after 3 s: wall %.2f s, cpu %.3f s (%.1f %%), %ld kovDriver calls, %ld wakeups "
         "(%.2f per channel-second), longest call %.2f ms\n",
         wall, CpuSeconds() - cpu, 100 * (CpuSeconds() - cpu) / wall, loop.calls, loop.wakeups,
         loop.wakeups / (wall * kChannels), loop.longestMs);
  for (int n = 0; n < kChannels; ++n) kovAbort(n);
}

void SlowStartDownload() {
  const std::string line(76, 'x');
  const size_t lines = (20u << 20) / (line.size() + 2);
  LoopbackServer server;
  server.Send("+OK ready\r\n").ReadLine().Send("+OK\r\n").ReadLine().Send("+OK in\r\n").ReadLine();
  std::string start = "+OK message\r\n";
  while (start.size() < 4096) start += line + "\r\n";
  server.SendSlowly(start, 2).SendRepeated(line + "\r\n", lines).Send(".\r\n").ReadLine().Send("+OK bye\r\n");
  server.Start();
  kovIntegerParam(0, KOV_POP3_PORT, server.Port());
  kovIntegerParam(0, KOV_DECODE_MODE, 1);
  kovIntegerParam(0, KOV_AUTO_CALL, 1);
  if (kovPop3Connect(0, "127.0.0.1", "u", "p") != 0) return;
  TempDir dir;
  kovIntegerParam(0, KOV_AUTO_CALL, 0);
  Loop loop;
  const auto begin = Clock::now();
  if (kovGetEmailFile(0, 1, "m.txt", dir.Path().c_str(), dir.Path().c_str()) == 0) DriveAll({0}, loop);
  const double wall = std::chrono::duration<double>(Clock::now() - begin).count();
  printf("20 MiB download, first 4 KiB a byte every 2 ms: wall %.2f s, %ld calls, longest call %.2f ms\n", wall,
         loop.calls, loop.longestMs);
  kovIntegerParam(0, KOV_AUTO_CALL, 1);
  kovClose(0);
}

void LateReplySend() {
  LoopbackServer server;
  server.Pause(500).Send("220 hi\r\n").ReadLine().Pause(500).Send("250 ok\r\n");
  for (const char* reply : {"250 ok\r\n", "250 ok\r\n", "354 go\r\n"}) server.ReadLine().Pause(500).Send(reply);
  server.Pause(1500).Send("250 queued\r\n");  // the message goes out during the pause
  server.Start();
  kovIntegerParam(1, KOV_SMTP_PORT, server.Port());
  kovIntegerParam(1, KOV_AUTO_CALL, 0);
  Loop loop;
  if (kovSmtpConnect(1, "127.0.0.1", "<a@b.c>", nullptr) == 0) DriveAll({1}, loop);
  if (kovSendEmail(1, "<b@x.y>", nullptr, nullptr, "late", "text", nullptr) == 0) DriveAll({1}, loop);
  printf("send, every reply 500 ms late: %ld calls, longest call %.2f ms\n", loop.calls, loop.longestMs);
  kovAbort(1);
}

}  // namespace

int main() {
  if (kovAttach(32) != 1) return 1;
  WexlSetClosePause(0);
  kovIntegerParam(0, KOV_DELAY, 0);
  WaitingChannels();
  SlowStartDownload();
  LateReplySend();
  kovRelease();
  return 0;
}
