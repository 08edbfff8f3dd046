// The files of a channel behind their buffers: what is written arrives whole
// and in order, on close, on FlushOutFiles and through CloseChannelFiles; a
// write the file refuses is a failure; reads return what one read of the
// file would.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/frame/step_io.h"
#include "files/file_out.h"
#include "codec/strings.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace {

std::string Pattern(size_t count, size_t seed) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 31 + seed) % 251);
  return bytes;
}

struct Channel {
  std::unique_ptr<ChannelContext> record = std::make_unique<ChannelContext>();
  ChannelContext& c = *record;
};

TEST(FileOut, WritesArriveWholeAndInOrder) {
  struct Case {
    const char* what;
    std::vector<size_t> sizes;
  } cases[] = {
      {"lines", std::vector<size_t>(3000, 80)},
      {"one write larger than the buffer", {3 * kFileBufferSize + 7}},
      {"sizes around the buffer", {kFileBufferSize - 1, 1, kFileBufferSize, 2, 0, kFileBufferSize + 1}},
  };
  for (OutFile which : {OutFile::kMail, OutFile::kPart}) {
    for (const Case& t : cases) {
      TempDir dir;
      Channel ch;
      ASSERT_TRUE(CreateOutFile(ch.c, which, dir.File("out").c_str())) << t.what;
      std::string expected;
      for (size_t size : t.sizes) {
        std::string piece = Pattern(size, expected.size());
        ASSERT_EQ(WriteOutFile(ch.c, which, piece.data(), static_cast<int>(size)), static_cast<int>(size)) << t.what;
        expected += piece;
      }
      EXPECT_EQ(CloseOutFile(ch.c, which), 0) << t.what;
      EXPECT_TRUE(ReadFile(dir.File("out")) == expected) << t.what;
      EXPECT_EQ(ch.c.files.MailFileBuffer.Block, 0u);
      EXPECT_EQ(ch.c.files.HandleBuffer.Block, 0u);
    }
  }
}

// Every way a download ends puts what was written of the mail file on disk;
// a part still being written did not complete and is removed.
TEST(FileOut, PendingBytesReachTheFileWhereverTheDownloadEnds) {
  struct Case {
    const char* what;
    void (*end)(ChannelContext& c);
    bool stillOpen;
  } cases[] = {
      {"FlushOutFiles", [](ChannelContext& c) { EXPECT_EQ(FlushOutFiles(c), 0); }, true},
      {"CloseChannelFiles", [](ChannelContext& c) { CloseChannelFiles(c); }, false},
      {"a second create", [](ChannelContext& c) { CreateOutFile(c, OutFile::kMail, nullptr); }, false},
  };
  for (const Case& t : cases) {
    TempDir dir;
    Channel ch;
    ASSERT_TRUE(CreateOutFile(ch.c, OutFile::kMail, dir.File("mail").c_str()));
    ASSERT_TRUE(CreateOutFile(ch.c, OutFile::kPart, dir.File("part").c_str()));
    EXPECT_EQ(WriteOutFile(ch.c, OutFile::kMail, "mail text\r\n", 11), 11);
    EXPECT_EQ(WriteOutFile(ch.c, OutFile::kPart, "part", 4), 4);
    t.end(ch.c);
    EXPECT_EQ(ReadFile(dir.File("mail")), "mail text\r\n") << t.what;
    EXPECT_EQ(ch.c.files.MailFileHandle > 0, t.stillOpen) << t.what;
    CloseChannelFiles(ch.c);
    EXPECT_FALSE(std::filesystem::exists(dir.File("part"))) << t.what;
    EXPECT_EQ(ch.c.files.MailFileHandle, 0);
    EXPECT_EQ(ch.c.files.FileHandle, 0);
    EXPECT_EQ(ch.c.files.MailFileBuffer.Block, 0u);
    EXPECT_EQ(ch.c.files.HandleBuffer.Block, 0u);
  }
}

