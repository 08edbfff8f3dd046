// kovmail send: one message through an SMTP server, composed from the
// options or finished already (--eml, -t).
#pragma once

#include "options.h"

namespace kovmail {

// Checks the options and every address, reads the message, gets the
// password, connects (with AUTH when a user is given), sends with a progress
// line and says goodbye; returns the exit status.
int RunSend(const SendOptions& options);

}  // namespace kovmail
