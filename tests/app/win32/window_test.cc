// The window of the 32-bit product under Wine, as a person meets it: one scenario from a
// book name to a finished e-book, through the system's own dialogs or a drop, in rows for
// the screen's dpi and the system's code page, and rows that end in a failure or in a
// close mid-build; the refusal to start without the reader; and what the two programs
// tell the system about themselves.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/commands.h"
#include "app/messages.h"
#include "app/win32/main_window.h"
#include "container/format.h"
#include "gui_kit.h"
#include "links/code_list.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using app::layout::Control;
using app::layout::Kind;
using app::layout::Role;
using gui::utf8;
using gui::wide;

constexpr SIZE kBanner{198, 222};  // assets/banner.jpg at 96 dpi

// What the screen shows where the table puts the separator's lines and the banner at
// `dpi`: each fault found, in words.
std::vector<std::string> looks(const gui::App& app, int dpi) {
  const auto px = [dpi](int twips) { return app::layout::to_pixels(twips, dpi); };
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  std::vector<std::string> faults;
  for (Role role : {Role::separator_shadow, Role::separator_light}) {
    const Control& line = app::layout::control(role);
    const auto row = gui::grab(
        app.form(), {0, px(line.top), px(app::layout::kClientWidth), px(line.top) + px(15)});
    if (std::count(row.begin(), row.end(), RGB(line.colour->r, line.colour->g, line.colour->b)) !=
        static_cast<long>(row.size())) {
      faults.push_back(std::string(line.name) + " is not one line across the window");
    }
  }
  // The picture, scaled with its box, reaches the box's right and bottom edges.
  RECT inside{};
  GetClientRect(app.item(Role::banner), &inside);
  const LONG right = std::min<LONG>(inside.right, MulDiv(kBanner.cx, dpi, 96));
  const LONG bottom = std::min<LONG>(inside.bottom, MulDiv(kBanner.cy, dpi, 96));
  for (RECT edge : {RECT{right - 1, 0, right, bottom}, RECT{0, bottom - 1, right, bottom}}) {
    const auto pixels = gui::grab(app.item(Role::banner), edge);
    if (std::count(pixels.begin(), pixels.end(), face)) faults.push_back("the banner falls short");
  }
  return faults;
}

// The window as the table lays it out at `dpi`: the client area, every control's
// rectangle, text in faces of the size the dpi gives them, and what the screen shows.
void expect_layout(const gui::App& app, int dpi) {
  SCOPED_TRACE(std::to_string(dpi) + " dpi");
  const auto px = [dpi](int twips) { return app::layout::to_pixels(twips, dpi); };
  RECT client{};
  GetClientRect(app.form(), &client);
  EXPECT_EQ(client.right, px(app::layout::kClientWidth));
  EXPECT_EQ(client.bottom, px(app::layout::kClientHeight));
  for (const Control& c : app::layout::controls()) {
    HWND hwnd = GetDlgItem(app.form(), c.id);
    if (c.kind == Kind::line) continue;
    EXPECT_EQ(hwnd && IsWindowVisible(hwnd), c.visible) << c.name;
    if (c.visible) {
      EXPECT_EQ(gui::place(hwnd),
                (std::array<LONG, 4>{px(c.left), px(c.top), px(c.left) + px(c.width),
                                     px(c.top) + px(c.height)}))
          << c.name;
    }
  }
  // A row of the list is a little taller than the em of its face at this dpi.
  const int em = MulDiv(app::layout::kDefaultFont.points, dpi, 72);
  const LRESULT row = SendMessageW(app.item(Role::titles), LB_GETITEMHEIGHT, 0, 0);
  EXPECT_TRUE(row >= em && row < 2 * em) << row << " pixels a row in a face of " << em;
  ASSERT_TRUE(gui::bring_to_front(app.form()));
  std::vector<std::string> faults;
  gui::wait_until([&] { return (faults = looks(app, dpi)).empty(); }, 5000);
  EXPECT_EQ(faults, std::vector<std::string>{});
}

// One run of the scenario: the window, and the PDFs it is given with the titles they
// should end as, in book order.
struct Scenario {
  fs::path docs;       // a folder for the loose PDF
  std::wstring shelf;  // a folder on the desktop, for the folder browser
  gui::App app;
  std::vector<std::pair<std::wstring, fs::path>> book;
};

