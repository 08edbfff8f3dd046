// kovStatistics and kovDebug: selectors, buffer bounds and the memory check.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api/blocks.h"
#include "codec/date.h"
#include "engine/compose/compose.h"
#include "kov32.h"
#include "support/library_fixture.h"

namespace {

using Diagnostics = AttachedLibrary;

TEST_F(Diagnostics, StatisticsSelectors) {
  ChannelContext& c = Channel(2);
  c.link.StepCount = 7;
  c.link.ReplyCode = 250;
  c.link.LastSockCode = -10061;
  c.diag.TextBytesIn = 10;
  c.diag.AttachBytesIn = 20;
  c.diag.TextBytesOut = 30;
  c.diag.AttachBytesOut = 40;
  c.pop.MessageCount = 3;
  c.pop.MessageSize = 1234;
  c.pop.UserBufferLength = 99;
  c.decoder.AttachmentsSaved = 2;
  c.smtp.VerifyResult = 1;
  c.link.SlotNumber = 5;
  c.smtp.RcptCount = 4;
  struct Case {
    int selector;
    int value;
  } cases[] = {{2, 7},   {3, 250},  {4, -10061}, {10, 10},   {11, 20}, {12, 30}, {13, 30}, {14, 40},
               {15, 70}, {16, 848}, {17, 3},     {18, 1234}, {19, 99}, {20, 0},  {22, 2},  {24, 1},
               {26, 8},  {27, 5},   {30, 4},     {1, -1},    {0, -1},  {21, -1}, {31, -1}, {-4, -1}};
  for (const Case& t : cases) EXPECT_EQ(kovStatistics(2, t.selector), t.value) << t.selector;
  EXPECT_EQ(kovStatistics(4, 16), -73);
  kovRelease();
  EXPECT_EQ(kovStatistics(0, 16), -71);
}

TEST_F(Diagnostics, DebugChecksTheBufferBeforeTheChannel) {
  EXPECT_EQ(kovDebug(9, 23, nullptr, 10), 0);
  char buffer[8] = "junk";
  EXPECT_EQ(kovDebug(9, 23, buffer, sizeof buffer), -73);
  EXPECT_STREQ(buffer, "");
  kovRelease();
  strcpy(buffer, "junk");
  EXPECT_EQ(kovDebug(0, 23, nullptr, 10), 0);
  EXPECT_EQ(kovDebug(0, 23, buffer, sizeof buffer), -71);
  EXPECT_STREQ(buffer, "");
}

TEST_F(Diagnostics, LastReplyLineLengthLeavesOutTheLineEnd) {
  strcpy(Channel(1).link.LastReplyLine, "250 ok\r\n");
  char buffer[64];
  EXPECT_EQ(kovDebug(1, 23, buffer, sizeof buffer), 6);
  EXPECT_STREQ(buffer, "250 ok\r\n");
  char small[5];
  EXPECT_EQ(kovDebug(1, 23, small, sizeof small), 4);
  EXPECT_STREQ(small, "250 ");
}

TEST_F(Diagnostics, TextsAreBoundedByTheBuffer) {
  strcpy(Channel(0).decoder.SavedAttachList, "a.txt,b.pdf,");
  strcpy(Channel(0).smtp.LastRecipient, "<joe@example.com>");
  char buffer[64];
  EXPECT_EQ(kovDebug(0, 29, buffer, sizeof buffer), 12);
  EXPECT_STREQ(buffer, "a.txt,b.pdf,");
  EXPECT_EQ(kovDebug(0, 30, buffer, 6), 5);
  EXPECT_STREQ(buffer, "<joe@");
  EXPECT_EQ(kovDebug(0, 99, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "?");
  char one[1] = {'x'};
  EXPECT_EQ(kovDebug(0, 99, one, 1), 0);
  EXPECT_EQ(one[0], '\0');
  EXPECT_EQ(kovDebug(0, 99, one, 0), 0);
}

// The selector hands out the Date header of now (its form is tested with
// DateHeaderNow): the line from just before or just after the call.
TEST_F(Diagnostics, DateHeaderOfNow) {
  char before[kDateHeaderSize];
  char after[kDateHeaderSize];
  char buffer[64];
  DateHeaderNow(before, sizeof before);
  EXPECT_EQ(kovDebug(0, -12, buffer, sizeof buffer), 0);
  DateHeaderNow(after, sizeof after);
  EXPECT_TRUE(strcmp(buffer, before) == 0 || strcmp(buffer, after) == 0) << buffer;
}

TEST_F(Diagnostics, AddressesNeedRoomForADottedQuad) {
  char buffer[32] = "junk";
  EXPECT_EQ(kovDebug(0, 25, buffer, 16), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(kovDebug(0, 28, buffer, sizeof buffer), 0);  // no connection
  EXPECT_STREQ(buffer, "");
}

TEST_F(Diagnostics, MailLinesBuffer) {
  char buffer[8];
  EXPECT_EQ(kovDebug(3, 40, buffer, sizeof buffer), -47);
  char* lines = AllocateMemory(3, kMailLinesSlot, 20);
  ASSERT_NE(lines, nullptr);
  strcpy(lines, "+OK 12 lines");
  EXPECT_EQ(kovDebug(3, 40, buffer, sizeof buffer), 7);
  EXPECT_STREQ(buffer, "+OK 12 ");
}

TEST_F(Diagnostics, MemoryCheckNamesTheDamagedBlock) {
  char* data = AllocateMemory(2, 4, 10);
  ASSERT_NE(data, nullptr);
  testing::internal::CaptureStderr();
  EXPECT_EQ(kovDebug(-2, 0, nullptr, 0), 0);
  data[10] = 0;  // the trailing guard
  EXPECT_EQ(kovDebug(-2, 0, nullptr, 0), 0);
  std::string shown = testing::internal::GetCapturedStderr();
  data[10] = 'z';
#ifndef _WIN32  // Windows shows a message box instead
  EXPECT_EQ(shown, "Info: Memory Corrupted (kovDebug): ID=24 Err=-106\n");
#endif
}

}  // namespace
