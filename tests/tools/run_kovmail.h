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
ToolRun RunKovmail(const std::vector<std::string>& args, const char* password = nullptr,
                   const std::string& input = std::string());

// Scripts `server` from "S: " lines (the server sends the text and CR LF) and
// "C: " lines (it awaits one line from the client), and starts it; returns
// what the client must have sent: each C: text with CR LF.
std::string PlayScript(LoopbackServer& server, const std::vector<std::string>& lines);
