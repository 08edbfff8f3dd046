// What the transcripts cannot set up on every system: the files a download
// writes when the disk takes no more bytes, when links, FIFOs and folders
// stand in the attachment directory, the modes new files get, and the
// current directory as the place of empty directories.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "kov32.h"
#include "support/driver_fixture.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

// A POP3 server that takes the login and answers RETR with `message` (the
// lines after the status line, with the final "." line).
void ServeMessage(LoopbackServer& server, const std::string& message) {
  server.Send("+OK ready\r\n").ReadLine().Send("+OK\r\n").ReadLine().Send("+OK\r\n");
  server.ReadLine().Send("+OK\r\n" + message);
}

// Logs in to `server` on channel 0 and downloads message 1: the result.
int Download(LoopbackServer& server, const std::string& name, const std::string& dir, const std::string& attachDir) {
  server.Start();
  kovIntegerParam(0, KOV_POP3_PORT, server.Port());
  if (kovPop3Connect(0, "127.0.0.1", "u", "p") != 0) return -9999;
  return kovGetEmailFile(0, 1, name.c_str(), dir.c_str(), attachDir.c_str());
}

std::string Part(const std::string& name, const std::string& base64) {
  return "--b\r\nContent-Type: application/octet-stream; name=\"" + name +
         "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + base64 + "\r\n";
}

const std::string kMultipart = "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n";

using Pop3Files = AttachedLibrary;

// Empty directories are the current one, for the mail file as for the parts.
TEST_F(Pop3Files, EmptyDirectoriesAreTheCurrentOne) {
  const fs::path before = fs::current_path();
  fs::current_path(dir.Path());
  LoopbackServer server;
  ServeMessage(server, kMultipart + Part("a.bin", "YQ==") + "--b--\r\n.\r\n");
  const int rc = Download(server, "m.eml", "", "");
  fs::current_path(before);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(ReadFile(dir.File("a.bin")), "a");
  EXPECT_NE(ReadFile(dir.File("m.eml")).find("[Attachment saved to \"a.bin\"]"), std::string::npos);
}

#ifndef _WIN32

std::string ErrorText(int code) {
  char text[128];
  kovErrorText(0, code, text, sizeof text);
  return text;
}

// The process may write files of at most `bytes` bytes while it lives; a
// write past that fails (EFBIG) instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    oldHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved_;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit saved_;
  void (*oldHandler_)(int);
};

// A disk that takes no more bytes fails the download with "Cannot write
// file.", raw or decoded, whether the mail file or a part meets it; a part
// that could not be written whole leaves no file under its name.
TEST_F(Pop3Files, AFullDiskFailsTheDownloadAndLeavesNoPart) {
  const std::string big(3000, 'A');  // a line of 3000 characters decodes to 2250 bytes
  struct Case {
    const char* what;
    int mode;
    std::string message;
  } cases[] = {
      {"raw mail file", 1, "Subject: x\r\n\r\n" + big + "\r\n.\r\n"},
      {"decoded mail file", 0, "Subject: x\r\n\r\n" + big + "\r\n.\r\n"},
      {"part", 0, kMultipart + Part("small.bin", "c21hbGw=") + Part("big.bin", big) + "--b--\r\n.\r\n"},
  };
  for (const Case& t : cases) {
    TempDir files;
    LoopbackServer server;
    ServeMessage(server, t.message);
    kovIntegerParam(0, KOV_DECODE_MODE, t.mode);
    int rc;
    {
      FileSizeLimit limit(1000);
      rc = Download(server, "m.eml", files.Path(), files.Path());
    }
    EXPECT_EQ(rc, KOV_E_CANNOT_WRITE_FILE) << t.what;
    EXPECT_EQ(ErrorText(rc), "Cannot write file.");
    EXPECT_EQ(Channel(0).files.MailFileHandle, 0);
    EXPECT_EQ(Channel(0).files.FileHandle, 0);
    EXPECT_FALSE(fs::exists(files.File("big.bin"))) << t.what;
    kovClose(0);
  }
}

