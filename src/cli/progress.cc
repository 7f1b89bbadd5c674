#include "cli/progress.h"

#include <cstdio>
#include <string>
#include <utility>

namespace cli {
namespace {

constexpr int kBarCells = 30;

std::string mebibytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

}  // namespace

ProgressBar::ProgressBar(std::ostream& out, bool enabled) : out_(out), enabled_(enabled) {}

ProgressBar::~ProgressBar() {
  finish();
}

void ProgressBar::update(std::uint64_t done, std::uint64_t total) {
  if (!enabled_) return;
  auto now = std::chrono::steady_clock::now();
  if (!started_) {
    started_ = true;
    start_ = now;
    return;
  }
  if (now - start_ < kQuietPeriod) return;
  if (drawn_width_ != 0 && now - last_draw_ < kRedrawInterval && done < total) return;
  last_draw_ = now;
  draw(done, total);
}

void ProgressBar::draw(std::uint64_t done, std::uint64_t total) {
  if (done > total) done = total;
  // Whole numbers only: a 2 GB job times 1000 stays far inside 64 bits.
  std::uint64_t per_mille = total == 0 ? 1000 : done * 1000 / total;
  int cells = static_cast<int>(per_mille * kBarCells / 1000);
  std::string percent = std::to_string(per_mille / 10);
  // Appended piece by piece: "literal" + temporary trips a false -Wrestrict in GCC 12.
  std::string line;
  line += '[';
  line.append(static_cast<std::size_t>(cells), '#');
  line.append(static_cast<std::size_t>(kBarCells - cells), '-');
  line += "] ";
  line.append(3 - percent.size(), ' ');
  line += percent;
  line += "%  ";
  line += mebibytes(done);
  line += '/';
  line += mebibytes(total);
  line += " MiB";
  // Pad over a longer earlier line instead of relying on terminal escape codes.
  std::size_t width = line.size();
  if (width < drawn_width_) line += std::string(drawn_width_ - width, ' ');
  out_ << '\r' << line << std::flush;
  if (width > drawn_width_) drawn_width_ = width;
}

void ProgressBar::finish() {
  if (drawn_width_ == 0) return;
  out_ << '\r' << std::string(drawn_width_, ' ') << '\r' << std::flush;
  drawn_width_ = 0;
}

}  // namespace cli
