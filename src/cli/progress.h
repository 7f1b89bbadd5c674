// A one-line progress bar on the error stream, redrawn in place with a carriage return.
// It stays silent for short jobs and where no one watches a terminal.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ostream>

namespace cli {

class ProgressBar {
 public:
  // Jobs that end sooner than this never show a bar.
  static constexpr std::chrono::milliseconds kQuietPeriod{300};
  // Redraws are at most this often, so the bar never slows the copy down.
  static constexpr std::chrono::milliseconds kRedrawInterval{100};

  ProgressBar(std::ostream& out, bool enabled);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // `done` of `total` bytes. The quiet period starts with the first call.
  void update(std::uint64_t done, std::uint64_t total);
  // Wipes the bar, if one was drawn, so the line is free for what follows.
  void finish();

 private:
  void draw(std::uint64_t done, std::uint64_t total);

  std::ostream& out_;
  bool enabled_;
  bool started_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
  std::size_t drawn_width_ = 0;  // 0 while nothing is on the line
};

}  // namespace cli
