// The driver's step frame: timers, idle calls, state lines, unknown states.
#include <gtest/gtest.h>

#include <string>

#include "engine/driver.h"
#include "engine/states.h"
#include "kov32.h"
#include "platform/platform.h"
#include "support/library_fixture.h"

namespace {

using StepFrame = AttachedLibrary;

TEST_F(StepFrame, ChannelCheck) {
  EXPECT_EQ(kovDriver(4), -73);
  EXPECT_EQ(kovDriver(-1), -73);
  kovRelease();
  EXPECT_EQ(kovDriver(0), -71);
}

TEST_F(StepFrame, BeforeNotBeforeNothingHappens) {
  ChannelContext& c = Channel(1);
  c.NextState = SmtpCommandReply;
  c.NotBefore = platform::TickCount() + 100000;
  c.Deadline = c.NotBefore + 1000;
  c.StepCount = 3;
  c.CommandBuffer[0] = 'x';
  c.ReplyBuffer[0] = 'y';
  EXPECT_EQ(kovDriver(1), 9999);
  EXPECT_EQ(c.NextState, SmtpCommandReply);
  EXPECT_EQ(c.ThisState, -1);
  EXPECT_EQ(c.PrevState, -2);
  EXPECT_EQ(c.StepCount, 3);
  EXPECT_EQ(c.Deadline, c.NotBefore + 1000);
  EXPECT_EQ(c.CommandBuffer[0], '\0');
  EXPECT_EQ(c.ReplyBuffer[0], '\0');
}

TEST_F(StepFrame, APassedDeadlineFailsWithTimeOut) {
  const std::string log = OpenLog(2);
  ChannelContext& c = Channel(2);
  c.NextState = SmtpCommandReply;
  c.Deadline = platform::TickCount() - 5;
  EXPECT_EQ(kovDriver(2), -8);
  EXPECT_EQ(c.NextState, 0);
  EXPECT_EQ(c.LastSockCode, 0);
  const std::string text = LogOf(log);
  EXPECT_NE(text.find("SockCode=0 KovCode=-8 PrevState="), std::string::npos) << text;
  EXPECT_NE(text.find("NextState=299\r\nWexl timed out.Closing socket\r\n"), std::string::npos) << text;
}

TEST_F(StepFrame, IdleChannelReturnsZeroAndClearsTheTimers) {
  ChannelContext& c = Channel(0);
  c.NotBefore = 1;
  c.Deadline = platform::TickCount() + 100000;
  EXPECT_EQ(kovDriver(0), 0);
  EXPECT_EQ(c.NotBefore, 0u);
  EXPECT_EQ(c.Deadline, 0u);
  EXPECT_EQ(c.ThisState, -1);
  EXPECT_EQ(c.StepCount, 0);
  EXPECT_EQ(kovDriver(0), 0);
}

TEST_F(StepFrame, UnknownStateEndsTheOperation) {
  const std::string log = OpenLog(3);
  for (int state : {777, 107, -5}) {
    Channel(3).NextState = state;
    EXPECT_EQ(kovDriver(3), -5) << state;
    EXPECT_EQ(Channel(3).NextState, 0);
    EXPECT_NE(LogOf(log).find("ERROR! Unknown state " + std::to_string(state) + "\r\n"), std::string::npos);
  }
}

TEST_F(StepFrame, WaitingForWritabilityWithoutASocket) {
  ChannelContext& c = Channel(1);
  c.NextState = SmtpCommand;
  c.WaitWritable = 1;
  EXPECT_EQ(kovDriver(1), 9999);
  EXPECT_EQ(c.WaitWritable, 1);
  EXPECT_EQ(c.StepCount, 0);
}

}  // namespace
