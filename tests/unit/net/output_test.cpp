// The output buffer: sends gather and keep their order, every read, wait and
// close hands them over first, a peer that does not read holds them without
// blocking the sender, and the overall limit of a line read.
#include <functional>
#include <string>
#include <vector>

#include "net/lineio.h"
#include "net_fixture.h"

namespace {

using Output = NetTest;

// `count` bytes of a pattern that shows any byte out of place.
std::string Pattern(size_t count, size_t seed) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>('A' + (i * 7 + seed) % 53);
  return bytes;
}

TEST_F(Output, SendsGatherAndReachThePeerInOrder) {
  struct Case {
    const char* what;
    std::vector<size_t> sizes;
  } cases[] = {
      {"short lines", std::vector<size_t>(2000, 78)},
      {"one send larger than the buffer", {3 * kOutputSize + 5}},
      {"sizes around the buffer's room", {kOutputSize - 1, 2, kOutputSize, 1, kSendRoom, kOutputSize - kSendRoom + 1}},
  };
  for (const Case& c : cases) {
    std::string expected;
    std::vector<std::string> pieces;
    for (size_t size : c.sizes) {
      pieces.push_back(Pattern(size, pieces.size()));
      expected += pieces.back();
    }
    LoopbackServer server;
    server.ReadBytes(expected.size());
    int slot = Connect(server);
    for (const std::string& piece : pieces) {
      ASSERT_EQ(WexlSend(slot, piece.data(), static_cast<int>(piece.size())), static_cast<int>(piece.size())) << c.what;
    }
    EXPECT_EQ(WexlFlush(slot, 5000), 1000) << c.what;
    ASSERT_TRUE(server.WaitScript()) << c.what;
    EXPECT_TRUE(server.Received() == expected) << c.what;
    WexlClose(slot);
  }
}

TEST_F(Output, TheTraceShowsASendWhenItIsMade) {
  LoopbackServer server;
  server.ReadLine();
  int slot = Connect(server);
  TraceFile trace(slot);
  EXPECT_EQ(WexlSendLine(slot, "NOOP"), 6);
  EXPECT_EQ(WexlSendMasked(slot, "PASS secret\r\n", 13, 5), 13);
  EXPECT_EQ(trace.Text(), "S: NOOP\r\nS: PASS *****\r\n");
}

// Without the hand-over the server never sees the line, and the script
// (read a line, answer it) cannot end.
TEST_F(Output, EveryReadWaitAndCloseHandsTheOutputOverFirst) {
  char buffer[16];
  struct Case {
    const char* what;
    std::function<void(int slot)> call;
  } cases[] = {
      {"WexlReady 1", [](int slot) { WexlReady(slot, 1); }},
      {"WexlReady 2", [](int slot) { WexlReady(slot, 2); }},
      {"WexlReady 3", [](int slot) { WexlReady(slot, 3); }},
      {"WexlWaitReadable", [](int slot) { WexlWaitReadable(slot, 0); }},
      {"WexlWaitWritable", [](int slot) { WexlWaitWritable(slot, 0); }},
      {"WexlWaitReady 1", [](int slot) { WexlWaitReady(slot, 1, 0); }},
      {"WexlWaitReady 2", [](int slot) { WexlWaitReady(slot, 2, 0); }},
      {"WexlPeek", [&](int slot) { WexlPeek(slot, buffer, 4); }},
      {"WexlTake", [&](int slot) { WexlTake(slot, buffer, 4); }},
      {"WexlGetLine", [&](int slot) { WexlGetLine(slot, buffer, 4); }},
      {"WexlDrain", [](int slot) { WexlDrain(slot); }},
      {"WexlClose", [](int slot) { WexlClose(slot); }},
      {"WexlReadLine", [&](int slot) { EXPECT_EQ(WexlReadLine(slot, buffer, sizeof buffer, 5000, 0), 4); }},
  };
  for (const Case& c : cases) {
    LoopbackServer server;
    server.ReadLine().Send("ok\r\n");
    int slot = Connect(server);
    ASSERT_EQ(WexlSendLine(slot, "ping"), 6) << c.what;
    c.call(slot);
    EXPECT_TRUE(server.WaitScript()) << c.what;
    EXPECT_EQ(server.Received(), "ping\r\n") << c.what;
    WexlClose(slot);
  }
}

// The peer takes nothing for a while: WexlCanSend says no once the system's
// buffers are full instead of blocking, a flush gives up at its limit, and
// everything arrives once the peer reads again.
TEST_F(Output, APeerThatDoesNotReadHoldsTheOutputWithoutBlocking) {
  constexpr size_t kTotal = 48u << 20;  // far more than the system buffers on the loopback
  LoopbackServer server;
  server.Hold().Swallow(kTotal);
  int slot = Connect(server);
  const std::string chunk = Pattern(kSendRoom, 1);
  size_t sent = 0;
  int room = 1;
  while (sent < kTotal && (room = WexlCanSend(slot)) == 1) {
    ASSERT_EQ(WexlSend(slot, chunk.data(), kSendRoom), kSendRoom);
    sent += kSendRoom;
  }
  EXPECT_EQ(room, 0);
  EXPECT_LT(sent, kTotal);
  EXPECT_EQ(WexlFlush(slot, 10), 0);
  // A send that must make room waits no longer than the slot's send limit.
  // The system may still take a little now and then (Wine's sockets do), so
  // the sends go on until one finds no room, never past what the peer holds.
  WexlSetOption(slot, kOptionSendWait, 10);
  int rc = kSendRoom;
  while (sent < kTotal && rc == kSendRoom) {
    rc = WexlSend(slot, chunk.data(), kSendRoom);
    if (rc == kSendRoom) sent += kSendRoom;  // a send that found no room took nothing
  }
  EXPECT_EQ(rc, -1);
  server.Release();
  WexlSetOption(slot, kOptionSendWait, 0);
  for (; sent < kTotal; sent += kSendRoom) ASSERT_EQ(WexlSend(slot, chunk.data(), kSendRoom), kSendRoom);
  EXPECT_EQ(WexlFlush(slot, 20000), 1000);
  EXPECT_TRUE(server.WaitScript(20000));
  EXPECT_EQ(server.Swallowed(), kTotal);
}

TEST_F(Output, ALineMustBeWholeWithinItsOverallLimit) {
  struct Case {
    int gapMs;
    int totalMs;
    int result;
  } cases[] = {
      {40, 100, kWexlLineTooSlow},  // 8 bytes 40 ms apart take 280 ms
      {1, 5000, 8},
      {40, 0, 8},  // no overall limit
  };
  for (const Case& c : cases) {
    LoopbackServer server;
    server.SendSlowly("abcdef\r\n", c.gapMs);
    int slot = Connect(server);
    char line[64];
    EXPECT_EQ(WexlReadLineWithin(slot, line, sizeof line, 5000, 1000, c.totalMs), c.result) << c.gapMs;
    if (c.result > 0) {
      EXPECT_STREQ(line, "abcdef\r\n");
    }
    WexlClose(slot);
  }
}

TEST_F(Output, ASlotWithoutASocketTakesNothing) {
  EXPECT_EQ(WexlSendLine(3, "QUIT"), -1);
  EXPECT_EQ(WexlCanSend(3), -1);
  EXPECT_EQ(WexlFlush(3, 0), 1000);  // nothing waits
  EXPECT_EQ(WexlFlush(32, 0), -1003);
  EXPECT_EQ(WexlCanSend(-1), -1003);
}

}  // namespace
