// Filling the book list through the system's own dialogs, editing it, and building an
// e-book that is read back and compared byte by byte with the PDFs that went in.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/messages.h"
#include "builder/container.h"
#include "gui_kit.h"

namespace {

using app::layout::Role;
using gui::App;
using Titles = std::vector<std::wstring>;

const std::wstring kTitle = gui::wide(app::text::kMessageTitle);

// A folder of test files made afresh: name, size and a pattern of their own.
class Docs {
 public:
  explicit Docs(std::wstring folder) : folder_(std::move(folder)) {
    gui::remove_tree(folder_);
    gui::make_dirs(folder_);
  }
  ~Docs() { gui::remove_tree(folder_); }
  Docs(const Docs&) = delete;
  Docs& operator=(const Docs&) = delete;

  std::wstring add(const std::wstring& name, std::size_t size) {
    const std::wstring path = gui::join(folder_, name);
    gui::make_dirs(path.substr(0, path.find_last_of(L'\\')));
    EXPECT_TRUE(gui::write_bytes(path, gui::pattern(size, ++seed_))) << gui::utf8(path);
    return path;
  }
  const std::wstring& folder() const { return folder_; }
  std::wstring path(const std::wstring& name) const { return gui::join(folder_, name); }

 private:
  std::wstring folder_;
  unsigned seed_ = 0;
};

// Presses the build button and returns the text of the message it ends with.
std::wstring build(const App& app) {
  app.post_click(Role::build);
  auto seen = app.dismiss_message(30000);
  if (!seen) {
    ADD_FAILURE() << "the build showed no message\n" << gui::describe_windows(app.pid());
    return L"";
  }
  EXPECT_EQ(seen->title, kTitle);
  EXPECT_EQ(seen->buttons, std::vector<int>{IDOK});
  EXPECT_EQ(seen->owner, app.form());
  return seen->text;
}

// The e-book `name`.exe in the app folder holds the reader and, in order, each of
// `parts` (title, source file) byte for byte.
void expect_ebook(const App& app, const std::wstring& name,
                  const std::vector<std::pair<std::wstring, std::wstring>>& parts) {
  const std::wstring path = app.file(name + L".exe");
  const auto bytes = gui::read_bytes(path);
  ASSERT_TRUE(bytes) << "no e-book " << gui::utf8(path);
  const auto read = builder::read_book(gui::utf8(path));
  ASSERT_EQ(read.error, builder::ReadError::none) << builder::describe(read);
  ASSERT_TRUE(read.book);
  const builder::Book& book = *read.book;
  EXPECT_EQ(book.name, gui::utf8(name));

  const auto stub = gui::read_bytes(gui::paths().stub);
  ASSERT_TRUE(stub);
  EXPECT_EQ(bytes->substr(0, stub->size()), *stub) << "the e-book starts with the reader";

  ASSERT_EQ(book.entries.size(), parts.size());
  std::uint64_t position = builder::kPayloadPosition;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    SCOPED_TRACE(gui::utf8(parts[i].second));
    const builder::IndexEntry& entry = book.entries[i];
    const auto source = gui::read_bytes(parts[i].second);
    ASSERT_TRUE(source);
    EXPECT_EQ(entry.title, gui::utf8(parts[i].first));
    EXPECT_EQ(entry.position, position);
    EXPECT_EQ(entry.length, source->size());
    EXPECT_TRUE(bytes->compare(entry.position - 1, entry.length, *source) == 0)
        << "the PDF's bytes differ in the e-book";
    position += source->size();
  }
}

