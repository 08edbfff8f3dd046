// The Windows TLS session (SChannel) against real TLS servers on 127.0.0.1
// that tls_session.sh starts outside Wine: the test carries the ciphertext
// over a plain Windows socket, as the socket layer does.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/tls.h"
#include "tls_servers.h"

namespace {

using platform::TlsSession;

std::string CaFile() { return TlsTestFile("ca.pem"); }

// One TLS connection: a blocking socket, the session, and the ciphertext
// received that the session had no room for yet. `chunk` is how many bytes
// one receive takes at most (1: the peer's bytes dribble in one by one).
class Link {
 public:
  Link(int port, int chunk) : chunk_(chunk) {
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    DWORD limitMs = 20000;  // a broken exchange fails the test instead of hanging it
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limitMs), sizeof limitMs);
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<u_short>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = connect(socket_, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  }
  ~Link() {
    platform::TlsFree(session_);
    closesocket(socket_);
  }

  int Create(const char* serverName, const char* caFile, bool verify, int minVersion) {
    if (!connected_) return -100;
    platform::TlsOptions options = {serverName, caFile, verify, minVersion};
    return platform::TlsCreate(options, &session_);
  }

  // Runs the handshake to its end: its result, or -100 when the peer closed.
  int Handshake() {
    for (;;) {
      const int result = platform::TlsHandshake(session_);
      if (!Flush()) return -100;
      if (result != platform::kTlsWantInput) return result;
      if (!Receive()) return -100;
    }
  }

  bool Write(const std::string& text) {
    const int taken = platform::TlsWrite(session_, text.data(), static_cast<int>(text.size()));
    return taken == static_cast<int>(text.size()) && Flush();
  }

  // Reads `count` bytes of plaintext through a buffer of `piece` bytes; fewer
  // when the stream ends. `closed` tells whether the session reported its end.
  std::string Read(size_t count, int piece, bool* closed = nullptr) {
    std::string text;
    std::vector<char> buffer(piece);
    if (closed != nullptr) *closed = false;
    while (text.size() < count) {
      const int got = platform::TlsRead(session_, buffer.data(), piece);
      if (got > 0) {
        text.append(buffer.data(), got);
      } else if (got == platform::kTlsClosed) {
        if (closed != nullptr) *closed = true;
        break;
      } else if (!Receive()) {
        break;
      }
    }
    return text;
  }

  TlsSession* session() { return session_; }

 private:
  bool Flush() {
    char buffer[4096];
    int n;
    while ((n = platform::TlsTakeOutput(session_, buffer, sizeof buffer)) > 0) {
      if (send(socket_, buffer, n, 0) != n) return false;
    }
    return platform::TlsOutputPending(session_) == 0;
  }

  // Hands the session what waits, or receives more first.
  bool Receive() {
    if (pending_.empty()) {
      std::vector<char> buffer(chunk_);
      const int n = recv(socket_, buffer.data(), chunk_, 0);
      if (n <= 0) return false;
      pending_.assign(buffer.data(), n);
    }
    const int taken = platform::TlsPutInput(session_, pending_.data(), static_cast<int>(pending_.size()));
    pending_.erase(0, taken);
    return true;
  }

  SOCKET socket_;
  bool connected_ = false;
  int chunk_;
  std::string pending_;
  TlsSession* session_ = nullptr;
};

class SchannelSession : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    ports = TlsServerPorts();
  }
  void SetUp() override { ASSERT_EQ(ports.size(), 7u) << "no echo servers: run through tls_session.sh"; }
  static std::map<std::string, int> ports;
};
std::map<std::string, int> SchannelSession::ports;

TEST_F(SchannelSession, EchoesLinesAndReportsTheServersCloseNotify) {
  for (int chunk : {65536, 1}) {
    SCOPED_TRACE(chunk);
    Link link(ports["good"], chunk);
    ASSERT_EQ(link.Create("localhost", CaFile().c_str(), true, platform::kTls12), platform::kTlsOk);
    ASSERT_EQ(link.Handshake(), platform::kTlsOk);
    ASSERT_TRUE(link.Write("hello\r\n"));
    EXPECT_EQ(link.Read(7, 512), "hello\r\n");
    ASSERT_TRUE(link.Write("second line\r\nthird\r\n"));
    EXPECT_EQ(link.Read(20, 3), "second line\r\nthird\r\n");
    EXPECT_FALSE(platform::TlsHasPlaintext(link.session()));
    ASSERT_TRUE(link.Write("BYE\r\n"));
    bool closed = false;
    EXPECT_EQ(link.Read(100, 512, &closed), "BYE\r\n");
    EXPECT_TRUE(closed);
    EXPECT_TRUE(platform::TlsHasPlaintext(link.session()));  // what "readable" means: the close
    EXPECT_EQ(platform::TlsWrite(link.session(), "x", 1), platform::kTlsClosed);
  }
}

