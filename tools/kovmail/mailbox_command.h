// kovmail count, list, uidl, top, fetch, fetch-all and delete: one POP3
// session each.
#pragma once

#include <string>

#include "options.h"
#include "password.h"

namespace kovmail {

class Session;

// Logs in, runs the command and says goodbye; returns the exit status.
int RunMailbox(const MailboxOptions& options, const Secret& secret);

// The message count from STAT, or -1 (reported, `status` set) on failure.
int MessageCount(Session& session, int& status);

// The UIDL list of the whole mailbox as the server sent it, without its
// status line; false (reported, `status` set) on failure.
bool UidList(Session& session, int count, std::string& body, int& status);

// fetch and fetch-all (fetch_command.cpp).
int Fetch(Session& session, const MailboxOptions& options, int number);
int FetchAll(Session& session, const MailboxOptions& options);

}  // namespace kovmail
