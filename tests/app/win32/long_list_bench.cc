// Not a test but a measurement, left out of the suite (DISABLED_) and run by
// bench/win32-window.sh: the window with a long list, through its own controls and the
// real folder browser.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "gui_kit.h"

namespace {

using app::layout::Role;
using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Adding a folder, from the click to the last title shown, including the browser.
double add_folder_ms(const gui::App& app, const std::wstring& name, int expected) {
  const auto start = Clock::now();
  EXPECT_TRUE(app.add_desktop_folder(name));
  app.settle();
  const double ms = ms_since(start);
  EXPECT_EQ(static_cast<int>(app.titles().size()), expected);
  return ms;
}

double click_ms(const gui::App& app, Role role) {
  const auto start = Clock::now();
  app.click(role);
  return ms_since(start);
}

TEST(DISABLED_Bench, LongList) {
  const int count = 20000;
  const std::wstring small = L"tarvello-bench-1", large = L"tarvello-bench-20000";
  const std::wstring small_dir = gui::join(gui::desktop_folder(), small);
  const std::wstring large_dir = gui::join(gui::desktop_folder(), large);
  gui::remove_tree(small_dir);
  gui::make_dirs(small_dir);
  ASSERT_TRUE(gui::write_bytes(gui::join(small_dir, L"a.pdf"), "%PDF-1.4\n"));
  gui::remove_tree(large_dir);
  gui::make_dirs(large_dir);
  for (int i = 0; i < count; ++i) {
    ASSERT_TRUE(
        gui::write_bytes(gui::join(large_dir, std::to_wstring(10000 + i) + L".pdf"), "%PDF-1.4\n"));
  }

  gui::App app(L"bench");
  ASSERT_TRUE(app.start());
  add_folder_ms(app, small, 1);  // the browser's first start costs more
  app.click(Role::clear);
  const double one = add_folder_ms(app, small, 1);
  app.click(Role::clear);
  const double many = add_folder_ms(app, large, count);
  app.select(count - 1);
  const double up = click_ms(app, Role::move_up);
  const double down = click_ms(app, Role::move_down);
  const double del = click_ms(app, Role::delete_file);
  const double clear = click_ms(app, Role::clear);
  std::printf("add folder of 1: %.0f ms (the browser alone)\n", one);
  std::printf("add folder of %d: %.0f ms\n", count, many);
  std::printf("move up, move down, delete at the end of the list: %.1f, %.1f, %.1f ms\n", up, down,
              del);
  std::printf("clear: %.1f ms\n", clear);
  gui::remove_tree(small_dir);
  gui::remove_tree(large_dir);
}

}  // namespace
