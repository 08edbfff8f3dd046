// kovmail over TLS against the scripted server's TLS side (native builds,
// which have it): implicit TLS and STARTTLS with the authority given by
// --ca, an untrusted certificate, and a token that never goes without TLS.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <cstdlib>

#include "run_kovmail.h"
#include "support/loopback_server.h"
#include "support/temp_dir.h"
#include "support/tls/tls_server.h"

namespace {

struct TlsBed {
  TempDir dir;
  TestCa ca{dir.Path(), "ca"};
  LoopbackServer server;
  TlsBed() { server.SetTls(MakeServerTls({ca.Issue("server", {"localhost", "127.0.0.1"})})); }
  std::string Port() const { return std::to_string(server.Port()); }
};

TEST(KovmailTlsTest, ImplicitTlsForAMailboxWithTheGivenAuthority) {
  TlsBed bed;
  bed.server.StartTls().Send("+OK ready\r\n").ReadLine().Send("+OK\r\n").ReadLine().Send("+OK\r\n");
  bed.server.ReadLine().Send("+OK 4 100\r\n").ReadLine().Send("+OK bye\r\n");
  bed.server.Start();
  ToolRun run = RunKovmail({"count", "--server", "127.0.0.1", "--port", bed.Port(), "--user", "u", "--tls",
                            "implicit", "--ca", bed.ca.CaFile(), "--timeout", "3"},
                           "pw");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "4\n");
  EXPECT_TRUE(bed.server.WaitScript());
  EXPECT_EQ(bed.server.Received(), "USER u\r\nPASS pw\r\nSTAT\r\nQUIT\r\n");
}

TEST(KovmailTlsTest, StartTlsBeforeTheLoginAndAFinishedMessage) {
  TlsBed bed;
  bed.server.Send("220 mx\r\n").ReadLine().Send("250-mx\r\n250 STARTTLS\r\n").ReadLine().Send("220 go ahead\r\n");
  bed.server.StartTls().ReadLine().Send("250-mx\r\n250 AUTH PLAIN\r\n").ReadLine().Send("235 ok\r\n");
  for (const char* reply : {"250 OK\r\n", "250 OK\r\n", "354 go\r\n"}) bed.server.ReadLine().Send(reply);
  bed.server.ReadThrough("\r\n.\r\n").Send("250 queued\r\n").ReadLine().Send("221 bye\r\n");
  bed.server.Start();
  ToolRun run = RunKovmail({"send", "--server", "127.0.0.1", "--port", bed.Port(), "--user", "u", "--tls", "starttls",
                            "--ca", bed.ca.CaFile(), "--timeout", "3", "--from", "a@x.org", "--to", "b@y.org",
                            "--eml", "-"},
                           "pw", "Subject: over TLS\n\nhi\n");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(bed.server.WaitScript());
  EXPECT_EQ(bed.server.Received(),
            "EHLO x.org\r\nSTARTTLS\r\nEHLO x.org\r\nAUTH PLAIN dQB1AHB3\r\nMAIL FROM:<a@x.org>\r\n"
            "RCPT TO:<b@y.org>\r\nDATA\r\nSubject: over TLS\r\n\r\nhi\r\n.\r\nQUIT\r\n");
}

TEST(KovmailTlsTest, AnUntrustedCertificateStopsBeforeTheLogin) {
  TlsBed bed;
  bed.server.StartTls().Send("+OK ready\r\n");
  bed.server.Start();
  ToolRun run = RunKovmail({"count", "--server", "127.0.0.1", "--port", bed.Port(), "--user", "u", "--tls",
                            "implicit", "--timeout", "3"},
                           "pw");
  EXPECT_EQ(run.exitCode, 77) << run.err;
  EXPECT_EQ(run.err.rfind("kovmail: 127.0.0.1:" + bed.Port() + ": TLS: ", 0), 0u) << run.err;
  EXPECT_EQ(bed.server.Received(), "");
}

TEST(KovmailTlsTest, ATokenNeverGoesWithoutTls) {
  LoopbackServer server;
  PlayScript(server, {"S: 220 mx", "C: EHLO x.org", "S: 250-mx", "S: 250 AUTH XOAUTH2"});
  setenv("KOVMAIL_TEST_TOKEN", "ya29.secret", 1);
  ToolRun run = RunKovmail({"send", "--server", "127.0.0.1", "--port", std::to_string(server.Port()), "--user", "u",
                            "--token-env", "KOVMAIL_TEST_TOKEN", "--tls", "none", "--timeout", "3", "--from",
                            "a@x.org", "--to", "b@y.org", "--text", "t"});
  unsetenv("KOVMAIL_TEST_TOKEN");
  EXPECT_EQ(run.exitCode, 77) << run.err;
  EXPECT_NE(run.err.find("login:"), std::string::npos) << run.err;
  EXPECT_EQ(server.Received().find("ya29"), std::string::npos);
}

}  // namespace

#endif
