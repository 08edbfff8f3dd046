// Command lines that must be refused before anything goes on the network
// (exit status 64, the reason on stderr), and the help texts (status 0).
#include <gtest/gtest.h>

#include <fstream>

#include "run_kovmail.h"
#include "support/loopback_server.h"
#include "support/temp_dir.h"

namespace {

TEST(KovmailUsageTest, RefusedCommandLinesExitWithUsage) {
  TempDir dir;
  std::string file = dir.File("note.txt");
  std::ofstream(file) << "hello\n";
  std::string port = std::to_string(UnusedLoopbackPort());
  std::vector<std::string> send = {"send",    "--server", "127.0.0.1", "--port",    port, "--from",
                                   "a@x.org", "--to",     "b@y.org",   "--subject", "Hi"};
  auto with = [&send](std::vector<std::string> extra) {
    std::vector<std::string> args = send;
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  };
  struct Case {
    const char* why;
    std::vector<std::string> args;
    const char* stderrHas;
  } cases[] = {
      {"no command", {}, "subcommand"},
      {"unknown command", {"bounce"}, "subcommand"},
      {"no message text", send, "--text-file"},
      {"two message texts", with({"--text", "a", "--text-file", file}), "--text-file"},
      {"a password is never an argument", with({"--text", "a", "--password", "secret"}), "--password"},
      {"a text read as a file name", with({"--text", "@" + file}), "--text-file"},
      {"missing text file", with({"--text-file", dir.File("none.txt")}), "none.txt"},
      {"missing attachment", with({"--text", "a", "--attach", dir.File("gone.bin") + "=x.bin"}), "gone.bin"},
      {"alternative text without HTML", with({"--text", "a", "--alt-text", file}), "--html"},
      {"port out of range", with({"--text", "a", "--port", "70000"}), "70000"},
      {"user name over 64 characters", with({"--text", "a", "--user", std::string(65, 'u')}), "64"},
      {"fetch without a number", {"fetch", "--server", "127.0.0.1", "--user", "u"}, "N"},
      {"message numbers start at 1", {"delete", "0", "--server", "127.0.0.1", "--user", "u"}, "0"},
      {"top without a line count", {"top", "1", "--server", "127.0.0.1", "--user", "u"}, "LINES"},
      {"mailbox without a user", {"count", "--server", "127.0.0.1"}, "--user"},
      {"fetch into a missing directory",
       {"fetch", "1", "--server", "127.0.0.1", "--user", "u", "--dir", dir.File("nodir")},
       "nodir"},
      {"no server", {"count", "--user", "u"}, "--server"},
      {"an empty recipient list",
       {"send", "--server", "127.0.0.1", "--port", port, "--from", "a@x.org", "--to", "", "--text", "a"},
       "no recipient"},
      {"a stray '>'", with({"--text", "a", "--to", "b@y.org>"}), "'b@y.org>'"},
      {"a name's quote left open", with({"--text", "a", "--to", "\"Smith, John <j@y.org>"}), "quote"},
      {"two '@'", with({"--text", "a", "--cc", "a@b@y.org"}), "--cc 'a@b@y.org'"},
      {"no domain", with({"--text", "a", "--bcc", "ann@"}), "--bcc 'ann@'"},
      {"two senders", with({"--text", "a", "--from", "a@x.org, b@x.org"}), "--from"},
      {"-t with a composed text", with({"-t", "--text", "a"}), "-t"},
      {"a finished message with a subject", with({"--eml", file}), "--subject"},
      {"fetch --new is for fetch-all", {"fetch", "1", "--new", "--server", "127.0.0.1", "--user", "u"}, "--new"},
  };
  for (const Case& c : cases) {
    ToolRun run = RunKovmail(c.args, "pw");
    EXPECT_EQ(run.exitCode, 64) << c.why << "\n" << run.err;
    EXPECT_NE(run.err.find(c.stderrHas), std::string::npos) << c.why << "\n" << run.err;
    EXPECT_EQ(run.out, "") << c.why;
  }
}

TEST(KovmailUsageTest, EveryCommandHasItsOwnHelpAndNoneIsAUsageError) {
  struct Case {
    const char* command;
    const char* helpHas;
  } cases[] = {
      {"send", "--attach"},         {"count", "--apop"}, {"top", "LINES"},
      {"fetch", "--attach-dir"},    {"delete", "N"},     {"fetch-all", "--raw"},
      {"list", "KOVMAIL_PASSWORD"},
  };
  for (const Case& c : cases) {
    ToolRun run = RunKovmail({c.command, "--help"});
    EXPECT_EQ(run.exitCode, 0) << c.command;
    EXPECT_NE(run.out.find(c.helpHas), std::string::npos) << c.command << "\n" << run.out;
  }
  ToolRun run = RunKovmail({"--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("fetch-all"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("75 temporary failure"), std::string::npos) << run.out;
  run = RunKovmail({"--version"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out.rfind("kovmail ", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("(KOV32 3.5"), std::string::npos) << run.out;
  run = RunKovmail({});
  EXPECT_EQ(run.exitCode, 64);
  EXPECT_NE(run.err.find("subcommand"), std::string::npos) << run.err;
}

}  // namespace
