// The stepped handshake: lines through an established session, STARTTLS
// after plaintext lines, and every refusal with its own code.
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/lineio.h"
#include "tls_fixture.h"

namespace {

using HandshakeTest = TlsTest;

TEST_F(HandshakeTest, LinesGoThroughAnImplicitSessionAndTheTraceShowsPlaintext) {
  LoopbackServer server;
  server.SetTls(MakeServerTls(With(good_)));
  server.Hold().StartTls().Send("+OK ready\r\n").ReadLine().Send("+OK bye\r\n");
  int slot = ConnectTls(server, Options());
  TraceFile trace(slot);
  // The server holds its answer: the step waits, and so does a caller's
  // event loop, for the socket to become readable.
  EXPECT_EQ(WexlTlsStep(slot), 0);
  int kind = kWexlReadable;
  EXPECT_EQ(WexlWaitTarget(slot, &kind), WexlSlot(slot)->Socket);
  EXPECT_EQ(kind, kWexlReadable);
  EXPECT_EQ(WexlTlsActive(slot), 0);
  EXPECT_EQ(WexlTlsVersion(slot), 0);
  server.Release();
  ASSERT_EQ(Handshake(slot).result, 1000);
  EXPECT_EQ(WexlTlsActive(slot), 1);
  EXPECT_EQ(WexlTlsVersion(slot), platform::kTls13);
  EXPECT_EQ(ReadLineText(slot), "+OK ready\r\n");
  EXPECT_EQ(WexlSendLine(slot, "QUIT"), 6);
  EXPECT_EQ(ReadLineText(slot), "+OK bye\r\n");
  ASSERT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), "QUIT\r\n");
  EXPECT_EQ(trace.Text(), "R: +OK ready\r\nS: QUIT\r\nR: +OK bye\r\n");
  char text[512];
  EXPECT_GT(WexlTlsDescribe(slot, text, sizeof text), 0);
  EXPECT_NE(strstr(text, "TLSv1.3 TLS_"), nullptr) << text;
  EXPECT_NE(strstr(text, "subject: /O=KOV32 tests/CN=localhost"), nullptr) << text;
  EXPECT_NE(strstr(text, "issuer: /O=KOV32 tests/CN=KOV32 test root ca"), nullptr) << text;
  EXPECT_EQ(WexlTlsStep(slot), 1000);  // a step after the end changes nothing
  // Cut to fit and always terminated.
  const std::string whole = text;
  for (int size : {1, 2, 10}) {
    char small[16];
    memset(small, '~', sizeof small);
    EXPECT_EQ(WexlTlsDescribe(slot, small, size), size - 1);
    EXPECT_EQ(std::string(small), whole.substr(0, static_cast<size_t>(size) - 1));
  }
  EXPECT_EQ(WexlTlsDescribe(slot, nullptr, 10), 0);
  EXPECT_EQ(WexlTlsDescribe(kMaxSlots, text, sizeof text), 0);
  EXPECT_EQ(text[0], '\0');
}

TEST_F(HandshakeTest, StartTlsAfterPlaintextLinesAndAnAddressAsTheName) {
  LoopbackServer server;
  server.SetTls(MakeServerTls(With(good_)));
  server.Send("220 ready\r\n").ReadLine().Send("220 go ahead\r\n").StartTls().ReadLine().Send("250 ok\r\n");
  int slot = Connect(server);
  EXPECT_EQ(ReadLineText(slot), "220 ready\r\n");
  EXPECT_EQ(WexlSendLine(slot, "STARTTLS"), 10);
  EXPECT_EQ(ReadLineText(slot), "220 go ahead\r\n");
  ASSERT_EQ(WexlTlsBegin(slot, Options("127.0.0.1")), 1000);
  EXPECT_EQ(WexlTlsBegin(slot, Options("127.0.0.1")), kWexlTlsHandshake);  // one session per connection
  ASSERT_EQ(Handshake(slot).result, 1000);
  EXPECT_EQ(WexlSendLine(slot, "EHLO x"), 8);
  EXPECT_EQ(ReadLineText(slot), "250 ok\r\n");
  ASSERT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), "STARTTLS\r\nEHLO x\r\n");
}

TEST_F(HandshakeTest, TheServerDribblingItsHandshakeOneByteASendStillConnects) {
  LoopbackServer server;
  server.SetTls(MakeServerTls(With(good_, 1)));
  server.StartTls().Send("+OK slow\r\n");
  int slot = ConnectTls(server, Options());
  ASSERT_EQ(Handshake(slot).result, 1000);
  EXPECT_EQ(ReadLineText(slot), "+OK slow\r\n");
}

