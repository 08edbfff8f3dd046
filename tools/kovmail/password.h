// The password: never from the command line, where other users of the
// machine can read it.
#pragma once

#include <string>

#include "options.h"

namespace kovmail {

// The password from KOVMAIL_PASSWORD when it is set, else the account's
// password, else the first line its password-command prints; else asked for
// on the terminal without echo ("Password for USER@SERVER: " on stderr),
// or, when standard input is no terminal and holds no message, its first
// line. 0, or the exit status after a message on stderr.
int GetPassword(const ConnectionOptions& connection, bool stdinHoldsMessage, std::string& password);

}  // namespace kovmail
