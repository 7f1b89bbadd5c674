// The window of the 32-bit product under Wine, as a person meets it: one scenario from a
// book name to a finished e-book, through the system's own dialogs or a drop, in rows for
// the screen's dpi and the system's code page, and rows that end in a failure or in a
// close mid-build; the refusal to start without the reader; and the manifest both programs
// carry.
#include <algorithm>
#include <map>

#include "app/commands.h"
#include "gui_kit.h"
#include "links/code_list.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace {

using namespace gui;
using namespace testing_support;
using app::layout::Control;

// The window as the table lays it out at `dpi`: the client area, every control's
// rectangle, text in faces of the size the dpi gives them; and on the screen, once it is
// drawn, the separator's lines across the window and the banner, scaled, filling its box.
// First, when `moved`, the window is told that its screen's dpi became `dpi`.
void expect_layout(const App& app, int dpi, bool moved = false) {
  SCOPED_TRACE(std::to_string(dpi) + " dpi");
  const auto px = [dpi](int twips) { return app::layout::to_pixels(twips, dpi); };
  ASSERT_TRUE(
      !moved ||
      change_dpi(app.form(), dpi, {px(app::layout::kClientWidth), px(app::layout::kClientHeight)}));
  RECT client{};
  GetClientRect(app.form(), &client);
  EXPECT_EQ((std::array{client.right, client.bottom}),
            (std::array<LONG, 2>{px(app::layout::kClientWidth), px(app::layout::kClientHeight)}));
  for (const Control& c : app::layout::controls()) {
    if (c.kind == app::layout::Kind::line) continue;
    SCOPED_TRACE(c.name);
    HWND hwnd = GetDlgItem(app.form(), c.id);
    EXPECT_EQ(hwnd && IsWindowVisible(hwnd), c.visible);
    if (c.visible) expect_place(hwnd, px(c.left), px(c.top), px(c.width), px(c.height));
  }
  expect_rows_scaled(app.item(Role::titles), dpi);
  ASSERT_TRUE(bring_to_front(app.form()));
  std::string faults;  // each one seen, in words
  const auto drawn = [&] {
    faults.clear();
    for (Role role : {Role::separator_shadow, Role::separator_light}) {
      const Control& line = app::layout::control(role);
      const auto row =
          grab(app.form(), {0, px(line.top), px(app::layout::kClientWidth), px(line.top) + px(15)});
      if (std::ranges::count(row, RGB(line.colour->r, line.colour->g, line.colour->b)) !=
          std::ssize(row))
        faults += std::string(line.name) + " is not one line across the window; ";
    }
    RECT inside{};
    GetClientRect(app.item(Role::banner), &inside);
    const auto [right, bottom] = std::pair{inside.right, inside.bottom};
    for (RECT edge : {RECT{right - 1, 0, right, bottom}, RECT{0, bottom - 1, right, bottom}})
      if (std::ranges::count(grab(app.item(Role::banner), edge), GetSysColor(COLOR_BTNFACE)))
        faults += "the banner falls short; ";
    return faults.empty();
  };
  EXPECT_TRUE(wait_until(drawn, 5000)) << faults;
}

// One run of the scenario: the window, the PDFs it may be given, by title, and the titles
// the list should show, in book order.
struct Scenario {
  fs::path docs, shelf;  // a folder for the loose PDFs, and one for the folder browser
  App app;
  std::map<std::wstring, fs::path> pdfs = {};
  std::vector<std::wstring> book = {};
};

// Through the open-file dialog and the folder browser, then 下移 on the first title.
void add_through_dialogs(Scenario& s) {
  ASSERT_TRUE(s.app.add_file(s.pdfs[L"第一章 总论"]));
  ASSERT_TRUE(s.app.add_folder(s.shelf));
  s.app.select(0);
  s.app.click(Role::move_down);
  s.book = {L"第二章 方法", L"第一章 总论", L"附录"};
}

