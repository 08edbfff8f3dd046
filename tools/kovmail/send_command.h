// kovmail send: one message through an SMTP server.
#pragma once

#include "options.h"

namespace kovmail {

// Connects (with AUTH when --user is given), sends the message with a
// progress line, and says goodbye; returns the exit status.
int RunSend(const SendOptions& options);

}  // namespace kovmail
