#include "message_lists.h"

#include <gtest/gtest.h>

namespace kovmail {
namespace {

TEST(SplitAttachmentTest, FirstEqualsSignUnlessTheWholeValueIsAFile) {
  struct Case {
    const char* value;
    bool wholeIsFile;
    const char* path;
    const char* shown;
  } cases[] = {
      {"report.pdf", false, "report.pdf", ""},
      {"data/q1.csv=Q1 figures.csv", false, "data/q1.csv", "Q1 figures.csv"},
      {"a=b.txt=c=d.txt", false, "a", "b.txt=c=d.txt"},
      {"x=1.log", true, "x=1.log", ""},
      {"file=", false, "file", ""},
  };
  for (const Case& c : cases) {
    Attachment a = SplitAttachment(c.value, c.wholeIsFile);
    EXPECT_EQ(a.path, c.path) << c.value;
    EXPECT_EQ(a.shownName, c.shown) << c.value;
  }
}

TEST(FreeSeparatorTest, FirstCandidateNoTextHolds) {
  EXPECT_EQ(FreeSeparator({"a.txt", "b.txt"}, ",;"), ',');
  EXPECT_EQ(FreeSeparator({"a, b.txt", ""}, ",;"), ';');
  EXPECT_EQ(FreeSeparator({"a,b", "c;d"}, ",;\x1f"), '\x1f');
  EXPECT_EQ(FreeSeparator({"a,b;c"}, ",;"), '\0');
  EXPECT_EQ(FreeSeparator({}, "|"), '|');
}

TEST(AttachmentListTest, EntriesAndShownNamesWithTheGivenSeparators) {
  std::vector<Attachment> files = {{"a, b.bin", ""}, {"c.jpg", "Q1|Q2.jpg"}};
  EXPECT_EQ(AttachmentList(files, ';', '\x1e'), "a, b.bin;c.jpg\x1eQ1|Q2.jpg");
  EXPECT_EQ(AttachmentList({{"one", ""}}, ',', '|'), "one");
  EXPECT_EQ(AttachmentList({}, ',', '|'), "");
}

TEST(Base64SizeTest, FourCharactersPerThreeBytesAndALineEndPer57) {
  struct Case {
    uint64_t size;
    uint64_t encoded;
  } cases[] = {{0, 0}, {1, 6}, {3, 6}, {57, 78}, {58, 84}, {114, 156}, {1000000, 1333336 + 2 * 17544}};
  for (const Case& c : cases) EXPECT_EQ(Base64Size(c.size), c.encoded) << c.size;
}

}  // namespace
}  // namespace kovmail