// Each refusal of the server's certificate or version, with its code. The
// unverified case shows that only the checks refuse these certificates.
TEST_F(HandshakeTest, RefusalsGiveTheirCodes) {
  TestCa stranger(dir_.Path(), "stranger");
  const TestCert other = ca_.Issue("other", {"other.example"});
  const TestCert expired = ca_.Issue("expired", {"localhost"}, -10, -1);
  const TestCert self = SelfSigned(dir_.Path(), "self", {"localhost"});
  const TestCert unknown = stranger.Issue("unknown", {"localhost"});
  const TestCert noAddress = ca_.Issue("names", {"localhost"});
  ServerTlsOptions old = With(good_);
  old.minVersion = 0x0301;
  old.maxVersion = 0x0302;
  ServerTlsOptions oldSelf = old;
  oldSelf.cert = self;
  const platform::TlsOptions unverified{"localhost", "", false, platform::kTls12};
  ServerTlsOptions twelve = With(good_);
  twelve.maxVersion = 0x0303;
  struct Case {
    const char* what;
    ServerTlsOptions server;
    platform::TlsOptions client;
    int result;
  } cases[] = {
      {"wrong name", With(other), Options(), kWexlTlsCertificate},
      {"expired", With(expired), Options(), kWexlTlsCertificate},
      {"self-signed", With(self), Options(), kWexlTlsCertificate},
      {"unknown CA", With(unknown), Options(), kWexlTlsCertificate},
      {"address not in the certificate", With(noAddress), Options("127.0.0.1"), kWexlTlsCertificate},
      {"system roots only", With(good_), platform::TlsOptions{"localhost", nullptr, true, platform::kTls12},
       kWexlTlsCertificate},
      {"TLS 1.0 and 1.1 only", old, Options(), kWexlTlsVersion},
      {"TLS 1.2 below a floor of 1.3", twelve, Options("localhost", platform::kTls13), kWexlTlsVersion},
      {"TLS 1.0 and 1.1 only, unverified", oldSelf, unverified, kWexlTlsVersion},
      {"self-signed, unverified", With(self), unverified, 1000},
      {"TLS 1.2", twelve, Options(), 1000},
  };
  for (const Case& c : cases) {
    LoopbackServer server;
    server.SetTls(MakeServerTls(c.server));
    server.StartTls();
    int slot = ConnectTls(server, c.client);
    EXPECT_EQ(Handshake(slot).result, c.result) << c.what;
    EXPECT_EQ(WexlTlsStep(slot), c.result) << c.what << ": a failure repeats";
    EXPECT_EQ(WexlTlsActive(slot), c.result == 1000 ? 1 : 0) << c.what;
    WexlCloseNow(slot);
  }
}

TEST_F(HandshakeTest, APlaintextServerFailsTheHandshake) {
  LoopbackServer server;
  server.ReadBytes(1).Send("220 this is not TLS at all\r\n");
  int slot = ConnectTls(server, Options());
  EXPECT_EQ(Handshake(slot).result, kWexlTlsHandshake);
}

// Sessions on several threads at once, all sharing the context of the
// system's roots (unverified, since the test CA is not among them).
TEST_F(HandshakeTest, SessionsRunOnSeveralThreadsAtOnce) {
  constexpr int kThreads = 4;
  std::vector<std::unique_ptr<LoopbackServer>> servers;
  for (int i = 0; i < kThreads; ++i) {
    servers.push_back(std::make_unique<LoopbackServer>());
    servers.back()->SetTls(MakeServerTls(With(good_)));
    servers.back()->StartTls().Send("+OK " + std::to_string(i) + "\r\n").ReadLine();
  }
  std::vector<int> results(kThreads, 0);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      int slot = ConnectTls(*servers[i], platform::TlsOptions{"localhost", nullptr, false, platform::kTls12});
      if (Handshake(slot).result == 1000 && ReadLineText(slot) == "+OK " + std::to_string(i) + "\r\n" &&
          WexlSendLine(slot, "QUIT") == 6 && WexlFlush(slot, 3000) == 1000) {
        results[i] = 1;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(results[i], 1) << i;
    EXPECT_TRUE(servers[i]->WaitScript()) << i;
    EXPECT_EQ(servers[i]->Received(), "QUIT\r\n") << i;
  }
}

}  // namespace
