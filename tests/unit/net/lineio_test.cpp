// Sending lines and reading them back through the ring, with the trace.
#include <string>
#include <vector>

#include "net/lineio.h"
#include "net/ring.h"
#include "net_fixture.h"

namespace {

class LineIo : public NetTest {
 protected:
  // Reads one line; the text read, or "<n>" for a result below 1.
  static std::string Line(int slot, int capacity = 1024, int firstMs = 2000, int nextMs = 1000) {
    char buffer[1024];
    int n = WexlReadLine(slot, buffer, capacity, firstMs, nextMs);
    if (n < 1) return "<" + std::to_string(n) + ">";
    EXPECT_EQ(buffer[n], '\0');
    return std::string(buffer, static_cast<size_t>(n));
  }
};

TEST_F(LineIo, LinesShorterThan126GoOutInOneSend) {
  struct Case {
    size_t length;
    int result;
    int records;
  } cases[] = {{0, 2, 1}, {4, 6, 1}, {125, 127, 1}, {126, 128, 2}, {300, 302, 2}};
  for (const Case& c : cases) {
    LoopbackServer server;
    server.ReadLine();
    int slot = Connect(server);
    TraceFile trace(slot);
    std::string text(c.length, 'q');
    EXPECT_EQ(WexlSendLine(slot, text.c_str()), c.result) << c.length;
    EXPECT_EQ(WexlFlush(slot, 2000), 1000) << c.length;
    ASSERT_TRUE(server.WaitScript()) << c.length;
    EXPECT_EQ(server.Received(), text + "\r\n");
    std::string expected = c.records == 1 ? "S: " + text + "\r\n" : "S: " + text + "S: \r\n";
    EXPECT_EQ(trace.Text(), expected) << c.length;
    WexlClose(slot);
  }
}

TEST_F(LineIo, TraceRecordsHoldTheExactBytes) {
  LoopbackServer server;
  server.ReadLine().Send("+OK\r\n").ReadLine().Send("abcdef");
  int slot = Connect(server);
  TraceFile trace(slot);
  EXPECT_EQ(WexlSendLine(slot, "QUIT"), 6);
  EXPECT_EQ(Line(slot), "+OK\r\n");
  EXPECT_EQ(WexlSend(slot, "go\n", 3), 3);
  // Peeking receives at most what it asks for; a larger take then reads the
  // rest from the socket.
  char buffer[16];
  ASSERT_EQ(WexlWaitReadable(slot, 2000), 1);
  EXPECT_EQ(WexlPeek(slot, buffer, 3), 3);
  EXPECT_EQ(WexlPeek(slot, buffer, 5), 3);  // what the ring holds, nothing more
  EXPECT_EQ(WexlTake(slot, buffer, 6), 6);
  EXPECT_EQ(std::string(buffer, 6), "abcdef");
  EXPECT_EQ(trace.Text(), "S: QUIT\r\nR: +OK\r\nS: go\nR: abcr: def");
}

TEST_F(LineIo, LinesComeOutWhole) {
  const std::string longLine = std::string(298, 'x') + "\r\n";
  LoopbackServer server;
  server.Send("220 ready\r\n250 ok\r\n").ReadLine().Send(longLine).SendSlowly("slow line\r\n", 3);
  int slot = Connect(server);
  EXPECT_EQ(Line(slot), "220 ready\r\n");
  EXPECT_EQ(RingCount(*WexlSlot(slot)), 8);  // the second line waits in the ring
  EXPECT_EQ(Line(slot, 1024, 0, 0), "250 ok\r\n");
  EXPECT_EQ(WexlSlot(slot)->RingHead, 0);
  EXPECT_EQ(WexlSendLine(slot, "go"), 4);
  EXPECT_EQ(Line(slot), longLine);  // two ring loads
  EXPECT_EQ(Line(slot), "slow line\r\n");
}

// A burst bigger than the read-ahead buffer, with lines shorter and longer
// than the ring, comes out line by line and byte-exact, then the close.
TEST_F(LineIo, ABurstIsReadAheadAndEveryLineComesOutWhole) {
  std::vector<std::string> lines;
  std::string burst;
  for (int n = 0; burst.size() < 3 * kReadAheadSize; ++n) {
    lines.push_back(std::string(static_cast<size_t>(n * 37 % 600), static_cast<char>('a' + n % 26)) + "\r\n");
    burst += lines.back();
  }
  LoopbackServer server;
  server.Send(burst).Close();
  int slot = Connect(server);
  for (size_t n = 0; n < lines.size(); ++n) ASSERT_EQ(Line(slot, 1024, 2000, 2000), lines[n]) << "line " << n;
  EXPECT_EQ(Line(slot), "<-1>");
}

// Bytes read ahead count as readable, and a reset of the buffer drops them.
TEST_F(LineIo, ReadAheadBytesAreReadableUntilTheBufferIsReset) {
  LoopbackServer server;
  server.Send("one\r\ntwo\r\nthree\r\n");
  int slot = Connect(server);
  EXPECT_EQ(Line(slot, 1024, 2000, 2000), "one\r\n");
  EXPECT_EQ(WexlWaitReadable(slot, 0), 1);
  EXPECT_EQ(WexlWaitReady(slot, 1, 0), 1);
  EXPECT_EQ(WexlResetBuffer(slot), 1000);
  EXPECT_EQ(WexlWaitReadable(slot, 0), 0);
}

// However many ring loads a line takes, the trace shows it as one record;
// a line cut by a full buffer shows as the piece that was handed out.
TEST_F(LineIo, ALineOverSeveralRingLoadsIsOneTraceRecord) {
  const std::string longLine = std::string(600, 'x') + "\r\n";
  LoopbackServer server;
  server.Send(longLine + "next\r\n" + std::string(40, 'z') + "\r\n");
  int slot = Connect(server);
  TraceFile trace(slot);
  EXPECT_EQ(Line(slot, 1024, 2000, 2000), longLine);
  EXPECT_EQ(Line(slot, 1024, 2000, 2000), "next\r\n");
  EXPECT_EQ(Line(slot, 21, 2000, 2000), std::string(20, 'z'));
  EXPECT_EQ(trace.Text(), "R: " + longLine + "R: next\r\nR: " + std::string(20, 'z'));
}

TEST_F(LineIo, ALineLongerThanTheBufferComesInPieces) {
  LoopbackServer server;
  server.Send("0123456789abcdefgh\r\n");
  int slot = Connect(server);
  EXPECT_EQ(Line(slot, 10), "012345678");
  EXPECT_EQ(Line(slot, 10), "9abcdefgh");
  EXPECT_EQ(Line(slot, 10), "\r\n");
  EXPECT_EQ(Line(slot, 10, 0), "<0>");  // nothing more within the first limit
}

TEST_F(LineIo, ANulByteDoesNotHideTheLineEnd) {
  LoopbackServer server;
  server.Send(std::string("ab\0cd\r\n.\r\n", 10));
  int slot = Connect(server);
  EXPECT_EQ(Line(slot), std::string("ab\0cd\r\n", 7));
  EXPECT_EQ(Line(slot), ".\r\n");
}

TEST_F(LineIo, ThePeerClosing) {
  LoopbackServer server;
  server.Send("last\r\nno end").Close();
  int slot = Connect(server);
  EXPECT_EQ(Line(slot), "last\r\n");
  EXPECT_EQ(Line(slot), "no end");  // what came before the close is delivered
  EXPECT_EQ(Line(slot), "<-1>");
  EXPECT_EQ(WexlIsOpen(slot), 0);
  char buffer[8];
  EXPECT_EQ(WexlPeek(slot, buffer, 4), -1);
  EXPECT_EQ(WexlClose(slot), 1000);  // a lost connection closes and frees its slot
  EXPECT_EQ(WexlSlot(slot)->Socket, 0);
}

// A send to a reset connection is taken into the output buffer; handing it
// over fails, and from then on every send reports that failure.
TEST_F(LineIo, ThePeerResetting) {
  LoopbackServer server;
  server.Reset();
  int slot = Connect(server);
  ASSERT_EQ(WexlWaitReadable(slot, 2000), 1);
  EXPECT_EQ(WexlSendLine(slot, "QUIT"), 6);
  EXPECT_EQ(WexlFlush(slot, 2000), -10054);
  EXPECT_EQ(WexlIsOpen(slot), 0);
  EXPECT_EQ(WexlSendLine(slot, "QUIT"), -10054);
  EXPECT_EQ(WexlCanSend(slot), -10054);
  EXPECT_EQ(Line(slot), "<-1>");
}

TEST_F(LineIo, DrainThrowsAwayWhatIsWaiting) {
  LoopbackServer server;
  server.Send(std::string(600, 'z')).ReadLine().Send("next\r\n");
  int slot = Connect(server);
  char buffer[8];
  ASSERT_EQ(WexlWaitReadable(slot, 2000), 1);
  ASSERT_EQ(WexlPeek(slot, buffer, 5), 5);
  EXPECT_EQ(WexlDrain(slot), 1000);
  EXPECT_EQ(WexlWaitReadable(slot, 0), 0);
  EXPECT_EQ(WexlSendLine(slot, "go"), 4);
  EXPECT_EQ(Line(slot), "next\r\n");
}

TEST_F(LineIo, BuffersAndLengthsOutsideTheirRange) {
  LoopbackServer server;
  server.Send("ok\r\n");
  int slot = Connect(server);
  char buffer[8] = "keep";
  EXPECT_EQ(WexlSend(slot, "x", 0), -1010);
  EXPECT_EQ(WexlSendText(slot, ""), -1010);
  EXPECT_EQ(WexlSendLine(slot, nullptr), -1010);
  EXPECT_EQ(WexlTake(slot, buffer, 0), -1010);
  EXPECT_EQ(WexlGetLine(slot, nullptr, 8), -1010);
  EXPECT_EQ(WexlReadLine(slot, buffer, 0, 0, 0), -1010);
  EXPECT_EQ(WexlPeek(slot, nullptr, 4), 0);
  EXPECT_EQ(WexlReadLine(slot, buffer, 1, 2000, 0), 0);  // room for the NUL only
  EXPECT_STREQ(buffer, "keep");
  EXPECT_EQ(Line(slot), "ok\r\n");

  // A slot without a socket sends nothing and reads nothing.
  EXPECT_EQ(WexlSendLine(slot + 1, "QUIT"), -1);
  EXPECT_EQ(WexlPeek(slot + 1, buffer, 4), -1);
  EXPECT_EQ(WexlTake(slot + 1, buffer, 4), -1);
  EXPECT_EQ(WexlReadLine(slot + 1, buffer, 8, 0, 0), 0);
}

}  // namespace
