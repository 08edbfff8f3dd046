// The commands and options of kovmail, declared on a CLI11 application.
#pragma once

#include <CLI/CLI.hpp>

#include "options.h"

namespace kovmail {

// The end of every help text: where the password comes from, the exit codes.
extern const char* const kHelpFooter;

// The `send` command; returns it, so the caller can see whether it ran.
CLI::App* AddSendCommand(CLI::App& app, SendOptions& options);

// count, list, uidl, top, fetch, fetch-all and delete; the one that runs
// writes its name to options.command.
void AddMailboxCommands(CLI::App& app, MailboxOptions& options);

}  // namespace kovmail
