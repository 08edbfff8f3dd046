// The driver's step frame: timers, idle calls, state lines, unknown states.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/frame/step_table.h"
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
  c.link.NextState = SmtpCommandReply;
  c.link.TimerStart = platform::TickCount();
  c.link.NotBefore = 100000;
  c.link.Deadline = 101000;
  c.link.StepCount = 3;
  c.link.CommandBuffer[0] = 'x';
  c.link.ReplyBuffer[0] = 'y';
  EXPECT_EQ(kovDriver(1), 9999);
  EXPECT_EQ(c.link.NextState, SmtpCommandReply);
  EXPECT_EQ(c.link.ThisState, -1);
  EXPECT_EQ(c.link.PrevState, -2);
  EXPECT_EQ(c.link.StepCount, 3);
  EXPECT_EQ(c.link.Deadline, 101000u);
  EXPECT_EQ(c.link.CommandBuffer[0], '\0');
  EXPECT_EQ(c.link.ReplyBuffer[0], '\0');
}

TEST_F(StepFrame, APassedDeadlineFailsWithTimeOut) {
  const std::string log = OpenLog(2);
  ChannelContext& c = Channel(2);
  c.link.NextState = SmtpCommandReply;
  c.link.TimerStart = platform::TickCount() - 10;
  c.link.Deadline = 5;
  EXPECT_EQ(kovDriver(2), -8);
  EXPECT_EQ(c.link.NextState, 0);
  EXPECT_EQ(c.link.LastSockCode, 0);
  const std::string text = LogOf(log);
  EXPECT_NE(text.find("SockCode=0 KovCode=-8 PrevState="), std::string::npos) << text;
  EXPECT_NE(text.find("NextState=299\r\nWexl timed out.Closing socket\r\n"), std::string::npos) << text;
}

TEST_F(StepFrame, IdleChannelReturnsZeroAndClearsTheTimers) {
  ChannelContext& c = Channel(0);
  c.link.TimerStart = platform::TickCount();
  c.link.NotBefore = 0;
  c.link.Deadline = 100000;
  EXPECT_EQ(kovDriver(0), 0);
  EXPECT_EQ(c.link.NotBefore, 0u);
  EXPECT_EQ(c.link.Deadline, 0u);
  EXPECT_EQ(c.link.ThisState, -1);
  EXPECT_EQ(c.link.StepCount, 0);
  EXPECT_EQ(kovDriver(0), 0);
}

TEST_F(StepFrame, UnknownStateEndsTheOperation) {
  const std::string log = OpenLog(3);
  for (int state : {777, 107, -5}) {
    Channel(3).link.NextState = state;
    EXPECT_EQ(kovDriver(3), -5) << state;
    EXPECT_EQ(Channel(3).link.NextState, 0);
    EXPECT_NE(LogOf(log).find("ERROR! Unknown state " + std::to_string(state) + "\r\n"), std::string::npos);
  }
}

TEST_F(StepFrame, AStepThatNeedsTheConnectionFailsWithoutOne) {
  // Waiting for room to write or for a reply could only end at the deadline.
  for (int state : {Quit, SmtpCommandReply}) {
    ChannelContext& c = Channel(1);
    c.link.NextState = state;
    EXPECT_EQ(kovDriver(1), -44) << StateName(state);
    EXPECT_EQ(c.link.NextState, 0);
    EXPECT_EQ(c.link.StepCount, 0);
  }
}

TEST(StepTable, EveryStateHasExactlyOneRow) {
  std::map<int, int> rows;
  for (int t = 0; t < kStepTableCount; ++t) {
    for (int n = 0; n < kAllStepTables[t]->count; ++n) ++rows[kAllStepTables[t]->rows[n].state];
  }
  for (int n = 0; n < kStateCount; ++n) {
    const int state = kAllStates[n];
    if (state == Done) continue;  // the frame itself ends an operation
    EXPECT_EQ(rows[state], 1) << state << " " << StateName(state);
    EXPECT_EQ(FindStep(state) != nullptr ? FindStep(state)->state : -1, state) << StateName(state);
    rows.erase(state);
  }
  for (const auto& [state, count] : rows) ADD_FAILURE() << "row for a state without a label: " << state;
  EXPECT_EQ(std::string(StateName(SmtpGreeting)), "SmtpGreeting");
  EXPECT_EQ(std::string(StateName(107)), "?");
}

}  // namespace
