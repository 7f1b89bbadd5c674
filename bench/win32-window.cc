// The product's window driven from outside; run by bench/win32-window.sh, the figures are
// in bench/README.md.
//
// Bench.LongList: a list of 20,000 titles, through its own controls and the real folder
// browser: adding the folder, then moving, deleting and clearing at the end of the list.
//
// Bench.Freeze: how long the window goes without answering while it builds an e-book of
// 2,000 MB from 20 sparse PDFs of 100 MB (BENCH_RUNS builds, 5 unless told). From the
// click on 生成PDF电子书 until its message shows, the driver asks the window for WM_NULL
// every 2 ms and times each answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gui_kit.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using app::layout::Role;
using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Adding a folder, from the click to the last title shown, including the browser.
double add_folder_ms(const gui::App& app, const fs::path& folder, std::size_t expected) {
  const auto start = Clock::now();
  EXPECT_TRUE(app.add_folder(folder));
  const double ms = ms_since(start);
  EXPECT_EQ(app.titles().size(), expected);
  return ms;
}

double click_ms(const gui::App& app, Role role) {
  const auto start = Clock::now();
  app.click(role);
  return ms_since(start);
}

TEST(Bench, LongList) {
  const std::size_t count = 20000;
  const fs::path small = gui::work_dir / L"bench-1", large = gui::work_dir / L"bench-20000";
  for (const auto& [dir, files] : {std::pair{small, std::size_t{1}}, std::pair{large, count}}) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (std::size_t i = 0; i < files; ++i) {
      testing_support::write_file(
          gui::utf8((dir / (std::to_wstring(10000 + i) + L".pdf")).wstring()), "%PDF-1.4\n");
    }
  }
  gui::App app(gui::work_dir / L"bench");
  ASSERT_TRUE(app.open());
  add_folder_ms(app, small, 1);  // the browser's first start costs more
  app.click(Role::clear);
  const double one = add_folder_ms(app, small, 1);
  app.click(Role::clear);
  const double many = add_folder_ms(app, large, count);
  app.select(static_cast<int>(count) - 1);
  const double up = click_ms(app, Role::move_up);
  const double down = click_ms(app, Role::move_down);
  const double del = click_ms(app, Role::delete_file);
  const double clear = click_ms(app, Role::clear);
  std::printf("add folder of 1: %.0f ms (the browser alone)\n", one);
  std::printf("add folder of %zu: %.0f ms\n", count, many);
  std::printf("move up, move down, delete at the end of the list: %.1f, %.1f, %.1f ms\n", up, down,
              del);
  std::printf("clear: %.1f ms\n", clear);
  for (const fs::path& dir : {small, large}) fs::remove_all(dir);
}

TEST(Bench, Freeze) {
  const fs::path docs = gui::work_dir / L"freeze-pdfs";
  fs::remove_all(docs);
  fs::create_directories(docs);
  for (int i = 1; i <= 20; ++i) {
    const fs::path pdf = docs / (L"第" + std::to_wstring(i) + L"章.pdf");
    testing_support::write_file(gui::utf8(pdf.wstring()), "%PDF-1.4\n");
    fs::resize_file(pdf, 100000000);  // sparse: nothing to write
  }
  gui::App app(gui::work_dir / L"freeze");
  ASSERT_TRUE(app.open());
  app.drop({docs});
  ASSERT_EQ(app.titles().size(), 20u);
  app.set_book_name(L"大书");
  const char* runs = std::getenv("BENCH_RUNS");
  for (int run = 1; run <= (runs ? std::atoi(runs) : 5); ++run) {
    fs::remove(app.folder() / L"大书.exe");
    std::vector<std::pair<double, double>> answers;  // when asked, from the click; how long
    std::optional<gui::Message> message;
    const auto start = Clock::now();
    app.post_click(Role::build);
    while (!(message = gui::wait_message(app.pid(), 0))) {
      const double asked = ms_since(start);
      DWORD_PTR result = 0;
      SendMessageTimeoutW(app.form(), WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result);
      answers.emplace_back(asked, ms_since(start) - asked);
      Sleep(2);
    }
    const double build = ms_since(start);
    ASSERT_EQ(message->text, L"已成功生成PDF电子书！");
    ASSERT_TRUE(gui::press(message->hwnd, IDOK));
    // The last tenth of a second holds the end: the window joins the build's thread and
    // makes its message box.
    std::vector<double> copying;
    for (const auto& [asked, ms] : answers) {
      if (asked < build - 100) copying.push_back(ms);
    }
    std::sort(copying.begin(), copying.end());
    const auto longest = *std::max_element(answers.begin(), answers.end(),
                                           [](auto a, auto b) { return a.second < b.second; });
    std::printf(
        "build %d: %.2f s, %zu answers; longest %.1f ms (asked at %.0f ms); before "
        "the last 100 ms: longest %.1f ms, 99th percentile %.1f ms, median %.2f ms\n",
        run, build / 1000, answers.size(), longest.second, longest.first, copying.back(),
        copying[copying.size() * 99 / 100], copying[copying.size() / 2]);
  }
  fs::remove(app.folder() / L"大书.exe");
  fs::remove_all(docs);
}

}  // namespace