TEST(AddFile, ThroughTheOpenFileDialog) {
  Docs docs(gui::join(gui::paths().work, L"add-file-docs"));
  const std::wstring report = docs.add(L"Report.pdf", 1500);
  const std::wstring scan = docs.add(L"SCAN.PDF", 800);
  const std::wstring notes = docs.add(L"Notes.Pdf", 300);
  const std::wstring readme = docs.add(L"readme.txt", 100);
  const std::wstring chinese = docs.add(L"资料\\报告 第一版.pdf", 2100);
  const std::wstring dotted = docs.add(L"my.pdfs.pdf", 700);

  App app(L"add-file");
  ASSERT_TRUE(app.start());

  // The dialog as the command opens it: its caption, one file type, a blank name, and
  // the main window held while it is open.
  app.post_click(Role::add_file);
  HWND dialog = app.open_file_dialog();
  ASSERT_NE(dialog, nullptr) << gui::describe_windows(app.pid());
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), app.form());
  EXPECT_FALSE(IsWindowEnabled(app.form()));
  HWND types = gui::file_type_box(dialog);
  ASSERT_NE(types, nullptr);
  EXPECT_EQ(gui::combo_items(types), Titles{gui::wide(app::text::kPdfFilterLabel)});
  const std::wstring name = gui::window_text(gui::file_name_box(dialog));
  EXPECT_EQ(name.find_first_not_of(L' '), std::wstring::npos)
      << "the name box starts with \"" << gui::utf8(name) << "\"";
  ASSERT_TRUE(gui::type_file_name(dialog, report));
  ASSERT_TRUE(gui::wait_gone(dialog));
  app.settle();
  EXPECT_TRUE(IsWindowEnabled(app.form()));
  EXPECT_EQ(app.titles(), Titles{L"Report"});

  ASSERT_TRUE(app.add_file(scan));
  EXPECT_EQ(app.titles(), (Titles{L"Report", L"SCAN"}));

  // Only ".pdf" and ".PDF" endings are taken; the dialog returns the others all the same.
  ASSERT_TRUE(app.add_file(notes));
  ASSERT_TRUE(app.add_file(readme));
  EXPECT_EQ(app.titles(), (Titles{L"Report", L"SCAN"}));

  // A missing file: the dialog itself refuses it and stays open; then Cancel.
  app.post_click(Role::add_file);
  dialog = app.open_file_dialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(gui::type_file_name(dialog, docs.path(L"missing.pdf")));
  HWND refusal = nullptr;
  EXPECT_TRUE(gui::wait_until([&] {
    for (HWND hwnd : gui::top_windows(app.pid())) {
      if (hwnd != dialog && hwnd != app.form() && GetWindow(hwnd, GW_OWNER) == dialog) {
        refusal = hwnd;
      }
    }
    return refusal != nullptr;
  })) << "no refusal of a missing file\n"
      << gui::describe_windows(app.pid());
  if (refusal) {
    gui::press(refusal, IDOK);
    EXPECT_TRUE(gui::wait_gone(refusal));
  }
  EXPECT_TRUE(IsWindowVisible(dialog));
  gui::press(dialog, IDCANCEL);
  ASSERT_TRUE(gui::wait_gone(dialog));
  app.settle();
  EXPECT_EQ(app.titles(), (Titles{L"Report", L"SCAN"}));

  // Chinese names pass through the dialog's code page both ways.
  ASSERT_TRUE(app.add_file(chinese));
  ASSERT_TRUE(app.add_file(dotted));
  EXPECT_EQ(app.titles(), (Titles{L"Report", L"SCAN", L"报告 第一版", L"mys"}));

  // Adding leaves the selection alone; the same file twice is two entries.
  app.select(1);
  ASSERT_TRUE(app.add_file(report));
  EXPECT_EQ(app.titles(), (Titles{L"Report", L"SCAN", L"报告 第一版", L"mys", L"Report"}));
  EXPECT_EQ(app.selected(), 1);

  // The paths went along with the titles: the e-book holds those very files.
  app.set_book_name(L"单个文件");
  EXPECT_EQ(build(app), gui::wide(app::text::kBuilt));
  expect_ebook(app, L"单个文件",
               {{L"Report", report},
                {L"SCAN", scan},
                {L"报告 第一版", chinese},
                {L"mys", dotted},
                {L"Report", report}});
}

TEST(AddFile, CancelChangesNothing) {
  Docs docs(gui::join(gui::paths().work, L"cancel-docs"));
  const std::wstring one = docs.add(L"one.pdf", 10);
  App app(L"add-file-cancel");
  ASSERT_TRUE(app.start());
  ASSERT_TRUE(app.add_file(one));
  app.post_click(Role::add_file);
  HWND dialog = app.open_file_dialog();
  ASSERT_NE(dialog, nullptr);
  gui::press(dialog, IDCANCEL);
  ASSERT_TRUE(gui::wait_gone(dialog));
  app.settle();
  EXPECT_EQ(app.titles(), Titles{L"one"});
  EXPECT_EQ(app.other_window(), nullptr) << gui::describe_windows(app.pid());
}

