// kovmail with accounts from its configuration file: the account's values
// fill what the command line leaves out, a password command supplies the
// password, and an unsafe or wrong file is refused before connecting.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "run_kovmail.h"
#include "support/loopback_server.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Writes the configuration file below `home` with only the user's rights.
std::string WriteConfig(const TempDir& home, const std::string& text) {
  fs::create_directories(home.File("kovmail"));
  const std::string path = (fs::path(home.File("kovmail")) / "config").string();
  std::ofstream(path) << text;
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
  return path;
}

TEST(KovmailAccountTest, TheDefaultAccountFillsTheCommandLine) {
  TempDir home;
  LoopbackServer server;
  std::string expected = PlayScript(server, Pop3Script({"C: STAT", "S: +OK 4 100"}));
  WriteConfig(home, "default = box\n[account other]\nserver = 192.0.2.1\n[account box]\nserver = 127.0.0.1\nport = " +
                        std::to_string(server.Port()) + "\nuser = u\npassword-command = echo pw\n");
  ToolRun run = RunKovmail({"count", "--timeout", "3"}, nullptr, "", home.Path());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "4\n");
  EXPECT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), expected);
}

TEST(KovmailAccountTest, AnAccountByNameAndItsSender) {
  TempDir home;
  LoopbackServer server;
  PlayScript(server, {"S: 220 mx", "C: HELO x.org", "S: 250 mx", "C: MAIL FROM:<ann@x.org>", "S: 250 OK",
                      "C: RCPT TO:<b@y.org>", "S: 250 OK", "C: DATA", "S: 354 go", "C: Subject: hi", "C: ", "C: x",
                      "C: .", "S: 250 queued", "C: QUIT", "S: 221 bye"});
  const std::string config = WriteConfig(
      home, "[account mail]\nserver = 127.0.0.1\nport = " + std::to_string(server.Port()) + "\nfrom = Ann <ann@x.org>\n");
  ToolRun run = RunKovmail({"send", "--config", config, "--account", "mail", "--to", "b@y.org", "--eml", "-"},
                           nullptr, "Subject: hi\n\nx\n", home.File("elsewhere"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(server.WaitScript());
}

TEST(KovmailAccountTest, UnsafeOrWrongFilesAreRefused) {
  struct Case {
    const char* why;
    const char* text;
    fs::perms perms;
    std::vector<std::string> extra;
    const char* errHas;
  } cases[] = {
#ifndef _WIN32  // no such modes
      {"a password others may read", "[account a]\nserver = h\nuser = u\npassword = pw\n",
       fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read, {}, "chmod 600"},
#endif
      {"an unknown key", "[account a]\nserver = h\nuser = u\nusr = v\n", fs::perms::owner_read, {}, "'usr'"},
      {"an unknown account", "[account a]\nserver = h\n", fs::perms::owner_read, {"--account", "b"}, "'b'"},
      {"an unknown TLS mode", "[account a]\nserver = h\nuser = u\ntls = maybe\n", fs::perms::owner_read, {}, "tls"},
  };
  for (const Case& c : cases) {
    TempDir home;
    const std::string path = WriteConfig(home, c.text);
    fs::permissions(path, c.perms);
    std::vector<std::string> args = {"count"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    ToolRun run = RunKovmail(args, "pw", "", home.Path());
    EXPECT_EQ(run.exitCode, 78) << c.why << "\n" << run.err;
    EXPECT_NE(run.err.find(c.errHas), std::string::npos) << c.why << "\n" << run.err;
  }
}

}  // namespace
