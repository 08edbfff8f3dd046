// Many channels at once against the real servers. Threads, each on its own
// channel and connection, send messages through Postfix into bob's Maildir;
// every message must arrive exactly once, no channel's log may show another
// channel's traffic, and the process holds the same descriptors and about
// the same memory before and after. The suite runs a small count; the load
// benchmark sets KOV_LOAD_THREADS and KOV_LOAD_MESSAGES (bench/load.sh).
#include <gtest/gtest.h>
#include <malloc.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "bed_settings.h"
#include "kov32.h"
#include "support/library_fixture.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kChannels = 128;
constexpr int kSlots = 32;  // simultaneous connections of one process

int EnvNumber(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0' ? std::atoi(value) : fallback;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int OpenDescriptors() {
  int count = 0;
  for (auto it = fs::directory_iterator("/proc/self/fd"); it != fs::directory_iterator(); ++it) ++count;
  return count;
}

// Heap bytes in use across every thread's arena.
size_t HeapInUse() { return mallinfo2().uordblks; }

class LoadInterop : public AttachedLibrary {
 protected:
  void SetUp() override {
    AttachedLibrary::SetUp();
    bed = ReadBedSettings();
    ASSERT_FALSE(bed["KOV_INTEROP_POSTFIX_PORT"].empty());
    mailbox = fs::path(BedRunDir()) / "mail" / bed["KOV_INTEROP_USER2"];
    runId = std::to_string(std::chrono::system_clock::now().time_since_epoch().count());
    ASSERT_EQ(kovRelease(), 1);
    ASSERT_EQ(kovAttach(kChannels), 1);
    kovIntegerParam(0, KOV_TIMEOUT, 10000);
    kovIntegerParam(0, KOV_CONNECT_WAIT, 5000);
    kovIntegerParam(0, KOV_DELAY, 0);
  }

  int Connect(int channel) {
    kovIntegerParam(channel, KOV_SMTP_PORT, std::stoi(bed[startTls ? "KOV_INTEROP_POSTFIX_SUBMISSION_PORT" : "KOV_INTEROP_POSTFIX_PORT"]));
    kovIntegerParam(channel, KOV_TLS, startTls ? 1 : 0);
    if (startTls) {
      const std::string ca = (fs::path(BedRunDir()) / bed["KOV_INTEROP_CA_FILE"]).string();
      kovStringParam(channel, KOV_TLS_CA_FILE, ca.c_str());
    }
    kovIntegerParam(channel, KOV_USE_EHLO, 1);
    kovStringParam(channel, KOV_USER, bed["KOV_INTEROP_USER"].c_str());
    kovStringParam(channel, KOV_AUTH_PASSWORD, bed["KOV_INTEROP_PASSWORD"].c_str());
    const std::string from = "<" + bed["KOV_INTEROP_USER"] + "@" + bed["KOV_INTEROP_DOMAIN"] + ">";
    return kovSmtpConnect(channel, bed["KOV_INTEROP_HOST"].c_str(), from.c_str(), nullptr);
  }

  std::string Tag(int channel, int message) const {
    return "kov32-load-" + runId + "-" + std::to_string(channel) + "-" + std::to_string(message);
  }

  // One thread's work: connect its channel, send `messages`, QUIT. The
  // number of messages the server accepted.
  int SendAll(int channel, int messages) {
    kovStringParam(channel, KOV_LOG_FILE, dir.File("channel" + std::to_string(channel) + ".log").c_str());
    if (Connect(channel) != 0) return 0;
    const std::string to = "<" + bed["KOV_INTEROP_USER2"] + "@" + bed["KOV_INTEROP_DOMAIN"] + ">";
    int sent = 0;
    for (int m = 0; m < messages; ++m) {
      const std::string text = "Message " + std::to_string(m) + " of channel " + std::to_string(channel) + "\r\n";
      if (kovSendEmail(channel, to.c_str(), nullptr, nullptr, Tag(channel, m).c_str(), text.c_str(), nullptr) == 0)
        ++sent;
    }
    kovClose(channel);
    kovStringParam(channel, KOV_LOG_FILE, "");
    return sent;
  }

