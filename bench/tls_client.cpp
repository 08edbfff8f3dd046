// The socket layer alone, a reference row of the TLS benchmark
// (bench/tls_bench.py), over implicit TLS to the benchmark's loopback peers.
//   tls_client send PORT CAFILE MIB   an SMTP dialogue sending MIB MiB of
//                                     76-character lines through WexlSend
//   tls_client retr PORT CAFILE       POP3 RETR 1, every line through WexlReadLine
//   tls_client memory PORT CAFILE N   N connections at once, each after its
//                                     handshake and greeting: heap bytes each
// Prints "seconds S syscalls N" around the transfer (the handshake included)
// and "bytes B"; for memory "buffers B" (the socket layer's ciphertext
// buffers of one session) and "per_connection B" (all of it, OpenSSL's too).
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "net/connections.h"
#include "net/lineio.h"
#include "net/tls.h"
#include "platform/syscall_count.h"

#ifndef KOV_COUNT_SYSCALLS
#error "the benchmark needs a build with KOV_BENCH=ON, which counts system calls"
#endif

namespace {

constexpr int kWait = 25000;
const char* caFile = "";

// A slot connected to the port with an established session; -1 on failure.
int Open(int port) {
  int slot = WexlCreateSocket();
  if (slot < 0 || WexlConnect(slot, "127.0.0.1", static_cast<uint16_t>(port)) != 1000) return -1;
  if (WexlTlsBegin(slot, platform::TlsOptions{"localhost", caFile, true, platform::kTls12}) != 1000) return -1;
  for (;;) {
    const int rc = WexlTlsStep(slot);
    if (rc == 1000) return slot;
    if (rc != 0 || WexlWaitReadable(slot, kWait) != 1) return -1;
  }
}

// Reads a reply (the lines of an SMTP reply up to the one without '-');
// false unless it starts with `code`.
bool Expect(int slot, const char* code) {
  char line[1024];
  const size_t length = strlen(code);
  for (;;) {
    const int n = WexlReadLine(slot, line, sizeof line, kWait, kWait);
    if (n < 1 || strncmp(line, code, length) != 0) return false;
    if (line[length] != '-') return true;
  }
}

bool Command(int slot, const char* text, const char* code) {
  return WexlSendLine(slot, text) > 0 && Expect(slot, code);
}

size_t Send(int slot, size_t mebibytes) {
  if (!Expect(slot, "220") || !Command(slot, "EHLO bench", "250") ||
      !Command(slot, "MAIL FROM:<a@example.com>", "250") || !Command(slot, "RCPT TO:<b@example.com>", "250") ||
      !Command(slot, "DATA", "354")) {
    return 0;
  }
  std::string line;
  for (int i = 0; i < 76; ++i) line += static_cast<char>('!' + i);
  line += "\r\n";
  size_t sent = 0;
  while (sent < mebibytes << 20) {
    if (WexlSend(slot, line.data(), static_cast<int>(line.size())) < 1) return 0;
    sent += line.size();
  }
  return Command(slot, ".", "250") && Command(slot, "QUIT", "221") ? sent : 0;
}

size_t Retrieve(int slot) {
  if (!Expect(slot, "+OK") || !Command(slot, "RETR 1", "+OK")) return 0;
  char line[1024];
  size_t got = 0;
  for (;;) {
    const int n = WexlReadLine(slot, line, sizeof line, kWait, kWait);
    if (n < 1) return 0;
    if (strcmp(line, ".\r\n") == 0) break;
    got += static_cast<size_t>(n);
  }
  return Command(slot, "QUIT", "+OK") ? got : 0;
}

int Memory(int port, int count) {
  std::vector<int> slots;
  const size_t before = mallinfo2().uordblks;
  for (int i = 0; i < count; ++i) {
    int slot = Open(port);
    if (slot < 0 || !Expect(slot, "+OK")) return 1;
    slots.push_back(slot);
  }
  const size_t after = mallinfo2().uordblks;
  printf("buffers %zu per_connection %zu\n", sizeof(TlsLink), (after - before) / static_cast<size_t>(count));
  for (int slot : slots) WexlCloseNow(slot);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (argc < 4 || WexlStartup(32, 100) != 1000) {
    fprintf(stderr, "usage: tls_client send PORT CAFILE MIB | retr PORT CAFILE | memory PORT CAFILE N\n");
    return 2;
  }
  WexlSetClosePause(0);
  caFile = argv[3];
  const int port = atoi(argv[2]);
  if (mode == "memory" && argc == 5) return Memory(port, atoi(argv[4]));
  const uint64_t calls = platform::SyscallCount();
  const auto start = std::chrono::steady_clock::now();
  const int slot = Open(port);
  size_t bytes = 0;
  if (slot >= 0 && mode == "send" && argc == 5) bytes = Send(slot, static_cast<size_t>(atoi(argv[4])));
  if (slot >= 0 && mode == "retr") bytes = Retrieve(slot);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (bytes == 0) {
    fprintf(stderr, "tls_client %s failed\n", mode.c_str());
    return 1;
  }
  printf("seconds %.4f syscalls %llu bytes %zu\n", seconds,
         static_cast<unsigned long long>(platform::SyscallCount() - calls), bytes);
  WexlClose(slot);
  return 0;
}
