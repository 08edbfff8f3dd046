#include "progress.h"

#include <cstdio>
#include <utility>

#include "progress_text.h"

namespace kovmail {

namespace {

constexpr std::chrono::milliseconds kRedrawInterval(200);

}  // namespace

Progress::Progress(std::string label, uint64_t total, bool shown)
    : label_(std::move(label)), total_(total), shown_(shown), start_(std::chrono::steady_clock::now()) {}

void Progress::Update(uint64_t done) {
  if (!shown_) return;
  auto now = std::chrono::steady_clock::now();
  if (drawn_ && now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  Draw(done);
}

void Progress::Finish(uint64_t done) {
  if (!shown_) return;
  Draw(done);
  fputc('\n', stdout);
  fflush(stdout);
}

void Progress::Draw(uint64_t done) {
  auto elapsed = std::chrono::steady_clock::now() - start_;
  auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
  std::string line = ProgressLine(label_, done, total_, static_cast<uint64_t>(elapsedMs));
  size_t width = line.size();
  if (width < width_) line.append(width_ - width, ' ');
  width_ = width;
  fprintf(stdout, "\r%s", line.c_str());
  fflush(stdout);
  drawn_ = true;
}

}  // namespace kovmail
