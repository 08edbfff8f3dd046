// kovmail fetch and fetch-all as a user's files see them: nothing that was
// there is replaced, a hostile attachment name stays inside the message's
// folder, nothing partial is left under a real name after a failure or
// Ctrl-C, --new remembers what was saved, --delete deletes only what was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "run_kovmail.h"
#include "support/loopback_server.h"
#include "support/temp_dir.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// A message with a text and two attachments, one named like a shell's
// start-up file, as the server sends it after RETR.
const std::vector<std::string> kHostileMessage = {
    "S: +OK",
    "S: Subject: files",
    "S: MIME-Version: 1.0",
    "S: Content-Type: multipart/mixed; boundary=\"b\"",
    "S: ",
    "S: --b",
    "S: Content-Type: text/plain",
    "S: ",
    "S: See the files.",
    "S: --b",
    "S: Content-Type: application/octet-stream; name=\".bashrc\"",
    "S: Content-Transfer-Encoding: base64",
    "S: Content-Disposition: attachment; filename=\"../.bashrc\"",
    "S: ",
    "S: cm0gLXJmIH4K",
    "S: --b",
    "S: Content-Type: application/pdf; name=\"a.pdf\"",
    "S: Content-Transfer-Encoding: base64",
    "S: ",
    "S: JVBERgABAv8=",
    "S: --b--",
    "S: .",
};

std::vector<std::string> Retrieve(int number, const std::vector<std::string>& message = kHostileMessage) {
  std::vector<std::string> lines = {"C: RETR " + std::to_string(number)};
  lines.insert(lines.end(), message.begin(), message.end());
  return lines;
}

std::vector<std::string> Join(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Every file below `dir`, relative, sorted, with its content.
std::map<std::string, std::string> Tree(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    const std::string name = fs::relative(entry.path(), dir).generic_string();
    files[name] = entry.is_directory() ? "<dir>" : ReadFile(entry.path().string());
  }
  return files;
}

std::string Under(const std::string& dir, const std::string& name) { return (fs::path(dir) / name).string(); }

TEST(KovmailFetchTest, AHostileNameInAHomeLikeFolderChangesNothingOutsideTheMessagesFolder) {
  TempDir home;
  std::ofstream(home.File(".bashrc"), std::ios::binary) << "mine\n";
  std::ofstream(home.File("1.txt"), std::ios::binary) << "an older message\n";
  LoopbackServer server;
  std::string expected = PlayScript(server, Pop3Script(Retrieve(1)));
  ToolRun run = RunKovmail(Pop3Args(server, {"fetch", "1", "--dir", home.Path()}), "pw");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(server.WaitScript());
  EXPECT_EQ(server.Received(), expected);
  EXPECT_EQ(run.out, Under(home.Path(), "1-2.txt") + "\n" + Under(Under(home.Path(), "1-2.files"), "_.bashrc") + "\n" +
                         Under(Under(home.Path(), "1-2.files"), "a.pdf") + "\n");
  auto files = Tree(home.Path());
  EXPECT_EQ(files[".bashrc"], "mine\n");
  EXPECT_EQ(files["1.txt"], "an older message\n");
  EXPECT_EQ(files["1-2.files/_.bashrc"], "rm -rf ~\n");
  EXPECT_EQ(files["1-2.files/a.pdf"], std::string("%PDF\x00\x01\x02\xff", 8));
  EXPECT_NE(files["1-2.txt"].find("See the files."), std::string::npos);
  EXPECT_EQ(files.size(), 6u);  // the two of before, the mail file, the folder and its two files
}

TEST(KovmailFetchTest, AnAttachmentFolderOfTheUsersKeepsItsFilesAndNumbersTheNewOnes) {
  TempDir dir;
  const std::string att = dir.File("att");
  fs::create_directory(att);
  std::ofstream(Under(att, "a.pdf")) << "older";
  LoopbackServer server;
  PlayScript(server, Pop3Script(Retrieve(1)));
  ToolRun run = RunKovmail(Pop3Args(server, {"fetch", "1", "--dir", dir.Path(), "--attach-dir", att}), "pw");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, Under(dir.Path(), "1.txt") + "\n" + Under(att, "_.bashrc") + "\n" + Under(att, "a (2).pdf") + "\n");
  std::map<std::string, std::string> expected = {
      {"a.pdf", "older"}, {"a (2).pdf", std::string("%PDF\x00\x01\x02\xff", 8)}, {"_.bashrc", "rm -rf ~\n"}};
  EXPECT_EQ(Tree(att), expected);  // the hidden staging folder is gone
}

