#include "cli/progress.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>

namespace {

using std::chrono::milliseconds;
using Time = std::chrono::steady_clock::time_point;

struct FakeClock {
  Time now{};
  void advance(int ms) { now += milliseconds(ms); }
  cli::ProgressBar::Clock clock() {
    return [this] { return now; };
  }
};

TEST(ProgressBar, ShowsOnlyForLongJobsAndWipesItselfAtTheEnd) {
  FakeClock time;
  std::ostringstream err;
  cli::ProgressBar bar(err, true, time.clock());

  bar.update(0, 200);
  time.advance(250);
  bar.update(10, 200);
  EXPECT_EQ(err.str(), "") << "nothing in the quiet period";

  time.advance(100);
  bar.update(100, 200);
  std::string first = err.str();
  EXPECT_EQ(first.find('\r'), 0u);
  EXPECT_NE(first.find("[###############---------------]  50%"), std::string::npos) << first;
  EXPECT_EQ(first.find('\n'), std::string::npos) << "the line is redrawn, never ended";

  time.advance(10);
  bar.update(120, 200);
  EXPECT_EQ(err.str(), first) << "redraws are spaced out";
  bar.update(200, 200);
  EXPECT_NE(err.str().find("100%"), std::string::npos) << "the end is always drawn";

  std::string before_finish = err.str();
  bar.finish();
  std::string wipe = err.str().substr(before_finish.size());
  std::size_t width = before_finish.size() - before_finish.rfind('\r') - 1;
  EXPECT_EQ(wipe, "\r" + std::string(width, ' ') + "\r");
  bar.finish();
  EXPECT_EQ(err.str().size(), before_finish.size() + wipe.size()) << "wiped once";
}

TEST(ProgressBar, SilentWhereNobodyWatchesOrTheJobIsShort) {
  FakeClock time;
  std::ostringstream err;
  {
    cli::ProgressBar bar(err, false, time.clock());
    bar.update(0, 10);
    time.advance(5000);
    bar.update(5, 10);
  }
  {
    cli::ProgressBar bar(err, true, time.clock());
    bar.update(0, 10);
    time.advance(100);
    bar.update(10, 10);
  }
  EXPECT_EQ(err.str(), "");
}

}  // namespace