TEST_F(SchannelSession, EchoesAMegabyteByteExact) {
  Link link(ports["good"], 65536);
  ASSERT_EQ(link.Create("localhost", CaFile().c_str(), true, platform::kTls12), platform::kTlsOk);
  ASSERT_EQ(link.Handshake(), platform::kTlsOk);
  std::string block(1 << 20, '\0');
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  // In pieces, each read back before the next goes out, so that neither side
  // waits on a full socket buffer; an odd read size leaves decrypted bytes
  // behind in the session every time.
  const size_t piece = 100000;
  std::string echoed;
  for (size_t at = 0; at < block.size(); at += piece) {
    const std::string part = block.substr(at, piece);
    ASSERT_TRUE(link.Write(part));
    echoed += link.Read(part.size(), 1000);
  }
  EXPECT_TRUE(echoed == block) << "echo differs (" << echoed.size() << " bytes back)";
}

TEST_F(SchannelSession, NegotiatesTls12AndDescribesThePeer) {
  Link link(ports["tls12"], 65536);
  ASSERT_EQ(link.Create("localhost", CaFile().c_str(), true, platform::kTls12), platform::kTlsOk);
  EXPECT_EQ(platform::TlsVersion(link.session()), 0);
  ASSERT_EQ(link.Handshake(), platform::kTlsOk);
  EXPECT_EQ(platform::TlsVersion(link.session()), platform::kTls12);
  char text[400];
  const int length = platform::TlsDescribe(link.session(), text, sizeof text);
  const std::string described(text, length);
  EXPECT_EQ(described.rfind("TLSv1.2 ", 0), 0u) << described;
  EXPECT_NE(described.find("; subject: CN=localhost; issuer: CN=KOV32 Test CA"), std::string::npos)
      << described;
  char small[8];
  EXPECT_EQ(platform::TlsDescribe(link.session(), small, sizeof small), 7);
  EXPECT_STREQ(small, "TLSv1.2");
}

// Sessions are independent: several run on their own threads at once.
TEST_F(SchannelSession, SessionsRunOnSeveralThreadsAtOnce) {
  constexpr int kThreads = 4;
  std::atomic<int> echoed{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&echoed, i] {
      Link link(ports["good"], 4096);
      const std::string line = std::string(20000, static_cast<char>('a' + i)) + "\r\n";
      if (link.Create("localhost", CaFile().c_str(), true, platform::kTls12) == platform::kTlsOk &&
          link.Handshake() == platform::kTlsOk && link.Write(line) && link.Read(line.size(), 700) == line) {
        ++echoed;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(echoed.load(), kThreads);
}

// The certificate checks: the chain must end at a trusted root (the CA file's
// roots only, when one is given) and carry the name asked for.
TEST_F(SchannelSession, ChecksChainAndName) {
  const std::string ca = CaFile();
  const std::string bundle = TlsTestFile("bundle.pem");
  const struct {
    const char* server;
    const char* name;
    const char* caFile;
    bool verify;
    int expected;
  } cases[] = {
      {"good", "localhost", ca.c_str(), true, platform::kTlsOk},
      {"good", "localhost", bundle.c_str(), true, platform::kTlsOk},  // the CA after 80 others
      {"good", "localhost", nullptr, true, platform::kTlsBadCertificate},  // CA unknown to the system
      {"self", "localhost", ca.c_str(), true, platform::kTlsBadCertificate},
      {"self", "localhost", nullptr, true, platform::kTlsBadCertificate},
      {"other", "localhost", ca.c_str(), true, platform::kTlsBadCertificate},  // wrong name
      {"other", "other.example", ca.c_str(), true, platform::kTlsOk},
      // An address is matched against the certificate's addresses.
      {"good", "127.0.0.1", ca.c_str(), true, platform::kTlsOk},
      {"good", "[::1]", ca.c_str(), true, platform::kTlsOk},
      {"good", "::1", ca.c_str(), true, platform::kTlsOk},
      {"good", "127.0.0.2", ca.c_str(), true, platform::kTlsBadCertificate},
      {"other", "127.0.0.1", ca.c_str(), true, platform::kTlsBadCertificate},
      {"self", "localhost", nullptr, false, platform::kTlsOk},
      {"other", "localhost", ca.c_str(), false, platform::kTlsOk},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.server) + " as " + c.name + (c.caFile ? " with CA file" : "") +
                 (c.verify ? "" : " unverified"));
    Link link(ports[c.server], 65536);
    ASSERT_EQ(link.Create(c.name, c.caFile, c.verify, platform::kTls12), platform::kTlsOk);
    EXPECT_EQ(link.Handshake(), c.expected);
    // A failed session keeps its answer.
    if (c.expected != platform::kTlsOk) {
      EXPECT_EQ(platform::TlsHandshake(link.session()), c.expected);
    }
  }
}

