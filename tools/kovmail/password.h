// The password: never from the command line, where other users of the
// machine can read it.
#pragma once

#include <string>

#include "options.h"

namespace kovmail {

// How the user logs in: with a password, or with an OAuth 2.0 token.
struct Secret {
  std::string password;
  std::string token;  // when not empty, the login uses it instead
};

// The token from the variable --token-env names, else the first line the
// account's token-command prints. Without either, the password from
// KOVMAIL_PASSWORD when it is set, else the account's password, else the
// first line its password-command prints; else asked for on the terminal
// without echo ("Password for USER@SERVER: " on stderr), or, when standard
// input is no terminal and holds no message, its first line. 0, or the exit
// status after a message on stderr.
int GetSecret(const ConnectionOptions& connection, bool stdinHoldsMessage, Secret& secret);

}  // namespace kovmail
