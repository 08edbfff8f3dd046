// Files that are not regular files never hold a call: a FIFO (with nobody at
// its other end) or a device named as the message file, as an attachment or
// as the log is refused at once. A watchdog opens the FIFO's other end after
// two seconds, so that a call which waits for a peer returns, late, and the
// test fails instead of hanging.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "kov32.h"
#include "platform/platform.h"
#include "support/driver_fixture.h"

namespace {

constexpr uint32_t kLate = 2000;

class Watchdog {
 public:
  explicit Watchdog(const std::string& fifo) : thread_([this, fifo] { Watch(fifo); }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      done_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

 private:
  // A writer that comes and goes: an open that waits for one returns, and
  // a read then ends at once.
  void Watch(const std::string& fifo) {
    std::unique_lock<std::mutex> hold(mutex_);
    if (wake_.wait_for(hold, std::chrono::milliseconds(kLate), [this] { return done_; })) return;
    const int fd = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    if (fd >= 0) close(fd);
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;
};

class FifoAndDeviceFiles : public AttachedLibrary {
 protected:
  void SetUp() override {
    AttachedLibrary::SetUp();
    fifo_ = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo_.c_str(), 0600), 0);
    kovIntegerParam(0, KOV_TIMEOUT, 300);
    kovIntegerParam(0, KOV_DELAY, 1);
  }
  // Connects channel 0 to a server that takes one message up to DATA.
  void ConnectForOneMessage(LoopbackServer& server) {
    server.Send("220 mx\r\n").ReadLine().Send("250 mx\r\n");
    for (const char* reply : {"250 OK\r\n", "250 OK\r\n", "354 go ahead\r\n"}) server.ReadLine().Send(reply);
    server.Start();
    kovIntegerParam(0, KOV_SMTP_PORT, server.Port());
    ASSERT_EQ(kovSmtpConnect(0, "127.0.0.1", "<joe@example.com>", nullptr), 0);
  }

  std::string fifo_;
};

TEST_F(FifoAndDeviceFiles, AFifoOrDeviceToSendIsRefusedAtOnce) {
  const std::string message = "@" + fifo_;
  struct Case {
    const char* what;
    const char* message;
    const char* attachments;
  } cases[] = {
      {"message file", message.c_str(), nullptr},
      {"attachment", "text", fifo_.c_str()},
      {"device attachment", "text", "/dev/null"},
  };
  for (const Case& t : cases) {
    LoopbackServer server;
    ConnectForOneMessage(server);
    Watchdog watchdog(fifo_);
    const uint32_t start = platform::TickCount();
    EXPECT_EQ(kovSendEmail(0, "<ann@x.y>", nullptr, nullptr, "s", t.message, t.attachments), KOV_E_CANNOT_OPEN_FILE)
        << t.what;
    EXPECT_LT(platform::TickCount() - start, kLate) << t.what;
    EXPECT_EQ(server.Received().find("\r\n.\r\n"), std::string::npos) << t.what;
  }
}

TEST_F(FifoAndDeviceFiles, AFifoOrDeviceAsLogIsRefused) {
  for (const std::string& path : {fifo_, std::string("/dev/null")}) {
    Watchdog watchdog(fifo_);
    const uint32_t start = platform::TickCount();
    EXPECT_EQ(kovStringParam(0, KOV_LOG_FILE, path.c_str()), -1) << path;
    EXPECT_EQ(kovStringParam(0, KOV_LOG_TEXT, "nobody reads this"), 0) << path;
    EXPECT_LT(platform::TickCount() - start, kLate) << path;
  }
  struct stat st;
  ASSERT_EQ(stat(fifo_.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

}  // namespace
#endif
