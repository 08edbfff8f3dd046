// kovmail send with a finished message (--eml, -t, as sendmail is used) and
// with the text on standard input: the bytes the server receives.
#include <gtest/gtest.h>

#include <fstream>

#include "run_kovmail.h"
#include "support/loopback_server.h"
#include "support/temp_dir.h"

namespace {

const char* const kMessage =
    "From: Ann <ann@x.org>\n"
    "To: \"Smith, John\" <j@y.org>, bob@y.org\n"
    "Cc: cy@y.org\n"
    "Bcc: dee@z.org,\n"
    " eve@z.org\n"
    "Subject: ready\n"
    "\n"
    ".a dot\n"
    "last";

std::vector<std::string> Args(const LoopbackServer& server, std::vector<std::string> extra) {
  std::vector<std::string> args = {"send", "--server", "127.0.0.1", "--port", std::to_string(server.Port()),
                                   "--timeout", "3"};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

// The envelope for `recipients`, then the message `lines` and the period.
std::vector<std::string> Transaction(const char* from, const std::vector<std::string>& recipients,
                                     const std::vector<std::string>& lines) {
  std::vector<std::string> script = {"S: 220 mx", "C: HELO x.org", "S: 250 mx", std::string("C: MAIL FROM:") + from,
                                     "S: 250 OK"};
  for (const std::string& to : recipients) script.insert(script.end(), {"C: RCPT TO:" + to, "S: 250 OK"});
  script.insert(script.end(), {"C: DATA", "S: 354 go ahead"});
  for (const std::string& line : lines) script.push_back("C: " + line);
  script.insert(script.end(), {"C: .", "S: 250 queued", "C: QUIT", "S: 221 bye"});
  return script;
}

const std::vector<std::string> kSentLines = {
    "From: Ann <ann@x.org>", "To: \"Smith, John\" <j@y.org>, bob@y.org", "Cc: cy@y.org", "Subject: ready", "",
    "..a dot", "last"};

TEST(KovmailSendmailTest, DashTTakesTheEnvelopeFromTheHeaderAndDropsBcc) {
  LoopbackServer server;
  std::string expected = PlayScript(
      server, Transaction("<ann@x.org>", {"<j@y.org>", "<bob@y.org>", "<cy@y.org>", "<dee@z.org>", "<eve@z.org>"},
                          kSentLines));
  ToolRun run = RunKovmail(Args(server, {"-t"}), nullptr, kMessage);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), expected);
}

TEST(KovmailSendmailTest, EmlFileWithTheEnvelopeFromTheCommandLine) {
  TempDir dir;
  std::ofstream(dir.File("m.eml"), std::ios::binary) << "Subject: as is\r\n\r\nbody\r\n";
  LoopbackServer server;
  std::string expected =
      PlayScript(server, Transaction("<me@x.org>", {"<you@y.org>"}, {"Subject: as is", "", "body"}));
  ToolRun run =
      RunKovmail(Args(server, {"--eml", dir.File("m.eml"), "--from", "me@x.org", "--to", "you@y.org"}), nullptr);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), expected);
}

TEST(KovmailSendmailTest, TextFromStandardInput) {
  LoopbackServer server;
  PlayScript(server, Transaction("<me@x.org>", {"<you@y.org>"}, {}));
  ToolRun run = RunKovmail(Args(server, {"--from", "me@x.org", "--to", "you@y.org", "--subject", "S", "--text-file",
                                         "-", "--quiet"}),
                           nullptr, "@not a file name\nline two\n");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  server.WaitScript();
  const std::string received = server.Received();
  EXPECT_NE(received.find("\r\n@not a file name\r\nline two\r\n"), std::string::npos) << received;
}

TEST(KovmailSendmailTest, BadMessagesAreRefusedBeforeConnecting) {
  struct Case {
    const char* why;
    std::vector<std::string> args;
    const char* input;
    int exitCode;
    const char* errHas;
  } cases[] = {
      {"a bad To in the header", {"-t"}, "From: a@x.org\nTo: b@y.org>\n\nx\n", 65, "To: 'b@y.org>'"},
      {"no sender anywhere", {"-t"}, "To: b@y.org\n\nx\n", 64, "no sender"},
      {"no recipient anywhere", {"-t"}, "From: a@x.org\n\nx\n", 64, "no recipient"},
      {"a missing message file", {"--eml", "/nonexistent/m.eml", "--to", "b@y.org"}, "", 64, "m.eml"},
  };
  const std::string port = std::to_string(UnusedLoopbackPort());
  for (const Case& c : cases) {
    std::vector<std::string> args = {"send", "--server", "127.0.0.1", "--port", port};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ToolRun run = RunKovmail(args, nullptr, c.input);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.why << "\n" << run.err;
    EXPECT_NE(run.err.find(c.errHas), std::string::npos) << c.why << "\n" << run.err;
  }
}

}  // namespace
