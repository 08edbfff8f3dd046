// The channel operations beside the protocols (control.cpp): a raw command,
// closing with QUIT, aborting. The Prepare functions take arguments their
// export has checked and give the first state, 0 when there is nothing to
// run, or the code the export returns.
#pragma once

#include "api/context.h"

// The longest command kovCommand sends: the width of UserCommand.
constexpr int kCommandField = 32;

// Keeps the command line (at most kCommandField characters, which its export
// has checked); the command state of the channel's kind (SMTP 298, POP3
// 398), or -56 before the channel connected.
int PrepareCommand(ChannelContext& c, const char* text);

// Closes the channel's files; QUIT (258) while its connection is open. A
// connection the server has ended, or one inside an unfinished message, is
// closed at once without QUIT (0).
int PrepareClose(ChannelContext& c);
// After an automatically driven close: the channel's texts freed, its kind
// forgotten. Returns rc.
int FinishClose(ChannelContext& c, int rc);

// Ends what the channel does at once, without QUIT: files and socket
// closed, the next operation driven automatically.
void AbortOperation(ChannelContext& c);
