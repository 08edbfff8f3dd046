// CPU time of automatic driving while a server takes its time: kovSmtpConnect
// against a server that greets after 3 s, and kovCommand against one that
// answers after 3 s. Prints wall-clock and CPU seconds of each call.
#include <chrono>
#include <cstdio>
#include <ctime>

#include "kov32.h"
#include "net/connections.h"
#include "support/loopback_server.h"

namespace {

constexpr int kDelayMs = 3000;

template <typename Call>
void Measure(const char* what, Call call) {
  auto wallStart = std::chrono::steady_clock::now();
  std::clock_t cpuStart = std::clock();
  int rc = call();
  double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  printf("%-44s result %d  wall %.3f s  cpu %.3f s\n", what, rc, wall, cpu);
}

}  // namespace

int main() {
  if (kovAttach(1) != 1) return 1;
  WexlSetClosePause(0);

  LoopbackServer slowGreeting;
  slowGreeting.Pause(kDelayMs).Send("220 slow ESMTP\r\n").ReadLine().Send("250 ok\r\n").ReadLine();
  slowGreeting.Pause(kDelayMs).Send("250 noop\r\n").ReadLine().Send("221 bye\r\n");
  slowGreeting.Start();
  kovIntegerParam(0, KOV_SMTP_PORT, slowGreeting.Port());
  Measure("kovSmtpConnect, greeting after 3 s", [] { return kovSmtpConnect(0, "127.0.0.1", "<a@b.c>", nullptr); });
  Measure("kovCommand, reply after 3 s", [] { return kovCommand(0, "NOOP"); });
  Measure("kovClose, reply at once", [] { return kovClose(0); });
  kovRelease();
  return 0;
}
