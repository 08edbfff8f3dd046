// kovmail send against a scripted SMTP server: the exact bytes the server
// receives, where the password comes from, and how failures end.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <regex>

#include "run_kovmail.h"
#include "support/loopback_server.h"
#include "support/temp_dir.h"

namespace {

// The client's bytes with what changes from run to run fixed: the values of
// the Date header (the time of sending) and the Message-ID as '*', the
// number in the MIME boundary as in the expected texts.
std::string WithoutDate(std::string bytes) {
  for (const std::string lead : {"\r\nDate: ", "\r\nMessage-ID: "}) {
    size_t at = bytes.find(lead);
    if (at != std::string::npos) bytes.replace(at + lead.size(), bytes.find("\r\n", at + 2) - at - lead.size(), "*");
  }
  return std::regex_replace(bytes, std::regex("=====_KOV[0-9]+_====="), "=====_KOV123456789_=====");
}

std::vector<std::string> SendArgs(const LoopbackServer& server, std::vector<std::string> extra) {
  std::vector<std::string> args = {"send",      "--server", "127.0.0.1", "--port", std::to_string(server.Port()),
                                   "--timeout", "3"};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

TEST(KovmailSendTest, SmallMessageBytesExactlyAndNoProgressOffTerminal) {
  LoopbackServer server;
  std::string expected = PlayScript(server, {
                                                "S: 220 mx.example.com ESMTP",
                                                "C: HELO example.com",
                                                "S: 250 mx.example.com",
                                                "C: MAIL FROM:<joe@example.com>",
                                                "S: 250 OK",
                                                "C: RCPT TO:<ann@x.org>",
                                                "S: 250 OK",
                                                "C: RCPT TO:<bob@x.org>",
                                                "S: 250 OK",
                                                "C: RCPT TO:<cy@x.org>",
                                                "S: 250 OK",
                                                "C: RCPT TO:<dee@x.org>",
                                                "S: 250 OK",
                                                "C: DATA",
                                                "S: 354 go ahead",
                                                "C: X-Mailer: Orvandel Kovmail Version 3.5",
                                                "C: Date: *",
                                                "C: Message-ID: *",
                                                "C: To: <ann@x.org>,Bob <bob@x.org>",
                                                "C: From: Joe <joe@example.com>",
                                                "C: Subject: Hello",
                                                "C: CC: <cy@x.org>",
                                                "C: MIME-Version: 1.0",
                                                "C: Content-Type: text/plain; charset=UTF-8",
                                                "C: Content-Transfer-Encoding: quoted-printable",
                                                "C: ",
                                                "C: Hi there",
                                                "C: ",
                                                "C: .",
                                                "S: 250 queued",
                                                "C: QUIT",
                                                "S: 221 bye",
                                            });
  ToolRun run =
      RunKovmail(SendArgs(server, {"--from", "Joe <joe@example.com>", "--to", "ann@x.org, Bob <bob@x.org>", "--cc",
                                   "cy@x.org", "--bcc", "dee@x.org", "--subject", "Hello", "--text", "Hi there"}));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(server.WaitScript());
  EXPECT_EQ(WithoutDate(server.Received()), expected);
  EXPECT_EQ(run.out, "");  // no progress line into a file
  EXPECT_EQ(run.err, "");
}

TEST(KovmailSendTest, PasswordFromTheEnvironmentOrStandardInput) {
  struct Case {
    const char* why;
    const char* environment;
    const char* input;
  } cases[] = {
      {"environment", "secret", "wrong\n"},
      {"first line of standard input", nullptr, "secret\r\nmore\n"},
  };
  for (const Case& c : cases) {
    LoopbackServer server;
    std::string expected = PlayScript(server, {
                                                  "S: 220 mx.example.com ESMTP",
                                                  "C: EHLO example.com",
                                                  "S: 250-mx.example.com",
                                                  "S: 250 AUTH PLAIN",
                                                  "C: AUTH PLAIN YWxpY2UAYWxpY2UAc2VjcmV0",  // alice, alice, secret
                                                  "S: 235 ok",
                                                  "C: MAIL FROM:<alice@example.com>",
                                                  "S: 250 OK",
                                                  "C: RCPT TO:<bob@x.org>",
                                                  "S: 250 OK",
                                                  "C: DATA",
                                                  "S: 354 go ahead",
                                                  "C: X-Mailer: Orvandel Kovmail Version 3.5",
                                                  "C: Date: *",
                                                  "C: Message-ID: *",
                                                  "C: To: <bob@x.org>",
                                                  "C: From: <alice@example.com>",
                                                  "C: Subject: S",
                                                  "C: MIME-Version: 1.0",
                                                  "C: Content-Type: text/plain; charset=UTF-8",
                                                  "C: Content-Transfer-Encoding: quoted-printable",
                                                  "C: ",
                                                  "C: T",
                                                  "C: ",
                                                  "C: .",
                                                  "S: 250 queued",
                                                  "C: QUIT",
                                                  "S: 221 bye",
                                              });
    TempDir dir;
    ToolRun run = RunKovmail(SendArgs(server, {"--user", "alice", "--from", "alice@example.com", "--to", "bob@x.org",
                                               "--subject", "S", "--text", "T", "--log", dir.File("smtp.log")}),
                             c.environment, c.input);
    EXPECT_EQ(run.exitCode, 0) << c.why << "\n" << run.err;
    EXPECT_TRUE(server.WaitScript()) << c.why;
    EXPECT_EQ(WithoutDate(server.Received()), expected) << c.why;
    std::string log = ReadFile(dir.File("smtp.log"));
    EXPECT_NE(log.find("S: MAIL FROM:<alice@example.com>"), std::string::npos) << c.why << "\n" << log;
    EXPECT_EQ(log.find("YWxpY2UAYWxpY2UAc2VjcmV0"), std::string::npos) << c.why << "\n" << log;
  }
}

TEST(KovmailSendTest, AttachmentNamesMayHoldTheListSeparators) {
  TempDir dir;
  std::string path = dir.File("a, b.bin");
  std::ofstream(path, std::ios::binary) << "ab";
  LoopbackServer server;
  std::string expected =
      PlayScript(server, {
                             "S: 220 mx.example.com ESMTP",
                             "C: HELO x.org",
                             "S: 250 mx.example.com",
                             "C: MAIL FROM:<a@x.org>",
                             "S: 250 OK",
                             "C: RCPT TO:<b@x.org>",
                             "S: 250 OK",
                             "C: DATA",
                             "S: 354 go ahead",
                             "C: X-Mailer: Orvandel Kovmail Version 3.5",
                             "C: Date: *",
                             "C: Message-ID: *",
                             "C: To: <b@x.org>",
                             "C: From: <a@x.org>",
                             "C: Subject: Files",
                             "C: MIME-Version: 1.0",
                             "C: Content-Type: multipart/mixed; boundary=\"=====_KOV123456789_=====\"",
                             "C: ",
                             "C: --=====_KOV123456789_=====",
                             "C: Content-Type: text/plain; charset=UTF-8",
                             "C: Content-Transfer-Encoding: quoted-printable",
                             "C: ",
                             "C: See the files.",
                             "C: ",
                             "C: ",
                             "C: --=====_KOV123456789_=====",
                             "C: Content-Type: application/octet-stream; name=\"a, b.bin\"",
                             "C: Content-Transfer-Encoding: base64",
                             "C: Content-Disposition: attachment; filename=\"a, b.bin\"",
                             "C: ",
                             "C: YWI=",
                             "C: ",
                             "C: ",
                             "C: --=====_KOV123456789_=====",
                             "C: Content-Type: application/octet-stream; name=\"Q1|Q2.bin\"",
                             "C: Content-Transfer-Encoding: base64",
                             "C: Content-Disposition: attachment; filename=\"Q1|Q2.bin\"",
                             "C: ",
                             "C: YWI=",
                             "C: --=====_KOV123456789_=====--",
                             "C: ",
                             "C: ",
                             "C: .",
                             "S: 250 queued",
                             "C: QUIT",
                             "S: 221 bye",
                         });
  ToolRun run =
      RunKovmail(SendArgs(server, {"--quiet", "--from", "a@x.org", "--to", "b@x.org", "--subject", "Files", "--text",
                                   "See the files.", "--attach", path, "--attach", path + "=Q1|Q2.bin"}));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(server.WaitScript());
  EXPECT_EQ(WithoutDate(server.Received()), expected);
  EXPECT_EQ(run.out, "");
}

// Each failure names the server, the phase (the refused recipient by name)
// and the server's reply, and ends with the sysexits status of its kind.
TEST(KovmailSendTest, FailuresNameThePhaseAndExitByTheirKind) {
  const std::vector<std::string> toRcpt = {"S: 220 mx", "C: HELO x.org", "S: 250 mx", "C: MAIL FROM:<a@x.org>",
                                           "S: 250 OK", "C: RCPT TO:<b@x.org>"};
  auto then = [&toRcpt](std::vector<std::string> more) {
    std::vector<std::string> all = toRcpt;
    all.insert(all.end(), more.begin(), more.end());
    return all;
  };
  struct Case {
    const char* why;
    std::vector<std::string> script;  // empty: nothing listens
    std::vector<std::string> extra;   // more arguments
    const char* err;                  // after "kovmail: 127.0.0.1:PORT: "
    int exitCode;
    ScriptEnd end = ScriptEnd::kOpen;
  } cases[] = {
      {"connection refused", {}, {}, "connect: connection refused\n", 69},
      {"greeting refused", {"S: 554 go away"}, {}, "connect: 554 go away\n", 69},
      {"sender refused",
       {"S: 220 mx", "C: HELO x.org", "S: 250 mx", "C: MAIL FROM:<a@x.org>", "S: 553 not yours"},
       {},
       "sender: 553 not yours\n",
       69},
      {"first recipient refused", then({"S: 550 no such user"}), {}, "recipient <b@x.org>: 550 no such user\n", 67},
      {"second recipient refused for now",
       then({"S: 250 OK", "C: RCPT TO:<c@x.org>", "S: 450 try later"}),
       {"--cc", "\"Cy, C.\" <c@x.org>"},
       "recipient <c@x.org>: 450 try later\n",
       75},
      {"message refused", then({"S: 250 OK", "C: DATA", "S: 554 no"}), {}, "data: 554 no\n", 69},
      {"login refused",
       {"S: 220 mx", "C: EHLO x.org", "S: 250-mx", "S: 250 AUTH PLAIN", "C: AUTH PLAIN dQB1AHB3", "S: 535 bad"},
       {"--user", "u"},
       "login: 535 bad\n",
       77},
      {"connection lost", then({"S: 250 OK", "C: DATA"}), {}, "data: reading from the connection failed\n", 74,
       ScriptEnd::kClose},
  };
  for (const Case& c : cases) {
    LoopbackServer server;
    std::string port = std::to_string(UnusedLoopbackPort());
    if (!c.script.empty()) {
      PlayScript(server, c.script, c.end);
      port = std::to_string(server.Port());
    }
    std::vector<std::string> args = {"send", "--server", "127.0.0.1", "--port", port, "--timeout", "3", "--from",
                                     "a@x.org", "--to", "b@x.org", "--subject", "S", "--text", "T"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    ToolRun run = RunKovmail(args, "pw");
    EXPECT_EQ(run.exitCode, c.exitCode) << c.why << "\n" << run.err;
    EXPECT_EQ(run.err, "kovmail: 127.0.0.1:" + port + ": " + c.err) << c.why;
    EXPECT_EQ(run.err.find("Wexl"), std::string::npos) << c.why;
  }
}

// A server that takes DATA and then stops reading: --timeout bounds the
// whole run, the close included (a failed connection is not lingered on).
TEST(KovmailSendTest, TheTimeoutBoundsARunWhoseServerStopsReading) {
  TempDir dir;
  const std::string path = dir.File("big.bin");
  std::ofstream(path, std::ios::binary) << std::string(16 << 20, 'x');
  LoopbackServer server;
  server.Send("220 mx\r\n");
  for (const char* reply : {"250 mx\r\n", "250 OK\r\n", "250 OK\r\n", "354 go ahead\r\n"}) server.ReadLine().Send(reply);
  server.Pause(30000).Start();
  const auto start = std::chrono::steady_clock::now();
  ToolRun run = RunKovmail({"send", "--server", "127.0.0.1", "--port", std::to_string(server.Port()), "--timeout",
                            "2", "--quiet", "--from", "a@x.org", "--to", "b@x.org", "--subject", "S", "--text", "T",
                            "--attach", path});
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(run.exitCode, 75) << run.err;
  // Two seconds of time-out and the start of the program; generous for a loaded machine.
  EXPECT_LT(seconds, 10.0);
}

}  // namespace
