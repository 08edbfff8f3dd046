// kovmail on a terminal as a person sees it, driven through tmux: the
// password prompt shows no typed character, Ctrl-C at the prompt leaves the
// terminal echoing, and a transfer draws its progress line. Skipped where
// tmux is not installed (and on Windows).
#include <gtest/gtest.h>

#ifndef _WIN32

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "run_kovmail.h"
#include "support/loopback_server.h"
#include "support/temp_dir.h"

namespace {

// One tmux server of the test's own, with one shell in a 120x20 window.
class Terminal {
 public:
  Terminal() : socket_("kovmail-test-" + std::to_string(getpid()) + "-" + std::to_string(++count_)) {
    available_ = std::system("tmux -V >/dev/null 2>&1") == 0 &&
                 Tmux("new-session -d -x 120 -y 20 'env -u KOVMAIL_PASSWORD sh'") == 0;
  }
  ~Terminal() {
    if (available_) Tmux("kill-server");
  }
  bool Available() const { return available_; }

  void Type(const std::string& text) { Tmux("send-keys -l -- " + Quote(text)); }
  void Press(const std::string& key) { Tmux("send-keys " + key); }

  // The screen's text.
  std::string Screen() {
    std::string text;
    FILE* pipe = popen(("tmux -L " + socket_ + " capture-pane -p -J").c_str(), "r");
    if (pipe == nullptr) return text;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
    pclose(pipe);
    return text;
  }

  // Waits until the screen shows `text`: the screen when it does, else empty
  // (after ten seconds, which only a failing run ever waits).
  std::string WaitFor(const std::string& text) {
    for (int i = 0; i < 1000; ++i) {
      std::string screen = Screen();
      if (screen.find(text) != std::string::npos) return screen;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "the screen never showed \"" << text << "\":\n" << Screen();
    return std::string();
  }

 private:
  static std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  }
  int Tmux(const std::string& args) { return std::system(("tmux -L " + socket_ + " " + args + " >/dev/null 2>&1").c_str()); }

  static inline int count_ = 0;
  std::string socket_;
  bool available_ = false;
};

// The shell command that runs kovmail from a script, which then shows its
// status and whether the terminal echoes (Ctrl-C ends only kovmail).
std::string Command(const TempDir& home, const std::vector<std::string>& args) {
  const std::string script = home.File("run.sh");
  FILE* out = fopen(script.c_str(), "w");
  if (out == nullptr) return "false";
  fprintf(out, "trap : INT\nXDG_CONFIG_HOME=%s %s\necho STATUS=$?\n", home.Path().c_str(), KovmailCommand(args).c_str());
  fprintf(out, "stty -a | tr ' ;' '\\n\\n' | grep -x -e echo -e -echo | sed 's/^/ECHO=/'\n");
  fclose(out);
  return "sh " + script;
}

TEST(KovmailTerminalTest, ThePasswordIsNotShownAndTheTerminalEchoesAfterwards) {
  Terminal terminal;
  if (!terminal.Available()) GTEST_SKIP() << "tmux is not installed";
  TempDir home;
  LoopbackServer server;
  PlayScript(server, Pop3Script({"C: STAT", "S: +OK 4 100"}));
  terminal.Type(Command(home, Pop3Args(server, {"count"})));
  terminal.Press("Enter");
  terminal.WaitFor("Password for u@127.0.0.1: ");
  terminal.Type("pw");
  terminal.Press("Enter");
  std::string screen = terminal.WaitFor("ECHO=");
  EXPECT_NE(screen.find("Password for u@127.0.0.1: \n4\nSTATUS=0\nECHO=echo"), std::string::npos) << screen;
  EXPECT_TRUE(server.WaitScript());
}

TEST(KovmailTerminalTest, CtrlCAtThePromptLeavesTheTerminalEchoing) {
  Terminal terminal;
  if (!terminal.Available()) GTEST_SKIP() << "tmux is not installed";
  TempDir home;
  terminal.Type(Command(home, {"count", "--server", "127.0.0.1", "--user", "u"}));
  terminal.Press("Enter");
  terminal.WaitFor("Password for u@127.0.0.1: ");
  terminal.Type("half");
  terminal.Press("C-c");
  std::string screen = terminal.WaitFor("ECHO=");
  EXPECT_NE(screen.find("STATUS=130"), std::string::npos) << screen;
  EXPECT_NE(screen.find("ECHO=echo"), std::string::npos) << screen;
  EXPECT_EQ(screen.find("half"), std::string::npos) << screen;
}

TEST(KovmailTerminalTest, ASendDrawsItsProgressLine) {
  Terminal terminal;
  if (!terminal.Available()) GTEST_SKIP() << "tmux is not installed";
  TempDir home;
  const std::string file = home.File("big.bin");
  FILE* out = fopen(file.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  const std::string block(1 << 20, 'x');
  for (int i = 0; i < 4; ++i) fwrite(block.data(), 1, block.size(), out);
  fclose(out);
  LoopbackServer server;
  server.Send("220 mx\r\n");
  for (const char* reply : {"250 mx\r\n", "250 OK\r\n", "250 OK\r\n", "354 go\r\n"}) server.ReadLine().Send(reply);
  server.ReadThrough("\r\n.\r\n").Send("250 queued\r\n").ReadLine().Send("221 bye\r\n");
  server.Start();
  terminal.Type(Command(home, {"send", "--server", "127.0.0.1", "--port", std::to_string(server.Port()), "--from",
                               "a@x.org", "--to", "b@y.org", "--subject", "S", "--text", "T", "--attach", file}));
  terminal.Press("Enter");
  std::string screen = terminal.WaitFor("ECHO=");
  EXPECT_NE(screen.find("sending 5.5 MiB of 5.5 MiB  100%"), std::string::npos) << screen;
  EXPECT_NE(screen.find("STATUS=0"), std::string::npos) << screen;
}

}  // namespace

#endif
