// gui_driver: runs Tarvello.exe and works its window from outside.
//
//   gui_driver --exe=PATH --work=DIR [gtest options]   the GUI tests
//   gui_driver screenshot --exe=PATH --work=DIR        a window with a few titles, held
//                                                      open until DIR\screenshot-done exists
//   gui_driver record FILE ADDRESS                     appends ADDRESS to FILE (the shell
//                                                      runs this for every web address)
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "gui_kit.h"

namespace {

using app::layout::Role;
using gui::App;

// Sets the scene for tools/screenshot-win32.sh: a book name, three titles added through
// the real open-file dialog, the second one selected. Writes the window's outer rectangle
// to DIR\screenshot-rect.txt and waits for DIR\screenshot-done.
int screenshot() {
  const std::wstring docs = gui::join(gui::paths().work, L"screenshot-docs");
  gui::remove_tree(docs);
  gui::make_dirs(docs);
  const wchar_t* names[] = {L"第一章 总论.pdf", L"第二章 方法与实例.pdf", L"附录 参考资料.pdf"};
  unsigned seed = 1;
  for (const wchar_t* name : names)
    gui::write_bytes(gui::join(docs, name), gui::pattern(4096, seed++));

  App app(L"screenshot");
  if (!app.start()) return 1;
  app.set_book_name(L"示例电子书");
  for (const wchar_t* name : names) {
    if (!app.add_file(gui::join(docs, name))) return 1;
  }
  app.select(1);
  gui::bring_to_front(app.form());
  gui::move_mouse({0, 0});
  app.settle();

  RECT outer{};
  GetWindowRect(app.form(), &outer);
  const std::string rect = std::to_string(outer.left) + " " + std::to_string(outer.top) + " " +
                           std::to_string(outer.right - outer.left) + " " +
                           std::to_string(outer.bottom - outer.top) + "\n";
  const std::wstring done = gui::join(gui::paths().work, L"screenshot-done");
  DeleteFileW(done.c_str());
  gui::write_bytes(gui::join(gui::paths().work, L"screenshot-rect.txt"), rect);
  if (!gui::wait_until([&] { return gui::exists(done); }, 60000)) return 1;
  return 0;
}

std::wstring folder_of(const std::wstring& path) {
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wstring(argv[1]) == L"record") {
    return gui::record_address(argv[2], argv[3]);
  }
  testing::InitGoogleTest(&argc, argv);
  bool want_screenshot = false;
  gui::Paths& paths = gui::paths();
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg.rfind(L"--exe=", 0) == 0) {
      paths.exe = gui::windows_path(arg.substr(6));
    } else if (arg.rfind(L"--work=", 0) == 0) {
      paths.work = gui::windows_path(arg.substr(7));
    } else if (arg == L"screenshot") {
      want_screenshot = true;
    } else {
      std::fprintf(stderr, "unknown argument: %s\n", gui::utf8(arg).c_str());
      return 2;
    }
  }
  if (paths.exe.empty() || paths.work.empty()) {
    std::fprintf(stderr, "usage: gui_driver --exe=PATH --work=DIR [screenshot]\n");
    return 2;
  }
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  paths.self = self;
  paths.stub = gui::join(folder_of(paths.exe), L"books.ini");
  paths.record = gui::join(paths.work, L"addresses.txt");
  gui::make_dirs(paths.work);
  if (!gui::install_address_recorder()) {
    std::fprintf(stderr, "cannot register the address recorder\n");
    return 2;
  }
  if (want_screenshot) return screenshot();
  return RUN_ALL_TESTS();
}