TEST(KovmailFetchTest, OverwriteReplacesTheMailFile) {
  TempDir dir;
  std::ofstream(dir.File("1.txt")) << "older\n";
  LoopbackServer server;
  PlayScript(server, Pop3Script(Retrieve(1)));
  ToolRun run = RunKovmail(Pop3Args(server, {"fetch", "1", "--dir", dir.Path(), "--overwrite"}), "pw");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(ReadFile(dir.File("1.txt")).find("See the files."), std::string::npos);
  EXPECT_EQ(ReadFile(Under(dir.File("1.files"), "a.pdf")), std::string("%PDF\x00\x01\x02\xff", 8));
}

TEST(KovmailFetchTest, AMessageWithoutAttachmentsLeavesNoFolder) {
  TempDir dir;
  LoopbackServer server;
  PlayScript(server, Pop3Script(Retrieve(1, {"S: +OK", "S: Subject: plain", "S: ", "S: ..just text", "S: ."})));
  ToolRun run = RunKovmail(Pop3Args(server, {"fetch", "1", "--dir", dir.Path()}), "pw");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  auto files = Tree(dir.Path());
  ASSERT_EQ(files.size(), 1u) << files.rbegin()->first;
  EXPECT_NE(files["1.txt"].find(".just text"), std::string::npos) << files["1.txt"];
}

// Several messages in one run: each one's attachments in its own folder,
// none for a message without them, a folder name that is taken moves the
// message to a free stem, and no hidden folder is left behind.
TEST(KovmailFetchTest, EveryMessageOfARunGetsItsOwnAttachmentsOnly) {
  TempDir dir;
  fs::create_directory(dir.File("3.files"));
  LoopbackServer server;
  PlayScript(server, Pop3Script(Join({{"C: STAT", "S: +OK 3 900"}, Retrieve(1),
                                      Retrieve(2, {"S: +OK", "S: Subject: plain", "S: ", "S: text", "S: ."}),
                                      Retrieve(3)})));
  ToolRun run = RunKovmail(Pop3Args(server, {"fetch-all", "--dir", dir.Path(), "-q"}), "pw");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  std::set<std::string> names;
  for (const auto& [name, content] : Tree(dir.Path())) names.insert(name);
  const std::set<std::string> expected = {"1.txt", "1.files", "1.files/_.bashrc", "1.files/a.pdf", "2.txt",
                                          "3.files", "3-2.txt", "3-2.files", "3-2.files/_.bashrc",
                                          "3-2.files/a.pdf"};
  EXPECT_EQ(names, expected);
  EXPECT_EQ(ReadFile(Under(dir.File("3-2.files"), "a.pdf")), std::string("%PDF\x00\x01\x02\xff", 8));
}

TEST(KovmailFetchTest, AFailedTransferLeavesNothing) {
  struct Case {
    const char* why;
    ScriptEnd end;  // after part of the message
    int exitCode;
  } cases[] = {
      {"the server closes", ScriptEnd::kClose, 74},
      {"the server resets the connection", ScriptEnd::kReset, 74},
  };
  for (const Case& c : cases) {
    TempDir dir;
    LoopbackServer server;
    std::vector<std::string> script = Pop3Script({});
    script.resize(5);  // the login only
    std::vector<std::string> part(kHostileMessage.begin(), kHostileMessage.begin() + 16);
    PlayScript(server, Join({script, {"C: RETR 1"}, part}), c.end);
    ToolRun run = RunKovmail(Pop3Args(server, {"fetch", "1", "--dir", dir.Path()}), "pw");
    EXPECT_EQ(run.exitCode, c.exitCode) << c.why << "\n" << run.err;
    EXPECT_NE(run.err.find("retrieve 1:"), std::string::npos) << c.why << "\n" << run.err;
    EXPECT_TRUE(Tree(dir.Path()).empty()) << c.why << ": " << Tree(dir.Path()).begin()->first;
  }
}