void add_through_dialogs(Scenario& s) {
  std::wstring type;
  ASSERT_TRUE(s.app.add_file(s.docs / L"第一章 总论.pdf", &type));
  EXPECT_EQ(type, wide(app::text::kPdfFilterLabel));
  ASSERT_TRUE(s.app.add_folder(s.shelf));
  s.book = {{L"第一章 总论", s.docs / L"第一章 总论.pdf"},
            {L"第二章 方法", gui::desktop() / s.shelf / L"第二章 方法.pdf"},
            {L"附录", gui::desktop() / s.shelf / L"附录.pdf"}};
}

// Dropped from Explorer all at once: a folder, whose PDFs come as 添加文件夹 adds them, and
// two loose PDFs, taken in the natural order of their names.
void add_by_drop(Scenario& s) {
  EXPECT_TRUE(GetWindowLongW(s.app.form(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  const fs::path shelf = gui::desktop() / s.shelf;
  s.app.drop({s.docs / L"草稿.pdf", shelf, s.docs / L"第一章 总论.pdf"});
  s.book = {{L"第二章 方法", shelf / L"第二章 方法.pdf"},
            {L"附录", shelf / L"附录.pdf"},
            {L"第一章 总论", s.docs / L"第一章 总论.pdf"},
            {L"草稿", s.docs / L"草稿.pdf"}};
}

std::vector<std::wstring> titles(const Scenario& s) {
  std::vector<std::wstring> out;
  for (const auto& entry : s.book) out.push_back(entry.first);
  return out;
}

// From the keyboard, with a row clicked: Delete, Ctrl+Up and Ctrl+Down do what the
// buttons do. The selection shows when the window has taken the keys.
void reorder_with_keys(Scenario& s) {
  ASSERT_TRUE(gui::bring_to_front(s.app.form()));
  const auto step = [&](int row, std::initializer_list<WORD> keys, int selected,
                        std::vector<int> order) {
    if (row >= 0) s.app.click_row(row);
    gui::press_keys(keys);
    EXPECT_TRUE(gui::wait_until(
        [&] { return gui::send(s.app.item(Role::titles), LB_GETCURSEL) == selected; }))
        << "after key " << keys.end()[-1];
    const auto book = s.book;
    s.book.clear();
    for (int i : order) s.book.push_back(book[i]);
    EXPECT_EQ(s.app.titles(), titles(s));
  };
  step(3, {VK_DELETE}, -1, {0, 1, 2});
  step(2, {VK_CONTROL, VK_UP}, 1, {0, 2, 1});
  step(-1, {VK_CONTROL, VK_UP}, 0, {1, 0, 2});
  step(-1, {VK_CONTROL, VK_DOWN}, 1, {1, 0, 2});
}

void reorder_with_buttons(Scenario& s) {
  s.app.select(0);
  s.app.click(Role::move_down);
  std::swap(s.book[0], s.book[1]);
}

// Builds, then reads the e-book back: the reader beside the window at its head, and
// each PDF byte for byte under its title in the list's order.
void build_and_read_back(Scenario& s) {
  s.app.set_book_name(L"我的书");
  s.app.post_click(Role::build);
  const auto message = gui::wait_message(s.app.pid(), 30000);
  ASSERT_TRUE(message) << gui::describe_windows(s.app.pid());
  EXPECT_EQ(message->text, wide(app::text::kBuilt));
  EXPECT_EQ(message->owner, s.app.form());
  EXPECT_EQ(gui::window_text(s.app.form()), wide(app::caption()));
  ASSERT_TRUE(gui::dismiss(*message));

  const std::string path = utf8((s.app.folder() / L"我的书.exe").wstring());
  const auto read = container::read_book(path);
  ASSERT_EQ(read.error, container::ReadError::none) << container::describe(read);
  EXPECT_EQ(read.book->name, "我的书");
  const std::string bytes = gui::contents(s.app.folder() / L"我的书.exe");
  EXPECT_TRUE(bytes.starts_with(gui::contents(s.app.folder() / L"books.ini")));
  ASSERT_EQ(read.book->entries.size(), s.book.size());
  for (std::size_t i = 0; i < s.book.size(); ++i) {
    const container::IndexEntry& entry = read.book->entries[i];
    EXPECT_EQ(entry.title, utf8(s.book[i].first));
    EXPECT_TRUE(bytes.substr(entry.position - 1, entry.length) == gui::contents(s.book[i].second))
        << entry.title;
  }
}

std::string folder_listing(const Scenario& s) {
  return testing_support::listing(utf8(s.app.folder().wstring()));
}

// The second PDF moved away after it was added: the build names it, leaves nothing
// behind, and the caption is the plain one again.
void fail_on_a_moved_pdf(Scenario& s) {
  const std::string before = folder_listing(s);
  fs::rename(s.book[1].second, s.docs / L"moved.pdf");
  s.app.set_book_name(L"我的书");
  s.app.post_click(Role::build);
  const auto message = gui::wait_message(s.app.pid(), 30000);
  ASSERT_TRUE(message) << gui::describe_windows(s.app.pid());
  EXPECT_EQ(message->text, L"找不到 PDF 文件“" + s.book[1].second.wstring() +
                               L"”，它可能已被移动、改名或删除。请把它从列表中删除后重新添加。");
  EXPECT_EQ(gui::window_text(s.app.form()), wide(app::caption()));
  ASSERT_TRUE(gui::dismiss(*message));
  EXPECT_EQ(folder_listing(s), before);
}

// Two sparse PDFs of a gigabyte: while they are built the caption counts and clicks on the
// controls change nothing; a close then stops the build, which leaves nothing, and the
// process ends.
void close_mid_build(Scenario& s) {
  const std::string before = folder_listing(s);
  std::vector<fs::path> big;
  for (const wchar_t* name : {L"大1.pdf", L"大2.pdf"}) {
    big.push_back(s.docs / name);
    testing_support::write_file(utf8(big.back().wstring()), "%PDF-1.4\n");
    fs::resize_file(big.back(), 1000000000);
  }
  s.app.drop(big);
  s.app.set_book_name(L"大书");
  s.app.select(0);
  s.app.click(Role::build);
  std::wstring caption;
  const auto counting = [&] {
    caption = gui::window_text(s.app.form());
    for (int percent = 1; percent < 100; ++percent) {
      if (caption == wide(app::caption(percent))) return true;
    }
    return false;
  };
  ASSERT_TRUE(gui::wait_until(counting, 20000)) << utf8(caption);
  EXPECT_TRUE(fs::exists(s.app.folder() / L"大书.txt"));
  const auto shown = s.app.titles();
  s.app.click_row(1, true);
  PostMessageW(s.app.item(Role::clear), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageW(s.app.item(Role::clear), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  // Posted after the clicks: once it shows, the window's loop is past them.
  HWND list = s.app.item(Role::titles);
  PostMessageW(list, LB_SETITEMDATA, 0, 42);
  EXPECT_TRUE(gui::wait_until([&] { return gui::send(list, LB_GETITEMDATA) == 42; }));
  EXPECT_EQ(s.app.titles(), shown);
  EXPECT_EQ(gui::send(list, LB_GETCURSEL), 0);
  PostMessageW(s.app.form(), WM_CLOSE, 0, 0);
  EXPECT_EQ(s.app.exit_code(30000), 0);
  EXPECT_EQ(folder_listing(s), before);
}

struct Row {
  const char* name;
  int dpi;
  UINT code_page;   // the system's ANSI code page, from the locale Wine runs in
  int changed_dpi;  // a dpi the screen changes to and back from, or 0
  // The steps a row may take its own way: through the dialogs or a drop, with the
  // buttons or the keys, to an e-book, a failure or a close mid-build.
  void (*add)(Scenario&) = add_through_dialogs;
  void (*reorder)(Scenario&) = reorder_with_buttons;
  void (*finish)(Scenario&) = build_and_read_back;
};

const Row kRows[] = {
    {"chinese_96dpi", 96, 936, 144},
    {"chinese_144dpi", 144, 936, 0},
    // Chinese names where the system's code page has none of them.
    {"western", 96, 1252, 0},
    {"keys_and_drop_144dpi", 144, 936, 0, add_by_drop, reorder_with_keys},
    {"failure", 96, 936, 0, add_by_drop, reorder_with_buttons, fail_on_a_moved_pdf},
    {"close_mid_build", 96, 936, 0, add_by_drop, reorder_with_buttons, close_mid_build},
};

class Window : public testing::TestWithParam<Row> {};

TEST_P(Window, FromABookNameToAnEbook) {
  const Row& row = GetParam();
  ASSERT_EQ(GetACP(), row.code_page) << "the western row runs under TARVELLO_LOCALE=en_US.UTF-8";
  const fs::path home = gui::paths().work / row.name;
  Scenario s{home / L"docs", L"书库 " + wide(row.name), gui::App(home / L"app"), {}};
  for (const fs::path& folder : {s.docs, gui::desktop() / s.shelf}) {
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  std::uint32_t seed = 0;
  for (const auto& [path, size] : {std::pair{s.docs / L"第一章 总论.pdf", 3000},
                                   std::pair{gui::desktop() / s.shelf / L"第二章 方法.pdf", 70000},
                                   std::pair{gui::desktop() / s.shelf / L"附录.pdf", 7},
                                   std::pair{s.docs / L"草稿.pdf", 500}}) {
    testing_support::write_file(utf8(path.wstring()), testing_support::pattern_bytes(size, ++seed));
  }

  ASSERT_TRUE(s.app.open(row.dpi));
  expect_layout(s.app, row.dpi);
  // To a screen of another dpi and back: laid out afresh from the table each time.
  for (int dpi : {row.changed_dpi, row.dpi}) {
    if (!row.changed_dpi) break;
    const auto px = [dpi](int twips) { return app::layout::to_pixels(twips, dpi); };
    ASSERT_TRUE(gui::change_dpi(s.app.form(), dpi,
                                {px(app::layout::kClientWidth), px(app::layout::kClientHeight)}));
    expect_layout(s.app, dpi);
  }
  ASSERT_NO_FATAL_FAILURE(row.add(s));
  ASSERT_NO_FATAL_FAILURE(row.reorder(s));
  EXPECT_EQ(s.app.titles(), titles(s));
  row.finish(s);
}

INSTANTIATE_TEST_SUITE_P(Rows, Window, testing::ValuesIn(kRows),
                         [](const auto& row) { return std::string(row.param.name); });

// Without the reader beside it: the message, the home page once it is dismissed, and the
// end, the window never shown.
TEST(Startup, WithoutTheReaderRefusesToStart) {
  gui::App app(gui::paths().work / L"no-reader", false);
  gui::clear_record();
  ASSERT_TRUE(app.start(app.folder() / L"Tarvello.exe"));
  const auto message = gui::wait_message(app.pid(), 20000);
  ASSERT_TRUE(message) << gui::describe_windows(app.pid());
  EXPECT_EQ(message->title, wide(app::text::kMessageTitle));
  EXPECT_EQ(message->text, wide(app::text::kStubMissing));
  EXPECT_EQ(message->buttons, std::vector<int>{IDOK});
  EXPECT_EQ(gui::class_name(message->owner), win32::kFormClass);
  EXPECT_FALSE(IsWindowVisible(message->owner));
  EXPECT_TRUE(gui::recorded().empty()) << "the home page opens only after OK";
  ASSERT_TRUE(gui::dismiss(*message));
  EXPECT_EQ(app.exit_code(), 0);
  EXPECT_TRUE(gui::wait_recorded(1));
  EXPECT_EQ(gui::recorded(), std::vector<std::string>{links::home_page_address()});
}

// A resource of a built program, read back from its file.
std::string resource(const fs::path& file, const wchar_t* type, const wchar_t* name) {
  HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  HRSRC found = module ? FindResourceW(module, name, type) : nullptr;
  const char* data =
      found ? static_cast<const char*>(LockResource(LoadResource(module, found))) : nullptr;
  const std::string bytes = data ? std::string(data, SizeofResource(module, found)) : "";
  if (module) FreeLibrary(module);
  return bytes;
}

// Both programs run as the user who starts them whatever their name, on Windows 7 to 11,
// at the screen's own dpi, with the common controls of version 6.
TEST(Resources, BothProgramsCarryTheirManifest) {
  for (const wchar_t* program : {L"Tarvello.exe", L"books.ini"}) {
    const std::string manifest =
        resource(gui::paths().product / program, RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID);
    for (const char* part : {R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)",
                             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
                             "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
                             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
                             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
                             ">true</dpiAware>", ">PerMonitorV2, System</dpiAwareness>",
                             R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"}) {
      EXPECT_NE(manifest.find(part), std::string::npos) << utf8(program) << " lacks " << part;
    }
  }
}

TEST(Resources, TheWindowStatesItsVersion) {
  const std::wstring exe = (gui::paths().product / L"Tarvello.exe").wstring();
  std::string data(GetFileVersionInfoSizeW(exe.c_str(), nullptr), '\0');
  ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
  for (const auto& [key, value] :
       {std::pair{L"ProductName", L"Tarvello"}, std::pair{L"FileVersion", L"2012.916.0003"},
        std::pair{L"OriginalFilename", L"Tarvello.exe"}}) {
    const std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + key;
    wchar_t* text = nullptr;
    UINT chars = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&text), &chars));
    EXPECT_EQ(std::wstring(text), value);
  }
}

}  // namespace