// A folder on the desktop, where the folder browser shows it at the top of its tree.
TEST(AddFolder, EveryPdfDirectlyInTheChosenFolder) {
  const std::wstring folder_name = L"tarvello-gui-书库";
  Docs docs(gui::join(gui::desktop_folder(), folder_name));
  const std::wstring a = docs.add(L"A.pdf", 1000);
  const std::wstring b = docs.add(L"b.PDF", 2000);
  const std::wstring dotted = docs.add(L"my.pdfs.pdf", 300);
  const std::wstring notes = docs.add(L"Notes.Pdf", 400);
  docs.add(L"notes.txt", 50);
  docs.add(L"sub\\c.pdf", 60);
  const std::wstring hidden = docs.add(L"hidden.pdf", 70);
  SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);

  App app(L"add-folder");
  ASSERT_TRUE(app.start());
  ASSERT_TRUE(app.add_desktop_folder(folder_name));
  // Any case of ".pdf" here; neither the text file, the subfolder nor the hidden file.
  const Titles once{L"A", L"b", L"mys", L"Notes"};
  EXPECT_EQ(app.titles(), once);

  // Cancelling the browser changes nothing.
  app.post_click(Role::add_folder);
  HWND browser = app.folder_browser();
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(GetWindow(browser, GW_OWNER), app.form());
  gui::press(browser, IDCANCEL);
  ASSERT_TRUE(gui::wait_gone(browser));
  app.settle();
  EXPECT_EQ(app.titles(), once);

  // The same folder again appends it again, in the same order.
  ASSERT_TRUE(app.add_desktop_folder(folder_name));
  Titles twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(app.titles(), twice);

  app.set_book_name(L"书库");
  EXPECT_EQ(build(app), gui::wide(app::text::kBuilt));
  expect_ebook(app, L"书库",
               {{L"A", a},
                {L"b", b},
                {L"mys", dotted},
                {L"Notes", notes},
                {L"A", a},
                {L"b", b},
                {L"mys", dotted},
                {L"Notes", notes}});
}

// The harness maps T: to a folder of its own. A drive root's path ends in a separator
// already, and the entries' paths get a second one: they must still lead to the files.
TEST(AddFolder, ADriveRoot) {
  const std::wstring root = L"T:\\";
  wchar_t label[64] = {};
  GetVolumeInformationW(root.c_str(), label, 64, nullptr, nullptr, nullptr, nullptr, 0);
  // The label that the harness gives its drive: nothing else's files get removed here.
  ASSERT_EQ(std::wstring(label), L"TESTS") << "T: is not the tests' own drive";
  for (const std::wstring& name : gui::listing(root)) {
    if (name[0] != L'.') gui::remove_tree(gui::join(root, name));
  }
  const std::wstring x = gui::join(root, L"x.pdf");
  ASSERT_TRUE(gui::write_bytes(x, gui::pattern(5000, 99)));

  App app(L"add-folder-root");
  ASSERT_TRUE(app.start());
  ASSERT_TRUE(app.add_folder({gui::computer_name(), gui::shell_name(root)}));
  EXPECT_EQ(app.titles(), Titles{L"x"});
  app.set_book_name(L"根目录");
  EXPECT_EQ(build(app), gui::wide(app::text::kBuilt));
  expect_ebook(app, L"根目录", {{L"x", x}});
  gui::remove_tree(x);
}

