// Waiting for the library's channel the way an event loop does: on the
// socket and for the time kovWaitInfo names, so that kovmail uses no
// processor while the server is silent.
#pragma once

namespace kovmail {

// Waits until the channel's socket is ready, its next timer is due, or
// `capMs` passed (so that a progress line keeps moving), whichever is first.
void WaitForChannel(int channel, int capMs);

}  // namespace kovmail
