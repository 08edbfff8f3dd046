// The library for one kovmail command: one channel, attached for the
// command's lifetime, its settings from the command line, operations driven
// step by step with waits on the socket, and failures reported with the
// server, the phase and the cause, and the exit status that goes with them.
#pragma once

#include <string>

#include "options.h"
#include "progress.h"

namespace kovmail {

// The channel every command uses.
constexpr int kChannel = 0;

// What Drive returns when a signal stopped the operation (no library code).
constexpr int kInterruptedCode = -1000000;

class Session {
 public:
  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Attaches the library and applies --log, --port (as the parameter
  // `portParam`, `defaultPort` when not given), --timeout and --pace; every
  // operation runs in manual mode from here on. 0, or after a message the
  // exit status (74 for a log file that cannot be created).
  int Open(const ConnectionOptions& options, int portParam, int defaultPort, bool smtp);

  // Runs the operation just started (`startCode` is what the starting call
  // returned) to its end, updating `progress` (may be null) with the sum of
  // the statistics counters `counter` and `counter2`: 0, the failure code,
  // or kInterruptedCode after Ctrl-C (the connection is then closed).
  int Run(int startCode, Progress* progress = nullptr, int counter = 0, int counter2 = 0);

  // Reports a failure as "kovmail: HOST:PORT: PHASE: CAUSE" (the server's
  // reply for a refusal) and returns the exit status for it. With an empty
  // phase the phase comes from the state the last Run stopped in.
  int Fail(const std::string& phase, int code) const;

  // For the mailbox calls that give a server's refusal no code of its own
  // (STAT, LIST, DELE, UIDL: the reply code becomes 500): reports the
  // server's line and returns its exit status; 0 when not refused.
  int Refused(const std::string& phase) const;

  // The phase the last Run stopped in, from the library's state.
  std::string Phase() const;

  // Whether a progress line is wanted: not with --quiet, only on a terminal.
  bool ShowsProgress() const { return showProgress_; }

  // "HOST:PORT" as the messages name the server.
  const std::string& Where() const { return where_; }

 private:
  std::string LastReply() const;

  bool attached_ = false;
  bool showProgress_ = false;
  bool smtp_ = false;
  int lastState_ = 0;
  std::string where_;
};

}  // namespace kovmail