TEST(Edit, MoveDeleteAndClearKeepTitlesAndFilesTogether) {
  const std::wstring folder_name = L"tarvello-gui-edit";
  Docs docs(gui::join(gui::desktop_folder(), folder_name));
  const std::wstring a = docs.add(L"A.pdf", 111);
  const std::wstring b = docs.add(L"B.pdf", 222);
  const std::wstring c = docs.add(L"C.pdf", 333);
  const std::wstring d = docs.add(L"D.pdf", 444);

  App app(L"edit");
  ASSERT_TRUE(app.start());
  ASSERT_TRUE(app.add_desktop_folder(folder_name));
  ASSERT_EQ(app.titles(), (Titles{L"A", L"B", L"C", L"D"}));

  // Nothing selected: the three buttons do nothing.
  for (Role role : {Role::move_up, Role::move_down, Role::delete_file}) app.click(role);
  EXPECT_EQ(app.titles(), (Titles{L"A", L"B", L"C", L"D"}));
  EXPECT_EQ(app.selected(), LB_ERR);

  app.select(1);
  app.click(Role::move_up);
  EXPECT_EQ(app.titles(), (Titles{L"B", L"A", L"C", L"D"}));
  EXPECT_EQ(app.selected(), 0);
  app.click(Role::move_up);  // already first
  EXPECT_EQ(app.titles(), (Titles{L"B", L"A", L"C", L"D"}));
  EXPECT_EQ(app.selected(), 0);
  app.click(Role::move_down);
  app.click(Role::move_down);
  EXPECT_EQ(app.titles(), (Titles{L"A", L"C", L"B", L"D"}));
  EXPECT_EQ(app.selected(), 2);

  app.select(3);
  app.click(Role::move_down);  // already last
  EXPECT_EQ(app.titles(), (Titles{L"A", L"C", L"B", L"D"}));
  EXPECT_EQ(app.selected(), 3);

  app.select(1);
  app.click(Role::delete_file);
  EXPECT_EQ(app.titles(), (Titles{L"A", L"B", L"D"}));
  EXPECT_EQ(app.selected(), LB_ERR);
  app.click(Role::delete_file);  // nothing selected any more
  EXPECT_EQ(app.titles(), (Titles{L"A", L"B", L"D"}));

  app.set_book_name(L"编辑");
  EXPECT_EQ(build(app), gui::wide(app::text::kBuilt));
  expect_ebook(app, L"编辑", {{L"A", a}, {L"B", b}, {L"D", d}});
  EXPECT_EQ(app.titles(), (Titles{L"A", L"B", L"D"})) << "a build leaves the list alone";

  app.select(0);
  app.click(Role::clear);
  EXPECT_TRUE(app.titles().empty());
  EXPECT_EQ(app.selected(), LB_ERR);
  EXPECT_EQ(build(app), gui::wide(app::text::kNeedFiles));

  // Closing ends the program without a question, whatever the list holds.
  ASSERT_TRUE(app.add_desktop_folder(folder_name));
  ASSERT_EQ(app.titles().size(), 4u);
  PostMessageW(app.form(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(app.wait_exit(5000)) << gui::describe_windows(app.pid());
}

TEST(Build, MessagesForMissingInputSuccessAndFailure) {
  Docs docs(gui::join(gui::paths().work, L"build-docs"));
  const std::wstring first = docs.add(L"第一章.pdf", 3000);
  const std::wstring second = docs.add(L"第二章.pdf", 70000);
  const std::wstring empty = docs.add(L"空白.pdf", 0);

  App app(L"build");
  ASSERT_TRUE(app.start());
  const std::vector<std::wstring> untouched{L"Tarvello.exe", L"books.ini"};

  // Without a name, even with an empty list, the name is asked for first.
  EXPECT_EQ(build(app), gui::wide(app::text::kNeedName));
  app.set_book_name(L"   ");
  EXPECT_EQ(build(app), gui::wide(app::text::kNeedName));
  app.set_book_name(L"我的书");
  EXPECT_EQ(build(app), gui::wide(app::text::kNeedFiles));
  EXPECT_EQ(gui::listing(app.folder()), untouched);

  ASSERT_TRUE(app.add_file(first));
  ASSERT_TRUE(app.add_file(second));
  EXPECT_EQ(build(app), gui::wide(app::text::kBuilt));
  expect_ebook(app, L"我的书", {{L"第一章", first}, {L"第二章", second}});
  EXPECT_EQ(gui::listing(app.folder()),
            (std::vector<std::wstring>{L"Tarvello.exe", L"books.ini", L"我的书.exe"}))
      << "no working or index file is left behind";

  // An empty PDF fails the build, leaving no half-made file.
  ASSERT_TRUE(app.add_file(empty));
  EXPECT_EQ(build(app), gui::wide(app::text::kBuildFailed));
  EXPECT_FALSE(gui::exists(app.file(L"我的书.txt")));
  EXPECT_FALSE(gui::exists(app.file(L"clcboosk.txt")));
  EXPECT_EQ(app.titles(), (Titles{L"第一章", L"第二章", L"空白"}));

  // Without it the same name builds again, over the earlier e-book.
  app.select(2);
  app.click(Role::delete_file);
  EXPECT_EQ(build(app), gui::wide(app::text::kBuilt));
  expect_ebook(app, L"我的书", {{L"第一章", first}, {L"第二章", second}});
  EXPECT_EQ(gui::listing(app.folder()),
            (std::vector<std::wstring>{L"Tarvello.exe", L"books.ini", L"我的书.exe"}));
}

}  // namespace
