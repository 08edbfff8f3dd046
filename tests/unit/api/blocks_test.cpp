// Memory blocks: guards, the order of the checks, slot reuse, and the log
// lines of failures.
#include <gtest/gtest.h>

#include <cstring>

#include "api/blocks.h"
#include "api/library.h"
#include "kov32.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace {

class Blocks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(kovAttach(4), 1);
    logPath = dir.File("chan.log");
    Channel(2).diag.LogHandle = platform::FileCreate(logPath.c_str(), platform::LinkRule::kFollow);
    ASSERT_GE(Channel(2).diag.LogHandle, 2);
  }
  void TearDown() override {
    platform::FileClose(Channel(2).diag.LogHandle);
    Channel(2).diag.LogHandle = 0;
    kovRelease();
  }
  std::string Log() const { return ReadFile(logPath); }

  TempDir dir;
  std::string logPath;
};

TEST_F(Blocks, LayoutHasGuardsAroundAZeroFilledArea) {
  char* data = AllocateMemory(2, 5, 10);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data[-1], 'U');
  EXPECT_EQ(data[10], 'z');
  EXPECT_EQ(data[11], '\0');
  for (int i = 0; i < 10; ++i) EXPECT_EQ(data[i], '\0');
  EXPECT_EQ(BlockSize(25), 10);
  EXPECT_EQ(CheckBlock(25), 1);
}

TEST_F(Blocks, CodesOfTheBlockOperations) {
  EXPECT_EQ(AllocBlock(1280, 4), -100);
  EXPECT_EQ(CheckBlock(1280), -100);
  EXPECT_EQ(FreeBlock(1280), -100);
  EXPECT_EQ(IsAllocated(1280), -100);
  EXPECT_EQ(BlockSize(1280), -100);
  EXPECT_EQ(BlockData(1280), nullptr);

  EXPECT_EQ(CheckBlock(21), -104);
  EXPECT_EQ(FreeBlock(21), -104);
  EXPECT_EQ(BlockSize(21), -104);
  EXPECT_EQ(IsAllocated(21), 0);
  EXPECT_EQ(BlockData(21), nullptr);

  EXPECT_EQ(AllocBlock(21, 8), 21);
  EXPECT_EQ(AllocBlock(21, 8), -103);
  EXPECT_EQ(IsAllocated(21), 1);
  EXPECT_EQ(FreeBlock(21), 1);
  EXPECT_EQ(IsAllocated(21), 0);
}

TEST_F(Blocks, AllocAndCopyReplacesTheSlotsBlock) {
  ASSERT_NE(AllocAndCopy(2, 4, "a"), nullptr);
  char* second = AllocAndCopy(2, 4, "bc");
  ASSERT_NE(second, nullptr);
  EXPECT_STREQ(second, "bc");
  EXPECT_EQ(BlockSize(24), 4);
  EXPECT_EQ(Log(), "");
}

TEST_F(Blocks, AllocAndCopyOfAnEmptyTextLogsAndFails) {
  EXPECT_EQ(AllocAndCopy(2, 4, ""), nullptr);
  EXPECT_EQ(AllocAndCopy(2, 4, nullptr), nullptr);
  EXPECT_EQ(Log(),
            "AllocAndCopy Error 1: Chan=2, Index=4, Code=0\r\nAllocAndCopy Error 1: Chan=2, Index=4, Code=0\r\n");
}

TEST_F(Blocks, AllocateMemoryOnAnOccupiedSlotLogsAndFails) {
  ASSERT_NE(AllocateMemory(2, 8, 16), nullptr);
  EXPECT_EQ(AllocateMemory(2, 8, 16), nullptr);
  EXPECT_EQ(Log(), "AllocateMemory Error: Chan=2, Index=8, Code=-103\r\n");
}

TEST_F(Blocks, OverwrittenGuardStopsFreeMemoryAndKeepsHigherSlots) {
  char* data = AllocateMemory(2, 3, 10);
  ASSERT_NE(data, nullptr);
  ASSERT_NE(AllocAndCopy(2, 1, "to"), nullptr);
  ASSERT_NE(AllocAndCopy(2, 6, "files"), nullptr);
  memset(data, 'x', 11);  // one byte too many: the trailing guard is gone
  EXPECT_EQ(CheckBlock(23), -106);
  FreeMemory(2, 1, 9);
  EXPECT_EQ(Log(), "FreeMemory Error: Chan=2, Index=3, Code=-106\r\n");
  EXPECT_EQ(IsAllocated(21), 0);
  EXPECT_EQ(IsAllocated(23), 1);
  EXPECT_EQ(IsAllocated(26), 1);
  data[10] = 'z';  // mended, so that release can free it
}

TEST_F(Blocks, OverwrittenLeadingGuardIsFoundToo) {
  char* data = AllocateMemory(2, 7, 4);
  ASSERT_NE(data, nullptr);
  data[-1] = 0;
  EXPECT_EQ(CheckBlock(27), -106);
  data[-1] = 'U';
  EXPECT_EQ(CheckBlock(27), 1);
}

TEST_F(Blocks, FreeMemoryOverARangeFreesWhatIsThereSilently) {
  ASSERT_NE(AllocAndCopy(2, 5, "text"), nullptr);
  FreeMemory(2, 1, 9);
  EXPECT_EQ(IsAllocated(25), 0);
  EXPECT_EQ(Log(), "");
}

TEST_F(Blocks, FreeingASlotClearsTheRecordsReferencesIntoIt) {
  ChannelContext& c = Channel(2);
  c.smtp.ToList = AllocAndCopy(2, kToSlot, "a@b,c@d");
  c.smtp.RcptCursor = c.smtp.ToList + 4;
  c.smtp.Subject = AllocAndCopy(2, kSubjectSlot, "subject");
  c.pop.UserBuffer = AllocateMemory(2, kMailLinesSlot, 200);
  c.pop.UserBufferSize = 200;
  FreeMemory(2, kToSlot, kToSlot);
  EXPECT_EQ(c.smtp.ToList, nullptr);
  EXPECT_EQ(c.smtp.RcptCursor, nullptr);
  EXPECT_NE(c.smtp.Subject, nullptr);
  FreeMemory(2, kMailLinesSlot, kMailLinesSlot);
  EXPECT_EQ(c.pop.UserBuffer, nullptr);
  EXPECT_EQ(c.pop.UserBufferSize, 0);
}

TEST_F(Blocks, ACallersOwnUserBufferSurvivesTheMailLinesSlot) {
  ChannelContext& c = Channel(2);
  char own[16];
  ASSERT_NE(AllocateMemory(2, kMailLinesSlot, 10), nullptr);
  c.pop.UserBuffer = own;
  c.pop.UserBufferSize = 16;
  FreeMemory(2, kMailLinesSlot, kMailLinesSlot);
  EXPECT_EQ(c.pop.UserBuffer, own);
  EXPECT_EQ(c.pop.UserBufferSize, 16);
}

TEST_F(Blocks, BlockIdOfChannelThreeSlotEight) {
  ASSERT_NE(AllocateMemory(3, 8, 5), nullptr);
  EXPECT_EQ(IsAllocated(38), 1);
}

}  // namespace
