// A test fixture with the library attached, process-wide settings restored
// afterwards, and helpers to read a channel's log.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "api/library.h"
#include "engine/frame/settings.h"
#include "support/temp_dir.h"

class AttachedLibrary : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Opens a log for the channel through string parameter 20; returns its path.
  std::string OpenLog(int channel, const std::string& name = "channel.log");
  std::string LogOf(const std::string& path) const { return ReadFile(path); }

  TempDir dir;

 private:
  Settings saved_;
};
