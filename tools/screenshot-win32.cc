// Sets the scenes of tools/screenshot-win32.sh, one per run (--gtest_filter=*/NAME): the
// product's window with a book name and three titles added through the real open-file
// dialog, the second one selected; or an e-book of the same three opened by its reader;
// each at 96 and 144 dpi; and the window building, held while its caption shows how far.
// Writes the window's outer rectangle to WORK\screenshot-rect.txt and keeps the window
// until WORK\screenshot-done exists.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/commands.h"
#include "builder/build.h"
#include "gui_kit.h"
#include "reader/window_ids.h"
#include "support/temp_dir.h"

// After windows.h, which gui_kit.h brings.
#include <tlhelp32.h>

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

// Holds every thread of process `pid` where it is, so its windows stay as they are shown.
void freeze(DWORD pid) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != pid) continue;
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
    SuspendThread(thread);
    CloseHandle(thread);
  }
  CloseHandle(snapshot);
}

struct Scene {
  const char* name;
  bool reader;
  int dpi;
  bool building = false;
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
    show(book.wait_window(reader::window::kClassName));
    return;
  }
  gui::App app(gui::work_dir / L"screenshot");
  ASSERT_TRUE(app.open(GetParam().dpi));
  app.set_book_name(gui::wide(request.book_name));
  for (const auto& entry : request.entries) ASSERT_TRUE(app.add_file(gui::wide(entry.path)));
  app.select(1);
  if (GetParam().building) {
    // Two sparse PDFs of a gigabyte more, built until the caption shows a quarter done,
    // then held there.
    std::vector<fs::path> big = {docs / L"第三章 大图.pdf", docs / L"第四章 大表.pdf"};
    for (const fs::path& pdf : big) {
      testing_support::write_file(gui::utf8(pdf.wstring()), "%PDF-1.4\n");
      fs::resize_file(pdf, 1000000000);
    }
    app.drop(big);
    app.click(app::layout::Role::build);
    ASSERT_TRUE(gui::wait_until([&] {
      const std::wstring caption = gui::window_text(app.form());
      for (int percent = 25; percent < 90; ++percent) {
        if (caption == gui::wide(app::caption(percent))) return true;
      }
      return false;
    }));
    freeze(app.pid());
  }
  show(app.form());
}

const Scene kScenes[] = {{"window_96dpi", false, 96},
                         {"window_144dpi", false, 144},
                         {"window_building", false, 96, true},
                         {"reader_96dpi", true, 96},
                         {"reader_144dpi", true, 144}};
INSTANTIATE_TEST_SUITE_P(Scenes, Screenshot, testing::ValuesIn(kScenes),
                         [](const auto& scene) { return std::string(scene.param.name); });

}  // namespace