// A server that answers the ClientHello in plain text fails the handshake at
// once, also when its reply dribbles in byte by byte.
TEST_F(SchannelSession, FailsAtOnceOnAPlainTextReply) {
  for (int chunk : {65536, 1}) {
    SCOPED_TRACE(chunk);
    Link link(ports["plain"], chunk);
    ASSERT_EQ(link.Create("localhost", CaFile().c_str(), true, platform::kTls12), platform::kTlsOk);
    EXPECT_EQ(link.Handshake(), platform::kTlsHandshakeFailed);
  }
}

TEST_F(SchannelSession, RefusesAnUnusableCaFile) {
  const std::string missing = TlsTestFile("missing.pem");
  const std::string key = TlsTestFile("ca.key");  // PEM, but no certificate in it
  for (const std::string& file : {missing, key}) {
    TlsSession* session = reinterpret_cast<TlsSession*>(1);
    platform::TlsOptions options = {"localhost", file.c_str(), true, platform::kTls12};
    EXPECT_EQ(platform::TlsCreate(options, &session), platform::kTlsBadCertificate) << file;
    EXPECT_EQ(session, nullptr);
  }
}

// The session never goes below TLS 1.2, whatever the system would allow.
TEST_F(SchannelSession, RefusesAServerBelowTls12) {
  Link link(ports["tls10"], 65536);
  ASSERT_EQ(link.Create("localhost", CaFile().c_str(), true, platform::kTls12), platform::kTlsOk);
  const int result = link.Handshake();
  EXPECT_TRUE(result == platform::kTlsHandshakeFailed || result == platform::kTlsOldVersion) << result;
  EXPECT_EQ(platform::TlsVersion(link.session()), 0);
}

// With TLS 1.3 required, a TLS 1.2 server fails. A system without TLS 1.3
// (Wine 8's SChannel) cannot make such a session at all, nor talk to a
// server that speaks nothing else.
TEST_F(SchannelSession, HonoursTheLowestVersion) {
  Link probe(ports["tls13"], 65536);
  const int created = probe.Create("localhost", CaFile().c_str(), true, platform::kTls13);
  if (created == platform::kTlsUnavailable) {
    Link link(ports["tls13"], 65536);
    ASSERT_EQ(link.Create("localhost", CaFile().c_str(), true, platform::kTls12), platform::kTlsOk);
    EXPECT_EQ(link.Handshake(), platform::kTlsHandshakeFailed);
    return;
  }
  ASSERT_EQ(created, platform::kTlsOk);
  ASSERT_EQ(probe.Handshake(), platform::kTlsOk);
  EXPECT_EQ(platform::TlsVersion(probe.session()), platform::kTls13);
  Link old(ports["tls12"], 65536);
  ASSERT_EQ(old.Create("localhost", CaFile().c_str(), true, platform::kTls13), platform::kTlsOk);
  const int result = old.Handshake();
  EXPECT_TRUE(result == platform::kTlsHandshakeFailed || result == platform::kTlsOldVersion) << result;
}

TEST_F(SchannelSession, ShutdownQueuesACloseNotify) {
  Link link(ports["good"], 65536);
  ASSERT_EQ(link.Create("localhost", CaFile().c_str(), true, platform::kTls12), platform::kTlsOk);
  ASSERT_EQ(link.Handshake(), platform::kTlsOk);
  platform::TlsShutdown(link.session());
  unsigned char record[64];
  const int n = platform::TlsTakeOutput(link.session(), record, sizeof record);
  ASSERT_GE(n, 5);
  EXPECT_EQ(record[0], 21);  // an alert record
  EXPECT_EQ(platform::TlsWrite(link.session(), "x", 1), platform::kTlsClosed);
}

}  // namespace
