// The SMTP and POP3 reply readers. The frame calls them for reply rows once
// data has arrived, and again while they answer kReplyPending (collect.h):
// they never wait in the system; the result goes to the step.
#pragma once

#include <cstdint>

#include "api/context.h"

// 0 (complete, code below 500), -49 (code 500 or more; the rest of the reply
// is still read while it keeps coming), -31 (reply too long), -1 (closed or
// reset before the reply was complete), -8 (the final line did not come in
// time) or another negative socket-layer code.
int ReadSmtpReply(ChannelContext& c, uint32_t now);
// 0 ("+"), -63 (other status), -31 (a status line that does not end within
// the 1,023-byte area), -8 (the line was not finished in time), -1 (closed
// before the line was complete) or another negative socket-layer code.
int ReadPop3Reply(ChannelContext& c, uint32_t now);