  // How often each tag of this run stands as a Subject in bob's Maildir,
  // waiting until `expected` messages arrived or delivery stalls for 30 s.
  std::map<std::string, int> Delivered(size_t expected) {
    const std::regex subject("\nSubject: (kov32-load-" + runId + "-[0-9]+-[0-9]+)\r?\n");
    std::map<std::string, int> seen;
    size_t total = 0;
    auto lastGrowth = Clock::now();
    while (total < expected && Clock::now() - lastGrowth < std::chrono::seconds(30)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      seen.clear();
      size_t now = 0;
      for (const char* sub : {"new", "cur"}) {
        if (!fs::exists(mailbox / sub)) continue;
        for (const auto& entry : fs::directory_iterator(mailbox / sub)) {
          std::smatch match;
          const std::string text = ReadAll(entry.path());
          if (std::regex_search(text, match, subject)) ++seen[match[1]], ++now;
        }
      }
      if (now > total) lastGrowth = Clock::now();
      total = now;
    }
    return seen;
  }

  // Every message of `channels` x `messages` stands once in bob's mailbox.
  void ExpectEachDeliveredOnce(int channels, int messages) {
    const auto seen = Delivered(static_cast<size_t>(channels) * messages);
    for (int n = 0; n < channels; ++n) {
      for (int m = 0; m < messages; ++m) {
        const auto it = seen.find(Tag(n, m));
        EXPECT_EQ(it == seen.end() ? 0 : it->second, 1) << Tag(n, m);
      }
    }
  }

  // `threads` threads sending `messages` each, all at once; the messages the
  // server accepted. The rate is printed, not judged.
  int Round(int threads, int messages) {
    std::atomic<int> accepted{0};
    std::vector<std::thread> pool;
    const auto start = Clock::now();
    for (int n = 0; n < threads; ++n) pool.emplace_back([&, n] { accepted += SendAll(n, messages); });
    for (auto& thread : pool) thread.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("load: %d connection(s) x %d messages: %.1f messages/s accepted\n", threads, messages,
                accepted / seconds);
    return accepted;
  }

  // One channel's work for the one-thread loop: connect, `messages` sends,
  // QUIT, each operation started in stepped mode when the one before ended.
  struct Job {
    int channel;
    int step = 0;  // 0 connect, 1..messages send, then QUIT
    int sent = 0;
  };

  // Starts the job's next operation: false when there is none (or it failed
  // to start).
  bool StartNext(Job& job, int messages) {
    const std::string to = "<" + bed["KOV_INTEROP_USER2"] + "@" + bed["KOV_INTEROP_DOMAIN"] + ">";
    const int step = job.step++;
    if (step == 0) return Connect(job.channel) == 0;
    if (step <= messages) {
      const std::string text = "Message " + std::to_string(step - 1) + " of channel " + std::to_string(job.channel);
      return kovSendEmail(job.channel, to.c_str(), nullptr, nullptr, Tag(job.channel, step - 1).c_str(), text.c_str(),
                          nullptr) == 0;
    }
    return step == messages + 1 && kovClose(job.channel) == 0;
  }

  // `channels` channels driven by this one thread through kovWaitInfo and
  // poll(), each sending `messages`; the messages the server accepted.
  int SteppedRound(int channels, int messages) {
    std::vector<Job> jobs;
    for (int n = 0; n < channels; ++n) {
      kovIntegerParam(n, KOV_AUTO_CALL, 0);
      jobs.push_back(Job{n});
      if (!StartNext(jobs.back(), messages)) return 0;
    }
    const auto start = Clock::now();
    int accepted = 0;
    while (!jobs.empty() && Clock::now() - start < std::chrono::seconds(120)) {
      std::vector<pollfd> fds;
      int timeout = -1;
      for (size_t i = 0; i < jobs.size();) {
        Job& job = jobs[i];
        int rc;
        while ((rc = kovDriver(job.channel)) > 0 && rc != KOV_MORE) {
        }
        if (rc <= 0) {
          if (rc == 0 && job.step >= 2 && job.step <= messages + 1) ++accepted;
          if (rc < 0 || !StartNext(job, messages)) {
            jobs.erase(jobs.begin() + static_cast<long>(i));
            continue;
          }
          timeout = 0;
        } else {
          int socket, events, ms;
          kovWaitInfo(job.channel, &socket, &events, &ms);
          if (ms >= 0 && (timeout < 0 || ms < timeout)) timeout = ms;
          if (socket >= 0) fds.push_back({socket, static_cast<short>(events == KOV_WAIT_READ ? POLLIN : POLLOUT), 0});
        }
        ++i;
      }
      if (!jobs.empty()) poll(fds.data(), fds.size(), timeout);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("load: one thread, %d channels x %d messages: %.1f messages/s accepted\n", channels, messages,
                accepted / seconds);
    for (int n = 0; n < channels; ++n) kovIntegerParam(n, KOV_AUTO_CALL, 1);
    return accepted;
  }

  std::map<std::string, std::string> bed;
  // Connect through the submission port, which requires STARTTLS.
  bool startTls = false;
  fs::path mailbox;
  std::string runId;
};

}  // namespace

