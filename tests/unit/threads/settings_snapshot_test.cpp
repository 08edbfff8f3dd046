// A send keeps the process-wide settings it started with: a change made
// through another channel while the send is under way counts from the next
// operation on, so that one message never mixes old and new values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/frame/states.h"
#include "kov32.h"
#include "support/driver_fixture.h"
#include "support/event_wait.h"
#include "support/library_fixture.h"
#include "support/loopback_server.h"

namespace {

using SettingsSnapshot = AttachedLibrary;

// The server's side of one message to two recipients.
void AnswerMessage(LoopbackServer& server) {
  for (int line = 0; line < 3; ++line) server.ReadLine().Send("250 ok\r\n");
  server.ReadLine().Send("354 go\r\n");
  server.ReadThrough("\r\n.\r\n").Send("250 queued\r\n");
}

// Drives the channel's operation by hand until kovDriver returns `state`
// (a step was done and `state` comes next); the last result.
int DriveUntil(int channel, int state) {
  for (int calls = 0; calls < 1000; ++calls) {
    const int rc = kovDriver(channel);
    if (rc <= 0 || rc == state) return rc;
    if (rc == KOV_MORE) WaitAsTold(channel, 100);
  }
  return -9999;
}

// What the client sent from the first MAIL FROM on, the Date line's value
// replaced by "*".
std::string Transactions(const std::string& received) {
  std::string text = received.substr(received.find("MAIL FROM:"));
  for (const std::string field : {"\r\nDate: ", "\r\nMessage-ID: "}) {
    for (size_t at = text.find(field); at != std::string::npos; at = text.find(field, at + 2)) {
      const size_t value = at + field.size();
      text.replace(value, text.find("\r\n", value) - value, "*");
    }
  }
  return text;
}

// At a line length of 78 one line; at 30 cut after a blank from column 12 on.
// Its 8-bit byte goes as '~' unless 8-bit text is allowed.
const char kText[] = "Caf\xe9 au lait for all who read this line";

TEST_F(SettingsSnapshot, ASendUnderWayKeepsTheValuesItStartedWith) {
  LoopbackServer server;
  server.Send("220 hi\r\n").ReadLine().Send("250 hello\r\n");
  AnswerMessage(server);
  AnswerMessage(server);
  server.Start();
  kovIntegerParam(0, KOV_SMTP_PORT, server.Port());
  kovIntegerParam(0, KOV_DELAY, 1);
  kovIntegerParam(0, KOV_TIMEOUT, 3000);
  kovIntegerParam(0, KOV_AUTO_CALL, 0);
  std::vector<int> states;
  ASSERT_EQ(kovSmtpConnect(0, "127.0.0.1", "<joe@x.y>", nullptr), 0);
  ASSERT_EQ(DriveByHand(0, states), 0);

  ASSERT_EQ(kovSendEmail(0, "<a@x.y>,<b@x.y>", nullptr, nullptr, "One", kText, nullptr), 0);
  ASSERT_EQ(DriveUntil(0, RcptToReply), RcptToReply);
  // Through another channel, every setting the rest of the send uses.
  kovIntegerParam(1, KOV_ADDRESS_SEP, ';');
  kovIntegerParam(1, KOV_LINE_LENGTH, 30);
  kovIntegerParam(1, KOV_NO_TO_HEADER, 1);
  kovIntegerParam(1, KOV_8BIT_TEXT, 1);
  // A call refused for its arguments starts nothing: the send goes on with its own values.
  ASSERT_EQ(kovSendEmail(0, nullptr, nullptr, nullptr, "Refused", kText, nullptr), KOV_E_NO_RECIPIENT);
  ASSERT_EQ(DriveByHand(0, states), 0);
  // The next send goes by the new values.
  ASSERT_EQ(kovSendEmail(0, "<a@x.y>;<b@x.y>", nullptr, nullptr, "Two", kText, nullptr), 0);
  ASSERT_EQ(DriveByHand(0, states), 0);

  ASSERT_TRUE(server.WaitScript());
  EXPECT_EQ(Transactions(server.Received()),
            "MAIL FROM:<joe@x.y>\r\nRCPT TO:<a@x.y>\r\nRCPT TO:<b@x.y>\r\nDATA\r\n"
            "X-Mailer: Orvandel Kovmail Version 3.5\r\nDate: *\r\nMessage-ID: *\r\nTo: <a@x.y>,<b@x.y>\r\nFrom: <joe@x.y>\r\n"
            "Subject: One\r\n\r\nCaf~ au lait for all who read this line\r\n\r\n.\r\n"
            "MAIL FROM:<joe@x.y>\r\nRCPT TO:<a@x.y>\r\nRCPT TO:<b@x.y>\r\nDATA\r\n"
            "X-Mailer: Orvandel Kovmail Version 3.5\r\nDate: *\r\nMessage-ID: *\r\nFrom: <joe@x.y>\r\n"
            "Subject: Two\r\n\r\nCaf\xe9 au lait \r\nfor all who \r\nread this line\r\n\r\n.\r\n");
}

}  // namespace
