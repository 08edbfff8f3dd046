// Channels used from several threads at once: two sends, one driven
// automatically and one by hand, while a third thread keeps changing the
// process-wide settings through another channel and a fourth runs the memory
// check. Every message must carry one whole value of each setting, never a
// mix; built with ThreadSanitizer (scripts/build.sh tsan) the run must also
// be free of data races.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "kov32.h"
#include "support/event_wait.h"
#include "support/library_fixture.h"
#include "support/loopback_server.h"

namespace {

constexpr int kMessages = 12;

// The two values the settings thread switches between.
struct Variant {
  int lineLength;
  const char* textType;
  const char* attachType;
  char addressSep;
  int hideTo;
};
const Variant kVariants[2] = {
    {78, "Content-Type: text/plain; charset=us-ascii", "Content-Type: application/x-first", ',', 0},
    {40, "Content-Type: text/x-second-and-longer; charset=utf-8", "Content-Type: application/x-second", ';', 1},
};

// Three lines of 200 characters: quoted-printable lines of 78 or 40.
const std::string kText = [] {
  const std::string line(200, 'x');
  return line + "\r\n" + line + "\r\n" + line;
}();

void ScriptSession(LoopbackServer& server) {
  server.Send("220 hi\r\n").ReadLine().Send("250 hello\r\n");
  for (int n = 0; n < kMessages; ++n) {
    server.ReadLine().Send("250 ok\r\n").ReadLine().Send("250 ok\r\n");
    server.ReadLine().Send("354 go\r\n").ReadThrough("\r\n.\r\n").Send("250 queued\r\n");
  }
  server.ReadLine().Send("221 bye\r\n");
}

// The result of an operation the entry point started (`rc` 0) or refused:
// by hand, kovDriver is called until the operation ends.
int Finish(int channel, bool byHand, int rc) {
  if (!byHand || rc != 0) return rc;
  while ((rc = kovDriver(channel)) > 0) {
    if (rc == KOV_MORE) WaitAsTold(channel, 100);
  }
  return rc;
}

// Connects, sends every message and closes: 0, or the first failure.
int SendAll(int channel, bool byHand, uint16_t port, const std::string& attachment) {
  kovIntegerParam(channel, KOV_SMTP_PORT, port);
  kovIntegerParam(channel, KOV_BODY_TYPE, 9);
  kovIntegerParam(channel, KOV_AUTO_CALL, byHand ? 0 : 1);
  int rc = Finish(channel, byHand, kovSmtpConnect(channel, "127.0.0.1", "<joe@x.y>", nullptr));
  for (int n = 0; n < kMessages && rc == 0; ++n) {
    rc = Finish(channel, byHand,
                kovSendEmail(channel, "<ann@x.y>", nullptr, nullptr, "Threads", kText.c_str(), attachment.c_str()));
  }
  return rc == 0 ? Finish(channel, byHand, kovClose(channel)) : rc;
}

// Until `running` falls to 0: one variant after the other, a setting at a time.
int ChangeSettings(int channel, const std::atomic<int>& running) {
  int rounds = 0;
  for (; running > 0; ++rounds) {
    const Variant& v = kVariants[rounds % 2];
    kovIntegerParam(channel, KOV_LINE_LENGTH, v.lineLength);
    kovStringParam(channel, KOV_BODY_CONTENT, v.textType);
    kovStringParam(channel, KOV_ATTACH_CONTENT, v.attachType);
    kovIntegerParam(channel, KOV_ADDRESS_SEP, v.addressSep);
    kovIntegerParam(channel, KOV_NO_TO_HEADER, v.hideTo);
    kovIntegerParam(channel, KOV_DELAY, 1);
    std::this_thread::yield();
  }
  return rounds;
}

int CheckMemory(const std::atomic<int>& running) {
  int checks = 0;
  for (; running > 0; ++checks) {
    kovDebug(KOV_DEBUG_CHECK_MEMORY, 0, nullptr, 0);
    std::this_thread::yield();
  }
  return checks;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
    lines.push_back(text.substr(at, end - at));
  return lines;
}

// The messages of a session, each from the line after DATA to its end.
std::vector<std::string> Messages(const std::string& received) {
  std::vector<std::string> messages;
  for (size_t at = received.find("DATA\r\n"); at != std::string::npos; at = received.find("DATA\r\n", at)) {
    const size_t end = received.find("\r\n.\r\n", at);
    if (end == std::string::npos) break;
    messages.push_back(received.substr(at + 6, end + 2 - at - 6));
    at = end;
  }
  return messages;
}

// What is wrong with a message: a header of neither variant, or text lines
// cut at both lengths. Empty when it is whole.
std::string Fault(const std::string& message) {
  int texts = 0, attachments = 0, cutAt78 = 0, cutAt40 = 0;
  for (const std::string& line : Lines(message)) {
    for (const Variant& v : kVariants) {
      texts += line == v.textType;
      attachments += line.rfind(v.attachType, 0) == 0;
    }
    // A text line cut by a soft break: at most 76 characters under the long
    // setting, at most 40 under the short one.
    const bool cutText = line.size() > 1 && line.back() == '=' && line.find_first_not_of("x=") == std::string::npos;
    cutAt78 += cutText && line.size() > 40;
    cutAt40 += cutText && line.size() <= 40;
  }
  if (texts != 1) return "no text type of either variant";
  if (attachments != 1) return "no attachment type of either variant";
  if ((cutAt78 > 0) == (cutAt40 > 0)) return "text lines cut at both lengths or none";
  return "";
}

using ThreadedUse = AttachedLibrary;

TEST_F(ThreadedUse, TwoSendsWhileSettingsChangeAndMemoryIsChecked) {
  kovIntegerParam(2, KOV_TIMEOUT, 20000);
  const std::string attachment = dir.File("a.bin");
  std::ofstream(attachment, std::ios::binary) << std::string(3000, 'a');
  LoopbackServer servers[2];
  for (LoopbackServer& server : servers) {
    ScriptSession(server);
    server.Start();
  }

  std::atomic<int> running{2};
  int results[2] = {-1, -1};
  int rounds = 0, checks = 0;
  std::vector<std::thread> threads;
  for (int channel = 0; channel < 2; ++channel) {
    threads.emplace_back([&, channel] {
      results[channel] = SendAll(channel, channel == 1, servers[channel].Port(), attachment);
      --running;
    });
  }
  threads.emplace_back([&] { rounds = ChangeSettings(2, running); });
  threads.emplace_back([&] { checks = CheckMemory(running); });
  for (std::thread& t : threads) t.join();

  EXPECT_GT(rounds, 1);
  EXPECT_GT(checks, 0);
  for (int channel = 0; channel < 2; ++channel) {
    SCOPED_TRACE(channel);
    EXPECT_EQ(results[channel], 0);
    ASSERT_TRUE(servers[channel].WaitScript());
    const std::vector<std::string> messages = Messages(servers[channel].Received());
    ASSERT_EQ(messages.size(), static_cast<size_t>(kMessages));
    for (const std::string& message : messages) EXPECT_EQ(Fault(message), "") << message;
  }
}

}  // namespace
