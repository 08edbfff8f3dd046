// The decoder on a channel with real files: only complete parts are noted,
// listed, counted and kept, failed writes fail the download, and nothing
// carries over from one message to the next.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "codec/strings.h"
#include "engine/mime/channel.h"
#include "files/file_out.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace {

std::string Crlf(const std::string& text) {
  std::string out;
  for (char ch : text) out += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  return out;
}

std::string Part(const std::string& name, const std::string& base64Lines) {
  return "--b\nContent-Type: application/octet-stream" + (name.empty() ? "" : "; name=\"" + name + "\"") +
         "\nContent-Transfer-Encoding: base64\n\n" + base64Lines;
}

const std::string kHeader = "Subject: s\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"b\"\n\n";

class MimeChannel : public ::testing::Test {
 protected:
  void SetUp() override {
    c_ = std::make_unique<ChannelContext>();
    BoundedCopy(c_->decoder.AttachDir, dir_.Path().c_str(), 128);
    BoundedCopy(c_->pop.MailFileName, "mail.txt", 128);
    c_->decoder.SaveUnnamedParts = 1;
    c_->diag.LogHandle = platform::FileCreate(dir_.File("log.txt").c_str(), platform::LinkRule::kFollow);
  }
  void TearDown() override {
    CloseOutFile(*c_, OutFile::kMail);
    CloseOutFile(*c_, OutFile::kPart);
    platform::FileClose(c_->diag.LogHandle);
  }
  void Start(const char* mail) {
    CloseOutFile(*c_, OutFile::kMail);
    ASSERT_TRUE(CreateOutFile(*c_, OutFile::kMail, dir_.File(mail).c_str()));
    StartMessageDecoding(*c_);
  }
  // Every line of the message: 0, or the first failure.
  int Feed(const std::string& text) {
    const std::string message = Crlf(text);
    for (size_t at = 0; at < message.size();) {
      const size_t end = message.find('\n', at) + 1;
      if (int rc = FilterMessageLine(*c_, message.data() + at, static_cast<int>(end - at))) return rc;
      at = end;
    }
    return 0;
  }
  std::string Mail(const char* name) {
    CloseOutFile(*c_, OutFile::kMail);
    return ReadFile(dir_.File(name));
  }

  TempDir dir_;
  std::unique_ptr<ChannelContext> c_;
};

TEST_F(MimeChannel, OnlyCompletePartsCountAndNothingCarriesOver) {
  Start("one.txt");
  ASSERT_EQ(Feed(kHeader + Part("first.bin", "Zmlyc3Q=\n") + Part("cut.bin", "Y3V0\n")), 0);
  EXPECT_EQ(CloseAttachment(*c_, false), 0);
  EXPECT_STREQ(c_->decoder.SavedAttachList, "first.bin");
  EXPECT_EQ(c_->decoder.AttachmentsSaved, 1);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("cut.bin")));  // an unfinished part is removed
  EXPECT_EQ(Mail("one.txt"),
            Crlf("Subject: s\nMIME-Version: 1.0\n\n[Attachment saved to \"" + dir_.File("first.bin") + "\"]\n"));

  Start("two.txt");
  ASSERT_EQ(Feed("MIME-Version: 1.0\nContent-Transfer-Encoding: base64\n\nc2Vjb25k\n"), 0);
  EXPECT_EQ(CloseAttachment(*c_, true), 0);
  EXPECT_STREQ(c_->decoder.SavedAttachList, "noname");
  EXPECT_EQ(c_->decoder.AttachmentsSaved, 1);
  EXPECT_EQ(c_->decoder.AttachmentCounter, 2);
  EXPECT_EQ(ReadFile(dir_.File("noname")), "second");
  EXPECT_EQ(ReadFile(dir_.File("first.bin")), "first");
  EXPECT_EQ(c_->diag.AttachBytesIn, 10 + 6 + 10);  // the lines decoded; the download resets it
}

// A later name header of the same part replaces the file the earlier one
// began: that file is not left behind, empty.
TEST_F(MimeChannel, ALaterNameLeavesNoEarlierFile) {
  Start("one.txt");
  ASSERT_EQ(Feed(kHeader + "--b\nContent-Type: application/octet-stream; name=\"early.bin\"\n"
                           "Content-Disposition: attachment; filename=\"late.bin\"\n"
                           "Content-Transfer-Encoding: base64\n\nbGF0ZQ==\n--b--\n"),
            0);
  EXPECT_EQ(CloseAttachment(*c_, true), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("early.bin")));
  EXPECT_EQ(ReadFile(dir_.File("late.bin")), "late");
  EXPECT_STREQ(c_->decoder.SavedAttachList, "late.bin");
}

TEST_F(MimeChannel, FailedWritesFailTheDownload) {
  // A write that reaches the disk fails once the file's handle is gone.
  Start("one.txt");
  ASSERT_EQ(Feed(kHeader + Part("big.bin", "")), 0);
  platform::FileClose(c_->files.FileHandle);
  const std::string line = std::string(76, 'A') + "\n";
  int rc = 0;
  for (int i = 0; i < 2000 && rc == 0; ++i) rc = Feed(line);
  EXPECT_EQ(rc, -1);
  CloseAttachment(*c_, false);
  EXPECT_EQ(c_->files.FileHandle, 0);

  // The same at the close that ends the message.
  ASSERT_EQ(Feed("--b\nContent-Type: text/plain; name=\"small.txt\"\n\nsmall\n"), 0);
  platform::FileClose(c_->files.FileHandle);
  EXPECT_EQ(CloseAttachment(*c_, true), -1);
  EXPECT_STREQ(c_->decoder.SavedAttachList, "");
  EXPECT_EQ(c_->decoder.AttachmentsSaved, 0);
  EXPECT_EQ(Mail("one.txt"), Crlf("Subject: s\nMIME-Version: 1.0\n\n"));
}

TEST_F(MimeChannel, APartThatCannotBeCreatedStaysInTheMailFile) {
  BoundedCopy(c_->decoder.AttachDir, dir_.File("missing").c_str(), 128);
  Start("one.txt");
  ASSERT_EQ(Feed(kHeader + Part("x.bin", "eA==\n") + "--b--\n"), 0);
  EXPECT_EQ(CloseAttachment(*c_, true), 0);
  EXPECT_EQ(c_->decoder.AttachmentsSaved, 0);
  EXPECT_EQ(Mail("one.txt"), Crlf("Subject: s\nMIME-Version: 1.0\n\neA==\n"));
  platform::FileClose(c_->diag.LogHandle);
  c_->diag.LogHandle = 0;
  EXPECT_NE(ReadFile(dir_.File("log.txt"))
                .find("[Cannot open '" + dir_.File("missing") + platform::PathSeparator() + "x.bin']\r\n"),
            std::string::npos);
}

}  // namespace
