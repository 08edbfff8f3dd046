// What a failure is called and how kovmail ends for it: the phase of the
// transaction that failed, a text for the code that names the cause in a
// user's words, and the exit status (sysexits.h numbers). No I/O, no
// library calls.
#pragma once

#include <string>

namespace kovmail {

// The phase an SMTP or POP3 operation was in, from the last state number
// kovDriver returned (the numbers the library's log shows): "resolve",
// "connect", "TLS", "login", "sender", "recipient", "data" (SMTP),
// "retrieve" (POP3), "close"; `fallback` for a number of no known phase.
std::string SmtpPhase(int state, const std::string& fallback);
std::string Pop3Phase(int state, const std::string& fallback);

// Whether the code says that the server's name could not be resolved.
bool IsResolveFailure(int code);

// Whether the code stands for a reply of the server, whose line says more.
bool IsServerRefusal(int code);

// A text for the code in a user's words, for the failures of the network
// and of files; empty for a code whose library text serves (a server's
// refusal, an argument check).
std::string FailureText(int code);

// The library's text made fit to show: its first line, without trailing
// blanks, and never the socket layer's internal name.
std::string CleanLibraryText(const std::string& text);

// The exit status for a failure in `phase` with `code`: `replyCode` is the
// server's last reply code (POP3: 100 for "+", 500 for "-"), `reply` its
// line.
int ExitStatusFor(const std::string& phase, int code, int replyCode, const std::string& reply);

}  // namespace kovmail
