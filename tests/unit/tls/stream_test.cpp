// Plaintext through an established session: bulk data both ways, readiness
// that counts decrypted bytes only, and a peer that goes away at any point.
#include <string>

#include "net/lineio.h"
#include "net/ring.h"
#include "platform/sockets.h"
#include "tls_fixture.h"

namespace {

using StreamTest = TlsTest;

// Bytes of every value, NUL, CR and LF included, in a fixed order.
std::string Pattern(size_t length, uint32_t seed) {
  std::string bytes(length, '\0');
  for (char& byte : bytes) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<char>(seed >> 23);
  }
  return bytes;
}

// Takes `length` bytes through WexlTake, waiting for each piece; what came.
std::string TakeAll(int slot, size_t length) {
  std::string got;
  static char buffer[65536];
  while (got.size() < length) {
    if (WexlWaitReadable(slot, 3000) != 1) break;
    const int n = WexlTake(slot, buffer, sizeof buffer);
    if (n < 1) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}

// Sends the bytes in pieces of `piece` through WexlSend and flushes.
bool SendAll(int slot, const std::string& bytes, size_t piece) {
  for (size_t at = 0; at < bytes.size(); at += piece) {
    const std::string part = bytes.substr(at, piece);
    if (WexlSend(slot, part.data(), static_cast<int>(part.size())) != static_cast<int>(part.size())) return false;
  }
  return WexlFlush(slot, 5000) == 1000;
}

// Megabytes both ways in big pieces, then, with the server's ciphertext
// dribbled one byte per send, the handshake and a smaller load: every byte
// arrives once and in order.
TEST_F(StreamTest, BulkDataBothWaysArrivesByteExact) {
  struct Case {
    size_t piece;
    size_t toClient;
    size_t toServer;
  } cases[] = {{0, 3u << 20, 3u << 20}, {1, 40000, 100000}};
  for (const Case& c : cases) {
    const std::string down = Pattern(c.toClient, 7);
    const std::string up = Pattern(c.toServer, 11);
    LoopbackServer server;
    server.SetTls(MakeServerTls(With(good_, c.piece)));
    server.StartTls().Send(down).ReadBytes(up.size()).Send("done\r\n");
    int slot = ConnectTls(server, Options());
    ASSERT_EQ(Handshake(slot).result, 1000) << c.piece;
    EXPECT_TRUE(TakeAll(slot, down.size()) == down) << c.piece;
    EXPECT_TRUE(SendAll(slot, up, 4000)) << c.piece;
    EXPECT_EQ(ReadLineText(slot), "done\r\n") << c.piece;
    ASSERT_TRUE(server.WaitScript(10000)) << c.piece;
    EXPECT_TRUE(server.Received() == up) << c.piece;
    WexlClose(slot);
  }
}

// A socket that brought only a session ticket is not readable once the
// ticket was taken in, and an application's wait is for the socket again;
// plaintext the session holds is readable while the socket is quiet.
TEST_F(StreamTest, ReadinessCountsDecryptedBytesOnly) {
  LoopbackServer server;
  server.SetTls(MakeServerTls(With(good_)));
  server.StartTls().Hold().SendTicket().ReadLine().Send(std::string(200, 'p') + "\r\n");
  int slot = ConnectTls(server, Options());
  ASSERT_EQ(Handshake(slot).result, 1000);
  const int socket = WexlSlot(slot)->Socket;
  EXPECT_EQ(WexlReady(slot, kWexlReadable), 0);
  server.Release();
  ASSERT_TRUE(platform::SocketReady(socket, platform::kReadable, 3000));  // the ticket is there
  EXPECT_EQ(WexlReady(slot, kWexlReadable), 0);
  EXPECT_EQ(WexlWaitReadable(slot, 0), 0);
  EXPECT_FALSE(platform::SocketReady(socket, platform::kReadable, 0));  // taken in
  int kind = kWexlReadable;
  EXPECT_EQ(WexlWaitTarget(slot, &kind), socket);
  EXPECT_EQ(kind, kWexlReadable);

  EXPECT_EQ(WexlSendLine(slot, "NOOP"), 6);
  ASSERT_EQ(WexlWaitReadable(slot, 3000), 1);
  char buffer[16];
  ASSERT_EQ(WexlTake(slot, buffer, 10), 10);  // the rest of the record stays in the session
  EXPECT_FALSE(platform::SocketReady(socket, platform::kReadable, 0));
  EXPECT_EQ(BufferedCount(*WexlSlot(slot)), 0);
  EXPECT_EQ(WexlReady(slot, kWexlReadable), 1);
  EXPECT_EQ(WexlWaitReadable(slot, 0), 1);
  kind = kWexlReadable;
  EXPECT_EQ(WexlWaitTarget(slot, &kind), socket);
  EXPECT_EQ(kind, 0);  // ready already
  EXPECT_EQ(ReadLineText(slot), std::string(190, 'p') + "\r\n");
}

TEST_F(StreamTest, BytesAfterTheReplyInTheSamePacketRefuseTheStart) {
  LoopbackServer server;
  server.Send("220 go ahead\r\nEHLO injected\r\n");
  int slot = Connect(server);
  EXPECT_EQ(ReadLineText(slot), "220 go ahead\r\n");
  EXPECT_EQ(WexlTlsBegin(slot, Options()), kWexlTlsInjection);
  EXPECT_EQ(WexlTlsActive(slot), 0);
  EXPECT_EQ(WexlTlsStep(slot), kWexlTlsHandshake);  // nothing was started
}

// The peer closing or resetting the connection in the middle of the
// handshake or of a record gives -1 at once, never a wait to the limit.
TEST_F(StreamTest, APeerThatGoesAwayGivesLost) {
  const std::string partialRecord = std::string("\x16\x03\x03\x00\x40", 5) + "0123456789";
  struct Case {
    const char* what;
    bool duringHandshake;
    void (*script)(LoopbackServer&, const std::string&);
  } cases[] = {
      {"close in the handshake", true, [](LoopbackServer& s, const std::string&) { s.ReadBytes(1).Close(); }},
      {"close in a handshake record", true,
       [](LoopbackServer& s, const std::string& part) { s.ReadBytes(1).Send(part).Close(); }},
      {"reset in a handshake record", true,
       [](LoopbackServer& s, const std::string& part) { s.ReadBytes(1).Send(part).Reset(); }},
      {"close in a record", false,
       [](LoopbackServer& s, const std::string&) { s.StartTls().SendCut(std::string(100, 'r'), 30).Close(); }},
      {"reset in a record", false,
       [](LoopbackServer& s, const std::string&) { s.StartTls().SendCut(std::string(100, 'r'), 30).Reset(); }},
      {"close_notify", false, [](LoopbackServer& s, const std::string&) { s.StartTls().Close(); }},
  };
  for (const Case& c : cases) {
    LoopbackServer server;
    server.SetTls(MakeServerTls(With(good_)));
    c.script(server, partialRecord);
    int slot = ConnectTls(server, Options());
    if (c.duringHandshake) {
      EXPECT_EQ(Handshake(slot).result, kWexlLost) << c.what;
    } else {
      ASSERT_EQ(Handshake(slot).result, 1000) << c.what;
      EXPECT_EQ(ReadLineText(slot), "<-1>") << c.what;
      EXPECT_EQ(WexlIsOpen(slot), 0) << c.what;
      // As after a plain FIN, a last command is still taken.
      EXPECT_EQ(WexlSend(slot, "QUIT\r\n", 6), 6) << c.what;
    }
    WexlCloseNow(slot);
  }
}

TEST_F(StreamTest, SendsAfterAResetFailAndKeepFailing) {
  LoopbackServer server;
  server.SetTls(MakeServerTls(With(good_)));
  server.StartTls().Reset();
  int slot = ConnectTls(server, Options());
  ASSERT_EQ(Handshake(slot).result, 1000);
  ASSERT_TRUE(server.WaitScript());
  const std::string block(30000, 'b');
  int rc = 0;
  for (int i = 0; i < 1000 && rc >= 0; ++i) {
    rc = WexlSend(slot, block.data(), static_cast<int>(block.size()));
    if (rc >= 0) rc = WexlFlush(slot, 100) == 1000 ? 0 : WexlCanSend(slot);
  }
  EXPECT_LT(rc, 0);
  EXPECT_EQ(WexlCanSend(slot), rc);
  EXPECT_EQ(WexlSend(slot, "x", 1), rc);
}

// Polls a condition every millisecond for up to three seconds.
template <typename Condition>
bool PollUntil(Condition holds) {
  for (int i = 0; i < 3000 && !holds(); ++i) platform::SleepMs(1);
  return holds();
}

// Closing sends close_notify, and a slot whose TLS connection closed carries
// no session into the plain connection that reuses it.
TEST_F(StreamTest, AReusedSlotStartsPlain) {
  LoopbackServer secure;
  secure.SetTls(MakeServerTls(With(good_)));
  secure.StartTls().Send("secure\r\n");
  int first = ConnectTls(secure, Options());
  ASSERT_EQ(Handshake(first).result, 1000);
  EXPECT_EQ(ReadLineText(first), "secure\r\n");
  EXPECT_EQ(WexlClose(first), 1000);
  ASSERT_TRUE(secure.WaitScript());
  EXPECT_TRUE(PollUntil([&] { return secure.ClientNotified(); }));  // close_notify went out
  LoopbackServer plain;
  plain.Send("plain\r\n").ReadLine();
  int second = Connect(plain);
  EXPECT_EQ(second, first);
  EXPECT_EQ(WexlTlsActive(second), 0);
  EXPECT_EQ(WexlTlsVersion(second), 0);
  EXPECT_EQ(ReadLineText(second), "plain\r\n");
  EXPECT_EQ(WexlSendLine(second, "QUIT"), 6);
  EXPECT_EQ(WexlFlush(second, 2000), 1000);
  ASSERT_TRUE(plain.WaitScript());
  EXPECT_EQ(plain.Received(), "QUIT\r\n");
}

}  // namespace