// Links, FIFOs and folders named like a part are left as they are: the part
// stays in the mail file, as one that cannot be created, and nothing outside
// the attachment directory changes. Names reach no other directory and no
// hidden file.
TEST_F(Pop3Files, WhatStandsInTheAttachmentDirectoryIsNotFollowed) {
  const fs::path att = fs::path(dir.Path()) / "att";
  const fs::path outside = fs::path(dir.Path()) / "outside";
  fs::create_directories(att);
  fs::create_directories(outside);
  std::ofstream(outside / "target") << "keep";
  fs::create_symlink(outside / "target", att / "link.bin");
  fs::create_symlink(outside / "new", att / "dangling.bin");
  ASSERT_EQ(mkfifo((att / "pipe.bin").c_str(), 0600), 0);
  fs::create_directory(att / "dir.bin");
  LoopbackServer server;
  ServeMessage(server, kMultipart + Part("link.bin", "bGluaw==") + Part("dangling.bin", "ZA==") +
                           Part("pipe.bin", "cGlwZQ==") + Part("dir.bin", "ZGly") + Part(".bashrc", "cmM=") +
                           Part("../outside/target", "dXA=") + "--b--\r\n.\r\n");
  ASSERT_EQ(Download(server, "m.eml", dir.Path(), att.string()), 0);
  EXPECT_EQ(ReadFile((outside / "target").string()), "keep");
  EXPECT_FALSE(fs::exists(outside / "new"));
  EXPECT_TRUE(fs::is_symlink(att / "link.bin"));
  EXPECT_TRUE(fs::is_symlink(att / "dangling.bin"));
  EXPECT_TRUE(fs::is_fifo(att / "pipe.bin"));
  EXPECT_TRUE(fs::is_directory(att / "dir.bin"));
  EXPECT_EQ(ReadFile((att / "_.bashrc").string()), "rc");
  EXPECT_EQ(ReadFile((att / "target").string()), "up");
  const std::string mail = ReadFile(dir.File("m.eml"));
  for (const char* body : {"bGluaw==", "ZA==", "cGlwZQ==", "ZGly"}) EXPECT_NE(mail.find(body), std::string::npos);
  char list[256];
  kovDebug(0, 29, list, sizeof list);
  EXPECT_STREQ(list, "_.bashrc,target");
}

// A mail file name that is a link or a device is refused before RETR.
TEST_F(Pop3Files, AMailFileIsNeverALinkOrADevice) {
  std::ofstream(dir.File("target")) << "keep";
  fs::create_symlink(dir.File("target"), dir.File("link.eml"));
  for (const char* name : {"link.eml", "/dev/null"}) {
    LoopbackServer server;
    server.Send("+OK ready\r\n").ReadLine().Send("+OK\r\n").ReadLine().Send("+OK\r\n");
    const bool device = name[0] == '/';
    EXPECT_EQ(Download(server, device ? "null" : name, device ? "/dev" : dir.Path(), dir.Path()),
              KOV_E_CANNOT_CREATE_FILE)
        << name;
    kovClose(0);
    EXPECT_EQ(server.Received().find("RETR"), std::string::npos);
  }
  EXPECT_EQ(ReadFile(dir.File("target")), "keep");
  EXPECT_TRUE(fs::is_symlink(dir.File("link.eml")));
}

// Logs, mail files and parts are the user's own: mode 0600 under a umask that
// would let others read them; a file that exists keeps its mode.
TEST_F(Pop3Files, NewFilesAreTheOwnersAlone) {
  const mode_t savedMask = umask(022);
  std::ofstream(dir.File("old.bin")) << "old";
  chmod(dir.File("old.bin").c_str(), 0640);
  kovStringParam(0, KOV_LOG_FILE, dir.File("k.log").c_str());
  LoopbackServer server;
  ServeMessage(server, kMultipart + Part("a.bin", "YQ==") + Part("old.bin", "bmV3") + "--b--\r\n.\r\n");
  EXPECT_EQ(Download(server, "m.eml", dir.Path(), dir.Path()), 0);
  umask(savedMask);
  for (const char* name : {"k.log", "m.eml", "a.bin", "old.bin"}) {
    struct stat st;
    ASSERT_EQ(stat(dir.File(name).c_str(), &st), 0) << name;
    EXPECT_EQ(st.st_mode & 0777, name == std::string("old.bin") ? 0640u : 0600u) << name;
  }
  EXPECT_EQ(ReadFile(dir.File("old.bin")), "new");  // equal names still overwrite
}

#endif

}  // namespace
