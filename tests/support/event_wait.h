// Waiting the way an application's event loop does after kovDriver returned
// KOV_MORE: on the socket kovWaitInfo names, for what it names, at most for
// the time it gives (and never longer than `capMs`).
#pragma once

// Waits with select(); false when kovWaitInfo refused (its code is lost).
bool WaitAsTold(int channel, int capMs);
