// Driving channels against the scripted loopback server: connecting a channel
// through the driver's connect states, and running an operation either
// automatically or by calling kovDriver step by step (manual mode).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/library_fixture.h"
#include "support/loopback_server.h"

struct ChannelContext;
// Starts the driver's states at `firstState` as an entry point starts its
// operation (the process-wide settings of now taken, timers cleared, driven
// to its end in automatic mode), without an entry line or argument checks.
int StartStates(ChannelContext& c, int firstState);

enum class DriveMode { kAutomatic, kManual, kSlowServer };

class DriverTest : public AttachedLibrary, public ::testing::WithParamInterface<DriveMode> {
 protected:
  void SetUp() override;

  // Whether the test runs in manual mode (AutoCall 0).
  bool Manual() const { return mode_ == DriveMode::kManual; }
  // Adds server bytes to a script: at once, or one byte at a time.
  void Reply(LoopbackServer& server, const std::string& bytes) const;

  // Starts the server and connects the channel to it as an SMTP ('S') or
  // POP3 ('P') channel; the result of the operation.
  int Connect(int channel, LoopbackServer& server, char kind = 'S');
  // Ends an operation begun by an entry point: in manual mode by calling
  // kovDriver until it returns 0 or a negative code; the states it returned
  // (9999 left out) are kept in `states`.
  int Finish(int channel, int entryResult);

  std::vector<int> states;

 private:
  DriveMode mode_ = DriveMode::kAutomatic;
};

// The test-name suffix of a mode.
std::string DriveModeName(const ::testing::TestParamInfo<DriveMode>& info);

// Drives a channel by hand until the operation ends, waiting between calls
// as kovWaitInfo says; the distinct results. Checks that no call blocks
// (kLongestDriverCallMs, generous for a loaded machine) and that a state
// number never comes back while the operation waits.
int DriveByHand(int channel, std::vector<int>& states);
constexpr uint32_t kLongestDriverCallMs = 250;