// A part file stays only when it is finished: closed with everything
// written. Discarded, or its last bytes refused, it is removed; a file read
// for sending is only closed; a file put in the part's place stays.
TEST(FileOut, OnlyAFinishedPartStays) {
  struct Case {
    const char* what;
    void (*end)(ChannelContext& c, const std::string& path);
    const char* left;  // the file's content afterwards; null: no file
  } cases[] = {
      {"closed", [](ChannelContext& c, const std::string&) { EXPECT_EQ(CloseOutFile(c, OutFile::kPart), 0); }, "part"},
      {"discarded", [](ChannelContext& c, const std::string&) { DiscardPartFile(c); }, nullptr},
#ifndef _WIN32  // Windows opens no second handle on a file being written, nor removes it
      {"last bytes refused",
       [](ChannelContext& c, const std::string&) {
         // Another descriptor on the same file, read-only: the flush fails.
         int reader = platform::FileOpenRead(c.decoder.AttachPath);
         ASSERT_GE(reader, 2);
         std::swap(c.files.FileHandle, reader);
         EXPECT_EQ(CloseOutFile(c, OutFile::kPart), -1);
         platform::FileClose(reader);
       },
       nullptr},
      {"replaced meanwhile",
       [](ChannelContext& c, const std::string& path) {
         std::filesystem::remove(path);
         std::ofstream(path) << "other";
         DiscardPartFile(c);
       },
       "other"},
#endif
  };
  for (const Case& t : cases) {
    TempDir dir;
    Channel ch;
    const std::string path = dir.File("part");
    ASSERT_TRUE(CreateOutFile(ch.c, OutFile::kPart, path.c_str()));
    EXPECT_STREQ(ch.c.decoder.AttachPath, path.c_str());
    EXPECT_EQ(WriteOutFile(ch.c, OutFile::kPart, "part", 4), 4);
    t.end(ch.c, path);
    EXPECT_EQ(ch.c.files.FileHandle, 0) << t.what;
    EXPECT_EQ(std::filesystem::exists(path), t.left != nullptr) << t.what;
    if (t.left != nullptr) {
      EXPECT_EQ(ReadFile(path), t.left) << t.what;
    }
  }
  // A file being read for sending.
  TempDir dir;
  Channel ch;
  std::ofstream(dir.File("in")) << "input";
  ch.c.files.FileHandle = platform::FileOpenRead(dir.File("in").c_str());
  HoldFileBuffer(ch.c.files.HandleBuffer, false);
  BoundedCopy(ch.c.decoder.AttachPath, dir.File("in").c_str(), 128);
  DiscardPartFile(ch.c);
  EXPECT_EQ(ch.c.files.FileHandle, 0);
  EXPECT_EQ(ReadFile(dir.File("in")), "input");
}

// The file's handle goes away under the buffer: the bytes that wait cannot be
// written, which shows at the latest when the file is flushed or closed.
TEST(FileOut, AWriteTheFileRefusesIsAFailure) {
  struct Case {
    const char* what;
    int (*after)(ChannelContext& c);
  } cases[] = {
      {"close", [](ChannelContext& c) { return CloseOutFile(c, OutFile::kMail); }},
      {"flush", [](ChannelContext& c) { return FlushOutFiles(c); }},
      {"a write past the room",
       [](ChannelContext& c) {
         std::string big(kFileBufferSize, 'x');
         return WriteOutFile(c, OutFile::kMail, big.data(), kFileBufferSize);
       }},
  };
  for (const Case& t : cases) {
    TempDir dir;
    Channel ch;
    ASSERT_TRUE(CreateOutFile(ch.c, OutFile::kMail, dir.File("mail").c_str()));
    EXPECT_EQ(WriteOutFile(ch.c, OutFile::kMail, "waits", 5), 5);
    platform::FileClose(ch.c.files.MailFileHandle);
    EXPECT_EQ(t.after(ch.c), -1) << t.what;
    ch.c.files.MailFileHandle = 0;
    CloseChannelFiles(ch.c);
  }
}

TEST(FileOut, WritesToNoFileAndOddLengths) {
  TempDir dir;
  Channel ch;
  EXPECT_EQ(WriteOutFile(ch.c, OutFile::kMail, "x", 1), -1);
  EXPECT_EQ(CloseOutFile(ch.c, OutFile::kMail), 0);
  EXPECT_FALSE(CreateOutFile(ch.c, OutFile::kMail, dir.File("no/such/dir").c_str()));
  EXPECT_EQ(ch.c.files.MailFileBuffer.Block, 0u);
  ASSERT_TRUE(CreateOutFile(ch.c, OutFile::kMail, dir.File("mail").c_str()));
  EXPECT_EQ(WriteOutFile(ch.c, OutFile::kMail, "x", 0), 0);
  EXPECT_EQ(WriteOutFile(ch.c, OutFile::kMail, "x", -1), -1);
  EXPECT_EQ(CloseOutFile(ch.c, OutFile::kMail), 0);
  EXPECT_EQ(ReadFile(dir.File("mail")), "");
}

// Reads through the buffer give what one read of the file would: the bytes
// asked for, fewer only at the end, then 0.
TEST(FileBuffer, ReadsAsTheFileWould) {
  const std::string content = Pattern(3 * kFileBufferSize + 100, 5);
  for (int chunk : {57, 2048, kFileBufferSize, kFileBufferSize + 3}) {
    TempDir dir;
    {
      int h = platform::FileCreate(dir.File("in").c_str(), platform::LinkRule::kFollow);
      ASSERT_EQ(platform::FileWrite(h, content.data(), static_cast<uint32_t>(content.size())),
                static_cast<int>(content.size()));
      platform::FileClose(h);
    }
    FileBuffer b{};
    HoldFileBuffer(b, false);
    int handle = platform::FileOpenRead(dir.File("in").c_str());
    std::string got;
    std::vector<char> out(static_cast<size_t>(chunk));
    for (int n; (n = BufferedRead(b, handle, out.data(), chunk)) > 0;) {
      const size_t left = content.size() - got.size();
      EXPECT_EQ(static_cast<size_t>(n), left < static_cast<size_t>(chunk) ? left : static_cast<size_t>(chunk));
      got.append(out.data(), static_cast<size_t>(n));
    }
    EXPECT_TRUE(got == content) << chunk;
    EXPECT_EQ(BufferedRead(b, handle, out.data(), chunk), 0);
    platform::FileClose(handle);
    EXPECT_EQ(BufferedRead(b, handle, out.data(), chunk), -1);  // the handle is gone
    DropFileBuffer(b);
  }
}

}  // namespace
