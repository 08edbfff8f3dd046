// The library's side of the send and download benchmarks (bench/send_bench.py,
// bench/pop3_bench.py): one client run through the public API against a
// loopback server, timed around the call that moves the data. Prints one
// line of figures: "bytes B seconds S cpu C syscalls N clocks K result R",
// where CPU is user + system time of this process during the call, N the
// system calls the platform layer made for sockets, sleeps and files, and K
// its clock reads. Runs with KOV_PACING 0 (no fixed pauses).
//
//   kov_client send PORT FILE          kovSendEmail, FILE as the attachment
//   kov_client small PORT COUNT SIZE   COUNT messages of SIZE text bytes, one connection
//   kov_client retr PORT DIR NAME [LOG]  kovGetEmailFile of message 1, raw, into DIR/NAME
//   kov_client decode PORT DIR NAME [LOG]  the same, decoded, attachments into DIR
//   kov_client memory PORT COUNT       COUNT POP3 connections at once, each logged
//                                      in: "connections N per_connection B", the
//                                      heap each one holds
// With "--tls CAFILE" before the mode every connection is implicit TLS
// (KOV_TLS 2), the server's certificate checked against CAFILE.
#include <malloc.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kov32.h"
#include "platform/syscall_count.h"

#ifndef KOV_COUNT_SYSCALLS
#error "the benchmark client needs a build with KOV_BENCH=ON, which counts system calls"
#endif

namespace {

double CpuSeconds() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Figures {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  double cpu = CpuSeconds();
  uint64_t calls = platform::SyscallCount();
  uint64_t clocks = platform::ClockReadCount();

  void Print(long long bytes, int result) const {
    std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - wall;
    printf("bytes %lld seconds %.6f cpu %.6f syscalls %llu clocks %llu result %d\n", bytes, seconds.count(),
           CpuSeconds() - cpu, static_cast<unsigned long long>(platform::SyscallCount() - calls),
           static_cast<unsigned long long>(platform::ClockReadCount() - clocks), result);
  }
};

long long FileSize(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return -1;
  fseek(f, 0, SEEK_END);
  long long size = ftell(f);
  fclose(f);
  return size;
}

int Send(int port, const char* file) {
  kovIntegerParam(0, KOV_SMTP_PORT, port);
  kovIntegerParam(0, KOV_BODY_TYPE, 0);
  int rc = kovSmtpConnect(0, "127.0.0.1", "<bench@example.com>", nullptr);
  if (rc != 0) return rc;
  Figures f;
  rc = kovSendEmail(0, "<sink@example.com>", nullptr, nullptr, "Bench", "See the attachment.", file);
  f.Print(kovStatistics(0, KOV_STAT_BYTES_OUT), rc);
  kovClose(0);
  return rc;
}

int Small(int port, int count, int size) {
  kovIntegerParam(0, KOV_SMTP_PORT, port);
  std::string text;
  while (static_cast<int>(text.size()) < size) text += "The quick brown fox jumps over the lazy dog, again.\r\n";
  text.resize(static_cast<size_t>(size));
  int rc = kovSmtpConnect(0, "127.0.0.1", "<bench@example.com>", nullptr);
  if (rc != 0) return rc;
  Figures f;
  long long bytes = 0;
  for (int n = 0; n < count && rc == 0; ++n) {
    rc = kovSendEmail(0, "<sink@example.com>", nullptr, nullptr, "Small", text.c_str(), nullptr);
    bytes += kovStatistics(0, KOV_STAT_BYTES_OUT);
  }
  f.Print(bytes, rc);
  kovClose(0);
  return rc;
}

// RETR of message 1 into DIR/NAME: raw, or decoded with its attachments
// saved in DIR too.
int Retrieve(int port, const char* dir, const char* name, const char* log, bool decode) {
  kovIntegerParam(0, KOV_POP3_PORT, port);
  kovIntegerParam(0, KOV_DECODE_MODE, decode ? 0 : 1);
  if (log != nullptr && kovStringParam(0, KOV_LOG_FILE, log) < 2) return -1;
  int rc = kovPop3Connect(0, "127.0.0.1", "user", "password");
  if (rc != 0) return rc;
  Figures f;
  rc = kovGetEmailFile(0, 1, name, dir, dir);
  f.Print(FileSize(std::string(dir) + "/" + name), rc);
  kovClose(0);
  return rc;
}

size_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;  // small blocks and those mapped on their own
}

// COUNT channels logged in to the POP3 server at once: the heap the
// connections hold, beyond what the attached channels held before.
int Memory(int port, int count) {
  const size_t before = HeapInUse();
  for (int channel = 0; channel < count; ++channel) {
    kovIntegerParam(channel, KOV_POP3_PORT, port);
    const int rc = kovPop3Connect(channel, "127.0.0.1", "user", "password");
    if (rc != 0) return rc;
  }
  const size_t held = HeapInUse() - before;
  printf("connections %d per_connection %zu\n", count, held / static_cast<size_t>(count));
  for (int channel = 0; channel < count; ++channel) kovClose(channel);
  return 0;
}

// The same settings on every channel: no pauses, and implicit TLS with the
// given CA file when there is one.
void Configure(int channels, const char* caFile) {
  for (int channel = 0; channel < channels; ++channel) {
    kovIntegerParam(channel, KOV_DELAY, 0);
    kovIntegerParam(channel, KOV_PACING, 0);
    if (caFile == nullptr) continue;
    kovIntegerParam(channel, KOV_TLS, 2);
    kovStringParam(channel, KOV_TLS_CA_FILE, caFile);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* caFile = nullptr;
  if (argc > 2 && strcmp(argv[1], "--tls") == 0) {
    caFile = argv[2];
    argc -= 2;
    argv += 2;
  }
  const std::string mode = argc > 1 ? argv[1] : "";
  const int channels = mode == "memory" && argc == 4 ? atoi(argv[3]) : 1;
  if (channels < 1 || kovAttach(channels) != 1) return 1;
  Configure(channels, caFile);
  int rc = -1;
  if (mode == "send" && argc == 4) {
    rc = Send(atoi(argv[2]), argv[3]);
  } else if (mode == "small" && argc == 5) {
    rc = Small(atoi(argv[2]), atoi(argv[3]), atoi(argv[4]));
  } else if ((mode == "retr" || mode == "decode") && (argc == 5 || argc == 6)) {
    rc = Retrieve(atoi(argv[2]), argv[3], argv[4], argc == 6 ? argv[5] : nullptr, mode == "decode");
  } else if (mode == "memory" && argc == 4) {
    rc = Memory(atoi(argv[2]), channels);
  } else {
    fprintf(stderr,
            "usage: kov_client [--tls CAFILE] send PORT FILE | small PORT COUNT SIZE | retr|decode PORT DIR NAME [LOG]"
            " | memory PORT COUNT\n");
    rc = 2;
  }
  kovRelease();
  return rc == 0 ? 0 : 1;
}