TEST(KovmailFetchTest, NewFetchesOnlyWhatTheStateFileLacksAndDeleteDeletesWhatWasSaved) {
  TempDir dir;
  const std::string state = dir.File("state.uidl");
  {
    LoopbackServer server;
    std::string expected = PlayScript(
        server, Pop3Script(Join({{"C: STAT", "S: +OK 2 600", "C: UIDL", "S: +OK", "S: 1 aaa", "S: 2 bbb", "S: ."},
                                 Retrieve(1), Retrieve(2)})));
    ToolRun run = RunKovmail(
        Pop3Args(server, {"fetch-all", "--new", "--state", state, "--dir", dir.Path(), "--raw"}), "pw");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(server.Received(), expected);
    EXPECT_EQ(run.err, "kovmail: 2 of 2 messages saved\n");
    EXPECT_EQ(ReadFile(state), "aaa\nbbb\n");
  }
  LoopbackServer server;
  std::string expected = PlayScript(
      server, Pop3Script(Join({{"C: STAT", "S: +OK 3 900", "C: UIDL", "S: +OK", "S: 1 aaa", "S: 2 bbb", "S: 3 ccc",
                                "S: ."},
                               Retrieve(3), {"C: DELE 3", "S: +OK"}})));
  ToolRun run = RunKovmail(
      Pop3Args(server, {"fetch-all", "--new", "--delete", "--state", state, "--dir", dir.Path(), "--raw"}), "pw");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(server.Received(), expected);
  EXPECT_EQ(run.err, "kovmail: 1 of 3 messages saved, 2 seen before and deleted\n");
  EXPECT_EQ(ReadFile(state), "aaa\nbbb\nccc\n");
  EXPECT_EQ(run.out, Under(dir.Path(), "3.eml") + "\n");
}

TEST(KovmailFetchTest, DeleteNeverFollowsAFailedSave) {
  TempDir dir;
  LoopbackServer server;
  std::vector<std::string> login = Pop3Script({});
  login.resize(5);
  PlayScript(server, Join({login, {"C: RETR 1", "S: +OK", "S: Subject: x"}}), ScriptEnd::kClose);
  ToolRun run = RunKovmail(Pop3Args(server, {"fetch", "1", "--delete", "--dir", dir.Path()}), "pw");
  EXPECT_EQ(run.exitCode, 74) << run.err;
  EXPECT_EQ(server.Received().find("DELE"), std::string::npos);
}

#ifndef _WIN32

// Ctrl-C in the middle of a message: kovmail ends with 130 and removes the
// partial mail file and the message's folder.
TEST(KovmailFetchTest, InterruptedTransferLeavesNoPartialFile) {
  TempDir dir;
  LoopbackServer server;
  std::vector<std::string> login = Pop3Script({});
  login.resize(5);
  std::vector<std::string> part(kHostileMessage.begin(), kHostileMessage.begin() + 16);
  PlayScript(server, Join({login, {"C: RETR 1"}, part}), ScriptEnd::kHold);
  setenv("KOVMAIL_PASSWORD", "pw", 1);
  const std::string command = "exec " + KovmailCommand(Pop3Args(server, {"fetch", "1", "--dir", dir.Path()})) +
                              " 2>" + dir.File("../kovmail-sigint.err");
  const pid_t child = fork();
  if (child == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  unsetenv("KOVMAIL_PASSWORD");
  ASSERT_GT(child, 0);
  // The client has asked for the message; what it received is being saved.
  EXPECT_TRUE(server.WaitReceived(std::string("USER u\r\nPASS pw\r\nRETR 1\r\n").size()));
  kill(child, SIGINT);
  int status = 0;
  waitpid(child, &status, 0);
  server.Release();
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const std::string err = ReadFile(dir.File("../kovmail-sigint.err"));
  fs::remove(dir.File("../kovmail-sigint.err"));
  EXPECT_NE(err.find("interrupted"), std::string::npos) << err;
  EXPECT_TRUE(Tree(dir.Path()).empty()) << Tree(dir.Path()).begin()->first;
}

#endif

}  // namespace
