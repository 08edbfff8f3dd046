// Process-wide settings: one copy per loaded library, kept across release
// and attach, changed through the parameter calls of any channel. An
// operation does not read them while it runs: it takes a copy when it starts
// (TakeSettings), under the library lock that every change also holds, so
// that a change made meanwhile through another channel, from another thread,
// counts from the next operation on and never splits one message between
// old and new values.
#pragma once

#include "api/context.h"
#include "api/settings_values.h"

inline Settings gSettings;

// Unicode mode (KOV_CHARSET "UTF-8" in any case; the parameter takes
// nothing else but ""): texts are UTF-8 in and out.
inline bool UnicodeMode(const Settings& settings) { return settings.Charset[0] != '\0'; }

// The MIME boundary of composed messages, renewed by every attach (under the library lock).
inline char Boundary[kBoundarySize] = "=====_KOV000000000_=====";

// The settings and the boundary as they are now, copied under the library lock.
OperationSettings SettingsNow();

// Gives the channel's record the settings of the operation it starts.
inline void TakeSettings(ChannelContext& c) { c.settings = SettingsNow(); }
