// A scripted TCP server on 127.0.0.1 (or another loopback address such as
// 127.0.0.2 or ::1) for tests of the socket layer and of the protocols above
// it. It listens on a port chosen by the system (or one given); Start() plays
// the script on its own thread: it accepts a connection, runs the steps in
// order (a step after Close() or Reset() accepts the next connection), and
// after the last step records whatever the client still sends until the client
// closes or the server is destroyed. Every wait of the server is bounded, so a
// failing client never hangs a test.
//
// TLS: with a ServerTls set (support/tls/tls_server.h makes one, POSIX
// only), the step StartTls() runs the server's handshake on the connection
// and the later steps send and receive plaintext through it, until the
// connection ends (Close() sends close_notify first; a step after it accepts
// a plain connection again). StartTls() as the first step is implicit TLS.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The server side of a TLS session on the scripted server's non-blocking
// socket. Results of the calls below: kWantRead or kWantWrite (wait for the
// socket, call again), kFailed, or as stated.
class ServerTls {
 public:
  static constexpr int kFailed = -1;
  static constexpr int kWantRead = -2;
  static constexpr int kWantWrite = -3;
  virtual ~ServerTls() = default;
  // A new session on the socket (any earlier one is dropped): false when it
  // cannot be made.
  virtual bool Attach(intptr_t socket) = 0;
  // One handshake step; 1 once it is complete. Its output waits for Flush.
  virtual int Handshake() = 0;
  // Encrypts the bytes in one record per call of at most 16 KiB each; the
  // ciphertext waits for Flush. False on failure.
  virtual bool Write(const char* data, size_t length) = 0;
  // Sends waiting ciphertext until `most` more bytes went or none waits: 1.
  virtual int Flush(size_t most) = 0;
  // Decrypted bytes, 0 when the client ended the session or the connection.
  virtual int Read(char* buffer, size_t length) = 0;
  // Queues a TLS 1.3 session ticket (a record without plaintext): false when
  // the session cannot send one.
  virtual bool QueueTicket() = 0;
  // Queues close_notify.
  virtual void Shutdown() = 0;
  // Forgets the session and any ciphertext still waiting.
  virtual void Detach() = 0;
};

class LoopbackServer {
 public:
  LoopbackServer();
  // Listens on `address` (an IPv4 or IPv6 literal) and `port` (0: the
  // system chooses); Listening() tells whether that worked (a machine
  // without IPv6 loopback cannot listen on ::1).
  explicit LoopbackServer(const char* address, uint16_t port = 0);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  uint16_t Port() const { return port_; }
  bool Listening() const;

  // Script steps, added before Start().
  LoopbackServer& Send(const std::string& bytes);
  // One byte per send, `gapMs` apart, so the client sees them arrive singly.
  LoopbackServer& SendSlowly(const std::string& bytes, int gapMs = 1);
  LoopbackServer& SendRepeated(const std::string& bytes, size_t times);
  // Waits until the client has sent one more line (through its LF).
  LoopbackServer& ReadLine();
  // Waits until the client has sent `end` (a message's "\r\n.\r\n"), whatever
  // comes before it.
  LoopbackServer& ReadThrough(const std::string& end);
  // Waits until the client has sent `count` more bytes.
  LoopbackServer& ReadBytes(size_t count);
  // Receives `count` bytes without recording them (for bulk transfers).
  LoopbackServer& Swallow(size_t count);
  LoopbackServer& Pause(int ms);
  // Waits until the test calls Release() (at most the step limit), so that a
  // test decides when the server goes on, however slow the machine is.
  LoopbackServer& Hold();
  void Release() { released_ = true; }
  // Ends the connection in order (FIN) or with a reset (RST, linger 0).
  LoopbackServer& Close();
  LoopbackServer& Reset();
  // TLS steps (a ServerTls must be set): the server's handshake; a session
  // ticket alone; `bytes` encrypted of which only the first `keep` bytes of
  // ciphertext go out (a record cut off), after which the session is gone
  // and later steps speak plain bytes (Close() or Reset() should follow).
  LoopbackServer& StartTls();
  LoopbackServer& SendTicket();
  LoopbackServer& SendCut(const std::string& bytes, size_t keep);

  // The TLS side of StartTls(), set before Start().
  void SetTls(std::unique_ptr<ServerTls> tls) { tls_ = std::move(tls); }

  void Start();
  // Waits until every step has been played; false when the limit passed or a
  // step failed (a wait of the server timed out, the client went away).
  bool WaitScript(int limitMs = 5000);
  // Waits until at least `count` bytes have been recorded.
  bool WaitReceived(size_t count, int limitMs = 5000);
  // Everything the client sent so far, except what Swallow() dropped.
  std::string Received();
  // Bytes received by Swallow() steps.
  size_t Swallowed() const { return swallowed_; }
  // Whether a TLS client ended its session with close_notify.
  bool ClientNotified() const { return clientNotified_; }

 private:
  enum class Kind {
    kSend,
    kSendSlowly,
    kReadThrough,
    kReadBytes,
    kSwallow,
    kPause,
    kHold,
    kClose,
    kReset,
    kStartTls,
    kSendTicket,
    kSendCut
  };
  struct Step {
    Kind kind;
    std::string bytes;
    size_t count;
    int ms;
  };

  LoopbackServer& Add(Kind kind, const std::string& bytes, size_t count, int ms);
  void Play();
  bool Run(const Step& step);
  bool Accept();
  bool SendAll(const char* data, size_t length);
  bool ReceiveMore(bool record);
  int ReceiveSome(char* buffer, size_t length);
  bool Handshake();
  bool FlushTls(size_t most);
  bool RunTls(const Step& step);
  bool WaitReady(intptr_t handle, bool write);
  void EndConnection(bool reset);

  intptr_t listener_;
  intptr_t connection_;
  uint16_t port_ = 0;
  std::vector<Step> steps_;
  std::unique_ptr<ServerTls> tls_;
  bool tlsOn_ = false;  // the connection runs through tls_
  std::thread thread_;
  std::mutex mutex_;
  std::string received_;
  size_t scanned_ = 0;  // received bytes already matched by ReadLine/ReadBytes
  std::atomic<size_t> swallowed_{0};
  std::atomic<bool> clientNotified_{false};
  std::atomic<bool> stop_{false};
  std::atomic<bool> released_{false};
  std::atomic<bool> scriptDone_{false};
  std::atomic<bool> failed_{false};
};

// A loopback port on which nothing listens (bound once, then released), for
// connects that must be refused.
uint16_t UnusedLoopbackPort();

// Whether the machine can listen on and connect to the IPv6 loopback ::1
// (tests that need it skip themselves without).
bool HasIpv6Loopback();

// A server that accepts no connection and whose queue is full, so that a
// further connect to it neither succeeds nor fails until given up (a
// blackholed address); Ready() tells whether the queue could be filled.
class StalledServer {
 public:
  explicit StalledServer(const char* address = "127.0.0.1", uint16_t port = 0);
  ~StalledServer();
  StalledServer(const StalledServer&) = delete;
  StalledServer& operator=(const StalledServer&) = delete;
  bool Ready() const { return ready_; }
  uint16_t Port() const { return port_; }

 private:
  intptr_t listener_;
  std::vector<intptr_t> queued_;
  uint16_t port_ = 0;
  bool ready_ = false;
};