TEST_F(LoadInterop, EveryThreadsMessagesArriveOnceAndLogsStaySeparate) {
  const int threads = std::min(EnvNumber("KOV_LOAD_THREADS", 8), kSlots);
  const int messages = EnvNumber("KOV_LOAD_MESSAGES", 5);
  if (threads > 1 && EnvNumber("KOV_LOAD_SINGLE", 0) != 0) {  // the one-connection figure, under other tags
    Round(1, messages);
    runId += "s";
  }

  const int descriptors = OpenDescriptors();
  const size_t heap = HeapInUse();
  ASSERT_EQ(Round(threads, messages), threads * messages);
  // Released and attached again, the library holds what it held before.
  ASSERT_EQ(kovRelease(), 1);
  ASSERT_EQ(kovAttach(kChannels), 1);
  const size_t heapAfter = HeapInUse();
  EXPECT_EQ(OpenDescriptors(), descriptors);
  std::printf("load: heap in use %zu bytes before, %zu after\n", heap, heapAfter);
  EXPECT_LT(heapAfter, heap + 65536);

  ExpectEachDeliveredOnce(threads, messages);
  // A channel's log names its own messages and no other channel's.
  const std::regex tag("kov32-load-" + runId + "-([0-9]+)-");
  for (int n = 0; n < threads; ++n) {
    const std::string log = LogOf(dir.File("channel" + std::to_string(n) + ".log"));
    EXPECT_NE(log.find(Tag(n, messages - 1)), std::string::npos) << n;
    for (std::sregex_iterator it(log.begin(), log.end(), tag), end; it != end; ++it) {
      ASSERT_EQ((*it)[1], std::to_string(n)) << "channel " << n << "'s log";
    }
  }
}

// Every socket slot in use: one more connect gets KOV_E_INVALID_SOCKET and
// connects on a later kovDriver once a slot is free.
TEST_F(LoadInterop, AConnectBeyondTheSlotsWaitsForAFreeOne) {
  const std::string log = OpenLog(kSlots);
  const int descriptors = OpenDescriptors();
  for (int n = 0; n < kSlots; ++n) ASSERT_EQ(Connect(n), 0) << n;
  EXPECT_EQ(Connect(kSlots), KOV_E_INVALID_SOCKET);
  EXPECT_EQ(kovDriver(kSlots), KOV_E_INVALID_SOCKET);  // still none free
  EXPECT_EQ(kovClose(0), 0);
  int rc = KOV_MORE;
  for (auto start = Clock::now(); rc > 0 && Clock::now() - start < std::chrono::seconds(10);) rc = kovDriver(kSlots);
  EXPECT_EQ(rc, 0) << LogOf(log);
  const std::string to = "<" + bed["KOV_INTEROP_USER2"] + "@" + bed["KOV_INTEROP_DOMAIN"] + ">";
  EXPECT_EQ(kovSendEmail(kSlots, to.c_str(), nullptr, nullptr, Tag(kSlots, 0).c_str(), "late\r\n", nullptr), 0);
  for (int n = 1; n <= kSlots; ++n) EXPECT_EQ(kovClose(n), 0) << n;
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

// One thread drives every channel at once through kovWaitInfo and poll():
// every message arrives once, as with a thread per channel.
TEST_F(LoadInterop, OneThreadDrivesEveryChannelThroughTheWaitHook) {
  const int channels = std::min(EnvNumber("KOV_LOAD_THREADS", 8), kSlots);
  const int messages = EnvNumber("KOV_LOAD_MESSAGES", 5);
  if (EnvNumber("KOV_LOAD_SINGLE", 0) != 0) {  // the thread-per-channel figure beside it, under other tags
    Round(channels, messages);
    runId += "t";
  }
  ASSERT_EQ(SteppedRound(channels, messages), channels * messages);
  ExpectEachDeliveredOnce(channels, messages);
}

// The same one-thread driving with every channel on STARTTLS: the handshakes,
// EHLO inside TLS, AUTH and the messages all go through kovDriver steps that
// never block, each channel's session beside the others'.
TEST_F(LoadInterop, OneThreadDrivesEveryChannelOverStartTls) {
  const int channels = std::min(EnvNumber("KOV_LOAD_THREADS", 8), kSlots);
  const int messages = EnvNumber("KOV_LOAD_MESSAGES", 5);
  startTls = true;
  runId += "s";
  ASSERT_EQ(SteppedRound(channels, messages), channels * messages);
  ExpectEachDeliveredOnce(channels, messages);
}
