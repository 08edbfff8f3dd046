// Throughput of the line layer over loopback: about 100 MB of 76-character
// lines read through WexlReadLine, and as much sent through WexlSendLine (and
// handed over with a last WexlFlush).
// Prints MB/s and the system calls the platform layer made per line.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "net/connections.h"
#include "net/lineio.h"
#include "platform/syscall_count.h"
#include "support/loopback_server.h"

#ifndef KOV_COUNT_SYSCALLS
#error "the benchmark needs a build with KOV_BENCH=ON, which counts system calls"
#endif

namespace {

constexpr size_t kLinesPerBlock = 8192;
constexpr size_t kBlocks = 164;  // 164 blocks of 8192 lines of 78 bytes: 104.8 MB
constexpr size_t kLines = kLinesPerBlock * kBlocks;
constexpr size_t kLineBytes = 78;
constexpr int kPollSleep = 100;  // the engine's default
constexpr int kWait = 25000;     // the engine's default read and send limits

const std::string& Text() {
  static const std::string text = [] {
    std::string t;
    for (int i = 0; i < 76; ++i) t += static_cast<char>('!' + i);
    return t;
  }();
  return text;
}

struct Figures {
  double seconds;
  uint64_t calls;
  size_t lines;
};

void Report(const char* what, const Figures& f) {
  double megabytes = static_cast<double>(f.lines * kLineBytes) / 1e6;
  printf("%-22s %7.1f MB in %6.2f s: %7.1f MB/s, %.4f system calls per line, %.1f per MB\n", what, megabytes, f.seconds,
         megabytes / f.seconds, static_cast<double>(f.calls) / static_cast<double>(f.lines),
         static_cast<double>(f.calls) / megabytes);
}

int ConnectTo(LoopbackServer& server) {
  server.Start();
  int slot = WexlCreateSocket();
  if (slot < 0 || WexlConnect(slot, "127.0.0.1", server.Port()) != 1000) {
    fprintf(stderr, "cannot connect to the loopback server\n");
    return -1;
  }
  return slot;
}

template <typename Work>
Figures Measure(Work work) {
  uint64_t calls = platform::SyscallCount();
  auto start = std::chrono::steady_clock::now();
  size_t lines = work();
  std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return Figures{elapsed.count(), platform::SyscallCount() - calls, lines};
}

bool ReadLines() {
  std::string block;
  for (size_t i = 0; i < kLinesPerBlock; ++i) block += Text() + "\r\n";
  LoopbackServer server;
  server.SendRepeated(block, kBlocks).Close();
  int slot = ConnectTo(server);
  if (slot < 0) return false;
  size_t wrong = 0;
  Figures f = Measure([&] {
    char line[1024];
    size_t lines = 0;
    for (int n; (n = WexlReadLine(slot, line, sizeof line, kWait, 4 * kWait)) > 0; ++lines) {
      if (static_cast<size_t>(n) != kLineBytes || memcmp(line, Text().data(), 76) != 0) ++wrong;
    }
    return lines;
  });
  WexlClose(slot);
  Report("WexlReadLine, 78 B", f);
  if (f.lines != kLines || wrong != 0) {
    fprintf(stderr, "read %zu lines (%zu wrong), expected %zu\n", f.lines, wrong, kLines);
    return false;
  }
  return true;
}

bool SendLines() {
  LoopbackServer server;
  server.Swallow(kLines * kLineBytes);
  int slot = ConnectTo(server);
  if (slot < 0) return false;
  WexlSetOption(slot, kOptionSendWait, kWait);
  bool sent = true;
  Figures f = Measure([&] {
    size_t lines = 0;
    for (; lines < kLines && sent; ++lines) sent = WexlSendLine(slot, Text().c_str()) == static_cast<int>(kLineBytes);
    sent = sent && WexlFlush(slot, kWait) == 1000 && server.WaitScript(60000);
    return lines;
  });
  WexlClose(slot);
  Report("WexlSendLine, 78 B", f);
  if (!sent || server.Swallowed() != kLines * kLineBytes) {
    fprintf(stderr, "the server received %zu bytes of %zu\n", server.Swallowed(), kLines * kLineBytes);
    return false;
  }
  return true;
}

}  // namespace

int main() {
  if (WexlStartup(128, kPollSleep) != 1000) return 1;
  WexlSetClosePause(0);
  bool ok = ReadLines() && SendLines();
  WexlShutdown();
  return ok ? 0 : 1;
}
