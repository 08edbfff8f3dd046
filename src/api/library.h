// The library frame behind the exports of exports_library.cpp: its version,
// the channel table and the check every channel function makes first,
// attach and release (library.cpp), the parameters (params.cpp), and what a
// channel reports (diagnostics.cpp).
#pragma once

#include "api/context.h"
#include "platform/platform.h"

// Version numbers: major in bits 8-15, minor in bits 4-7, patch in bits 0-3.
constexpr int kLibraryVersion = 0x0350;  // 3.5.0
constexpr int kLibraryBuild = 8;
constexpr int kSocketLayerVersion = 0x0105;  // 1.0.5
constexpr int kSocketLayerBuild = 1;

// 0 while the library is not attached, else the number of channels.
int ChannelCount();

// 0 when the channel may be used; -71 when the library is not attached,
// -73 when the number is negative or not below the channel count.
int CheckChannel(int channel);

// The record of a channel that passed CheckChannel.
ChannelContext& Channel(int channel);
// The table's entry of a channel number from 0 to kMaxChannels - 1, null when
// it holds no record.
ChannelContext* ChannelRecord(int channel);

// Starts the socket layer and creates `channels` records (0 to kMaxChannels,
// on a library not attached): 1, or the socket layer's code or -55 with
// nothing kept. With 0 channels the library stays not attached.
int AttachChannels(int channels);
// Closes what every channel still holds (files, connection, log) and frees
// the records; the library is not attached afterwards.
void ReleaseChannels();

// kovIntegerParam's and kovStringParam's work once the channel is checked and
// the call logged: 1 (a string parameter: its own result), or -1 for an
// unknown index.
int SetIntegerParam(ChannelContext& c, int index, int value);
int SetStringParam(ChannelContext& c, int index, const char* text);

// kovStatistics's value of a selector, -1 for an unknown one.
int ChannelStatistic(const ChannelContext& c, int selector);
// kovDebug's text of a selector, in a buffer of `size` bytes (1 or more)
// that holds an empty text: the characters placed; "?" and 0 for an unknown
// selector.
int ChannelDebugText(const ChannelContext& c, int selector, char* buffer, int size);
// kovDebug's check of channel -2: a box for every block whose guard bytes
// were overwritten.
void CheckMemory();

// The library lock: one critical section for the life of the loaded library.
// kovAttach and kovRelease hold it for their whole run; the process-wide
// settings are changed, and copied for an operation, only while it is held.
platform::Lock& LibraryLock();
