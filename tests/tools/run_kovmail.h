// Runs the kovmail program as a user would, and collects what it did.
#pragma once

#include <string>
#include <vector>

#include "support/loopback_server.h"

struct ToolRun {
  int exitCode = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs kovmail with `args`, each one argument of the program. Standard input
// reads `input`; KOVMAIL_PASSWORD holds `password`, or is unset for null.
// The configuration and state folders (XDG_CONFIG_HOME, XDG_STATE_HOME,
// APPDATA, LOCALAPPDATA) are `home` (a folder of the run's own when empty),
// so that no file of the user's counts.
ToolRun RunKovmail(const std::vector<std::string>& args, const char* password = nullptr,
                   const std::string& input = std::string(), const std::string& home = std::string());

// The command line that runs kovmail with `args` through the shell.
std::string KovmailCommand(const std::vector<std::string>& args);

// What the server does after its script: keeps the connection open, closes
// it, resets it, or waits for the test's Release().
enum class ScriptEnd { kOpen, kClose, kReset, kHold };

// Scripts `server` from "S: " lines (the server sends the text and CR LF) and
// "C: " lines (it awaits one line from the client), and starts it; returns
// what the client must have sent: each C: text with CR LF.
std::string PlayScript(LoopbackServer& server, const std::vector<std::string>& lines, ScriptEnd end = ScriptEnd::kOpen);

// A POP3 session's script: login as "u" with "pw", `middle`, QUIT.
std::vector<std::string> Pop3Script(const std::vector<std::string>& middle);

// kovmail's arguments for a mailbox `command` on `server` as user "u".
std::vector<std::string> Pop3Args(const LoopbackServer& server, std::vector<std::string> command);
