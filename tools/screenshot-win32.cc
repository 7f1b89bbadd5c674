// Sets the scenes of tools/screenshot-win32.sh, one per run (--gtest_filter=*/NAME): the
// product's window with a book name and three titles added through the real open-file
// dialog, the second one selected; or an e-book of the same three opened by its reader;
// each at 96 and 144 dpi. Writes the window's outer rectangle to WORK\screenshot-rect.txt
// and keeps the window until WORK\screenshot-done exists.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "builder/build.h"
#include "gui_kit.h"
#include "stub/window_ids.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

void show(HWND window) {
  ASSERT_TRUE(window);
  gui::bring_to_front(window);
  SetCursorPos(0, 0);  // out of the picture
  RECT outer{};
  GetWindowRect(window, &outer);
  const fs::path done = gui::work_dir / L"screenshot-done";
  fs::remove(done);
  std::ofstream(gui::work_dir / L"screenshot-rect.txt")
      << outer.left << ' ' << outer.top << ' ' << outer.right - outer.left << ' '
      << outer.bottom - outer.top << '\n';
  EXPECT_TRUE(gui::wait_until([&] { return fs::exists(done); }, 60000));
}

struct Scene {
  const char* name;
  bool reader;
  int dpi;
};

class Screenshot : public testing::TestWithParam<Scene> {};

TEST_P(Screenshot, Scene) {
  const fs::path docs = gui::work_dir / L"screenshot-docs";
  fs::remove_all(docs);
  fs::create_directories(docs);
  builder::BuildRequest request{"示例电子书",
                                {},
                                gui::utf8(docs.wstring()),
                                gui::utf8((gui::product_dir / L"books.ini").wstring()),
                                {}};
  std::uint32_t seed = 0;
  for (const char* title : {"第一章 总论", "第二章 方法与实例", "附录 参考资料"}) {
    request.entries.push_back({title, gui::utf8(docs.wstring()) + "\\" + title + ".pdf"});
    testing_support::write_file(request.entries.back().path,
                                testing_support::pattern_bytes(4096, ++seed));
  }
  if (GetParam().reader) {
    const builder::BuildResult built = builder::write_ebook(request);
    gui::Process book;
    ASSERT_TRUE(built.ok && book.start(gui::wide(built.output_path), GetParam().dpi));
    show(book.wait_window(stub::window::kClassName));
    return;
  }
  gui::App app(gui::work_dir / L"screenshot");
  ASSERT_TRUE(app.open(GetParam().dpi));
  app.set_book_name(gui::wide(request.book_name));
  for (const auto& entry : request.entries) ASSERT_TRUE(app.add_file(gui::wide(entry.path)));
  app.select(1);
  show(app.form());
}

const Scene kScenes[] = {{"window_96dpi", false, 96},
                         {"window_144dpi", false, 144},
                         {"reader_96dpi", true, 96},
                         {"reader_144dpi", true, 144}};
INSTANTIATE_TEST_SUITE_P(Scenes, Screenshot, testing::ValuesIn(kScenes),
                         [](const auto& scene) { return std::string(scene.param.name); });

}  // namespace
