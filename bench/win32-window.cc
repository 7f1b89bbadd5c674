// The product's window with a list of 20,000 titles, through its own controls and the real
// folder browser: adding the folder, then moving, deleting and clearing at the end of the
// list. Run by bench/win32-window.sh; the figures are in bench/README.md.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

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
double add_folder_ms(const gui::App& app, const std::wstring& name, std::size_t expected) {
  const auto start = Clock::now();
  EXPECT_TRUE(app.add_folder(name));
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
  const std::wstring small = L"tarvello-bench-1", large = L"tarvello-bench-20000";
  for (const auto& [name, files] : {std::pair{small, std::size_t{1}}, std::pair{large, count}}) {
    const fs::path dir = gui::desktop() / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (std::size_t i = 0; i < files; ++i) {
      testing_support::write_file(
          gui::utf8((dir / (std::to_wstring(10000 + i) + L".pdf")).wstring()), "%PDF-1.4\n");
    }
  }
  gui::App app(gui::paths().work / L"bench");
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
  for (const std::wstring& name : {small, large}) fs::remove_all(gui::desktop() / name);
}

}  // namespace
