// kovmail count|list|uidl|top|fetch|fetch-all|delete: a POP3 mailbox.
#pragma once

#include "options.h"

namespace kovmail {

// Logs in, runs options.command, and ends the session with QUIT (which
// makes a deletion take effect); returns the exit status.
int RunMailbox(const MailboxOptions& options);

}  // namespace kovmail
