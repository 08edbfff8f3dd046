// The password: never from the command line, where other users of the
// machine can read it.
#pragma once

#include <string>

namespace kovmail {

// The password from KOVMAIL_PASSWORD when it is set; else asked for on the
// terminal without echo ("Password for USER@SERVER: " on stderr), or, when
// standard input is not a terminal, its first line. False when none came.
bool GetPassword(const std::string& user, const std::string& server, std::string& password);

}  // namespace kovmail