// Dropped from Explorer all at once: a folder, whose PDFs come as 添加文件夹 adds them, and
// two loose PDFs, in the natural order of their names.
void add_by_drop(Scenario& s) {
  EXPECT_TRUE(GetWindowLongW(s.app.form(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  s.app.drop({s.pdfs[L"草稿"], s.shelf, s.pdfs[L"第一章 总论"]});
  s.book = {L"第二章 方法", L"附录", L"第一章 总论", L"草稿"};
}

// Then from the keyboard, on a clicked row: Delete, Ctrl+Up and Ctrl+Down do what the
// buttons do. The selection shows when the window has taken the keys.
void add_by_drop_reorder_with_keys(Scenario& s) {
  // A path longer than the build's file calls take is refused at once, and said so.
  const fs::path deep = s.docs / std::wstring(MAX_PATH, L'长');
  s.app.drop({deep}, true);
  const auto message = wait_message(s.app.pid());
  ASSERT_TRUE(message);
  EXPECT_EQ(message->text,
            wide(platform::fill(app::texts::kPathTooLong, {"259"})) + deep.wstring());
  ASSERT_TRUE(press(message->hwnd, IDOK));
  add_by_drop(s);
  ASSERT_TRUE(bring_to_front(s.app.form()));
  const auto step = [&](int row, std::initializer_list<BYTE> keys, int selected,
                        std::vector<std::wstring> book) {
    if (row >= 0) s.app.click_row(row);
    press_keys(keys);
    const auto taken = [&] { return send(s.app.item(Role::titles), LB_GETCURSEL) == selected; };
    EXPECT_TRUE(wait_until(taken)) << "key " << int{keys.end()[-1]};
    EXPECT_EQ(s.app.titles(), s.book = book);
  };
  step(3, {VK_DELETE}, -1, {L"第二章 方法", L"附录", L"第一章 总论"});
  step(2, {VK_CONTROL, VK_UP}, 1, {L"第二章 方法", L"第一章 总论", L"附录"});
  step(-1, {VK_CONTROL, VK_DOWN}, 2, {L"第二章 方法", L"附录", L"第一章 总论"});
}

// Builds, and answers the window's message that ends the build, which says `said`; by
// then the caption is the plain one again.
void build(Scenario& s, const std::wstring& said) {
  s.app.post_click(Role::build);
  const auto message = wait_message(s.app.pid(), 30000);
  ASSERT_TRUE(message);
  EXPECT_EQ(message->text, said);
  EXPECT_EQ(message->owner, s.app.form());
  EXPECT_EQ(window_text(s.app.form()), wide(app::caption()));
  ASSERT_TRUE(press(message->hwnd, IDOK));
}

// Then the e-book, byte for byte: the reader beside the window, then each PDF under its
// title in the list's order, the index and the trailer.
void build_and_read_back(Scenario& s) {
  ASSERT_NO_FATAL_FAILURE(build(s, wide(app::texts::kBuilt)));
  std::vector<std::pair<std::string, std::string>> pdfs;
  for (const auto& title : s.book) pdfs.emplace_back(utf8(title), contents(s.pdfs[title]));
  EXPECT_TRUE(contents(s.app.folder() / L"我的书.exe") ==
              forge_book("我的书", pdfs, contents(s.app.folder() / L"books.ini")));
}

// The second PDF moved away after it was added: the message names it, and the build
// leaves nothing behind.
void fail_on_a_moved_pdf(Scenario& s) {
  const fs::path moved = s.pdfs[s.book[1]];
  fs::rename(moved, s.docs / L"moved.pdf");
  ASSERT_NO_FATAL_FAILURE(
      build(s, L"找不到 PDF 文件“" + moved.wstring() +
                   L"”，它可能已被移动、改名或删除。请把它从列表中删除后重新添加。"));
  EXPECT_EQ(listing(utf8(s.app.folder().wstring())), "Tarvello.exe books.ini");
}

// A sparse PDF of two gigabytes: while it is built the caption counts and clicks on the
// list and a button and Alt+Backspace (the name's undo) change nothing; a close then stops
// the build, which leaves nothing, and the process ends.
void close_mid_build(Scenario& s) {
  HWND name = s.app.item(Role::book_name);
  s.app.set_book_name(L"的书");
  PostMessageW(name, WM_CHAR, L'我', 1);  // typed where the caret stands, at the start
  ASSERT_TRUE(wait_until([&] { return window_text(name) == L"我的书"; }));
  const fs::path big = s.docs / L"大.pdf";
  write_file(utf8(big.wstring()), "%PDF-1.4\n");
  fs::resize_file(big, 2000000000);
  s.app.drop({big});
  s.app.select(0);
  s.app.click(Role::build);
  std::vector<std::wstring> counting;
  for (int percent = 1; percent < 100; ++percent) counting.push_back(wide(app::caption(percent)));
  ASSERT_TRUE(wait_until([&] { return std::ranges::count(counting, window_text(s.app.form())); }))
      << utf8(window_text(s.app.form()));
  EXPECT_TRUE(fs::exists(s.app.folder() / L"我的书.txt"));
  const auto shown = s.app.titles();
  s.app.click_row(1, true);
  s.app.post_click(Role::clear);
  // Alt is down: bit 29 says so on Windows, bit 13 for Wine's edit control.
  PostMessageW(name, WM_SYSKEYDOWN, VK_BACK, 0x20002001);
  // Posted after the clicks: once it shows, the window's loop is past them.
  HWND list = s.app.item(Role::titles);
  PostMessageW(list, LB_SETITEMDATA, 0, 42);
  EXPECT_TRUE(wait_until([&] { return send(list, LB_GETITEMDATA) == 42; }));
  EXPECT_EQ(s.app.titles(), shown);
  EXPECT_EQ(send(list, LB_GETCURSEL), 0);
  EXPECT_EQ(window_text(name), L"我的书");
  PostMessageW(s.app.form(), WM_CLOSE, 0, 0);
  EXPECT_EQ(s.app.exit_code(30000), 0);
  EXPECT_EQ(listing(utf8(s.app.folder().wstring())), "Tarvello.exe books.ini");
}

struct Row {
  const char* name;
  int dpi;
  UINT code_page;          // the system's ANSI code page, from the locale Wine runs in
  std::vector<int> moves;  // the dpis of the screens the window is moved to, in turn
  // How a row gives the window its PDFs, and where it ends: an e-book, a failure or a
  // close mid-build.
  void (*add)(Scenario&) = add_through_dialogs;
  void (*finish)(Scenario&) = build_and_read_back;
};

const Row kRows[] = {
    {"chinese_96dpi", 96, 936, {144, 96}},
    // Chinese names where the system's code page has none of them.
    {"western", 96, 1252, {}},
    {"keys_and_drop_144dpi", 144, 936, {}, add_by_drop_reorder_with_keys},
    {"failure", 96, 936, {}, add_by_drop, fail_on_a_moved_pdf},
    {"close_mid_build", 96, 936, {}, add_by_drop, close_mid_build},
};

class Window : public testing::TestWithParam<Row> {};

TEST_P(Window, FromABookNameToAnEbook) {
  const Row& row = GetParam();
  ASSERT_EQ(GetACP(), row.code_page) << "the western row runs under TARVELLO_LOCALE=en_US.UTF-8";
  const fs::path home = work_dir / row.name;
  fs::remove_all(home);
  Scenario s{home / L"docs", home / L"书库", App(home / L"app")};
  for (const fs::path& folder : {s.docs, s.shelf}) fs::create_directories(folder);
  int size = 7;
  for (const auto& [folder, title] :
       {std::pair{s.docs, L"第一章 总论"}, std::pair{s.shelf, L"第二章 方法"},
        std::pair{s.shelf, L"附录"}, std::pair{s.docs, L"草稿"}}) {
    s.pdfs[title] = folder / (title + std::wstring(L".pdf"));
    write_file(utf8(s.pdfs[title].wstring()), pattern_bytes(size *= 11, s.pdfs.size()));
  }

  ASSERT_TRUE(s.app.open(row.dpi));
  s.app.set_book_name(L"我的书");
  expect_layout(s.app, row.dpi);
  // Laid out afresh from the table on each screen it is moved to.
  for (int dpi : row.moves) ASSERT_NO_FATAL_FAILURE(expect_layout(s.app, dpi, true));
  ASSERT_NO_FATAL_FAILURE(row.add(s));
  EXPECT_EQ(s.app.titles(), s.book);
  row.finish(s);
}

INSTANTIATE_TEST_SUITE_P(Rows, Window, testing::ValuesIn(kRows),
                         [](const auto& row) { return std::string(row.param.name); });

// Without the reader beside it: the message, the home page once it is dismissed, and the
// end, the window never shown.
TEST(Startup, WithoutTheReaderRefusesToStart) {
  App app(work_dir / L"no-reader", false);
  fs::remove(record_file);
  ASSERT_TRUE(app.start(app.folder() / L"Tarvello.exe"));
  const auto message = wait_message(app.pid(), 20000);
  ASSERT_TRUE(message);
  EXPECT_EQ(message->title, wide(app::texts::kMessageTitle));
  EXPECT_EQ(message->text, wide(app::texts::kReaderLost));
  EXPECT_EQ(message->buttons, std::vector<int>{IDOK});
  EXPECT_FALSE(wait_dialog(app.pid(), nullptr, nullptr, 0, win32::kFormClass)) << "a window shows";
  EXPECT_TRUE(recorded().empty()) << "the home page opens only after OK";
  ASSERT_TRUE(press(message->hwnd, IDOK));
  EXPECT_EQ(app.exit_code(), 0);
  EXPECT_EQ(recorded(1), std::vector<std::string>{links::home_page_address()});
}

// Both programs carry the manifest; its effects are the layout rows' business.
TEST(Resources, BothProgramsCarryTheirManifest) {
  for (const wchar_t* program : {L"Tarvello.exe", L"books.ini"}) {
    HMODULE module =
        LoadLibraryExW((product_dir / program).c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    EXPECT_TRUE(module && FindResourceW(module, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST))
        << utf8(program);
    FreeLibrary(module);
  }
}

}  // namespace
