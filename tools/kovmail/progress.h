// The progress line of a transfer on the terminal: redrawn in place a few
// times a second, ended by a line break. Shows nothing when switched off
// (--quiet, or standard output is not a terminal).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace kovmail {

class Progress {
 public:
  // `total` is the expected byte count, 0 when unknown.
  Progress(std::string label, uint64_t total, bool shown);
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void Update(uint64_t done);
  // Draws the last state and ends the line.
  void Finish(uint64_t done);

 private:
  void Draw(uint64_t done);

  std::string label_;
  uint64_t total_;
  bool shown_;
  bool drawn_ = false;
  size_t width_ = 0;  // of the line on screen, to blank what a shorter one leaves
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace kovmail
