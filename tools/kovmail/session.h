// The library for one kovmail command: one channel, attached for the
// command's lifetime, its settings from the command line, failures reported
// with the library's own texts, and transfers driven step by step.
#pragma once

#include "options.h"
#include "progress.h"

namespace kovmail {

// The channel every command uses.
constexpr int kChannel = 0;

class Session {
 public:
  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Attaches the library and applies --log, --port (as the parameter
  // `portParam`) and --timeout; on failure reports it and returns false.
  bool Open(const ConnectionOptions& options, int portParam);

  // Writes "kovmail: WHAT: TEXT" to stderr, TEXT being the library's text for
  // `code` (with the server's reply where it has one), and returns
  // kExitFailure.
  int Fail(const char* what, int code) const;

  // For the mailbox calls that give a server's refusal no code of its own
  // (STAT, LIST, DELE, UIDL: the reply code becomes 500): reports the
  // server's line as "kovmail: WHAT: refused: LINE" and returns true.
  bool Refused(const char* what) const;

  // Runs the operation just started in manual mode to its end, updating
  // `progress` with the statistics counter `counter`; 0 or the failure code.
  int Drive(Progress& progress, int counter) const;

  // Whether a progress line is wanted: not with --quiet, only on a terminal.
  bool ShowsProgress() const { return showProgress_; }

 private:
  bool attached_ = false;
  bool showProgress_ = false;
};

}  // namespace kovmail
