// The SMTP and POP3 reply readers. The frame calls them for reply rows once
// data has arrived; the result goes to the step.
#pragma once

#include "api/context.h"

// 0 (complete, code below 500), -49 (code 500 or more; the rest of the reply
// is still read while it keeps coming), -31 (reply too long), -1 (closed or
// reset before the reply was complete), -8 (the final line did not come in
// time) or another negative socket-layer code.
int ReadSmtpReply(ChannelContext& c);
// 0 ("+"), -63 (other status), -8 (no data within ReadWait, or the line was
// not finished in time), -1 (closed before the line was complete) or another
// negative socket-layer code.
int ReadPop3Reply(ChannelContext& c);
