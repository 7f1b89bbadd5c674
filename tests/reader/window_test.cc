// The reader of the 32-bit product as its users meet it, under Wine: e-books with that
// books.ini at their head are started, and their window is driven from outside through
// its controls and the system's save dialog, at 96 and 144 dpi. The prefix hands every
// opened PDF to the driver's recorder.
#include "gui_kit.h"
#include "reader/window_ids.h"
#include "support/temp_dir.h"

namespace {

namespace ids = reader::window;
using namespace gui;
using namespace testing_support;

const std::vector<std::pair<std::string, std::string>> kChapters = {
    {"第一章", pattern_bytes(1000, 1)},
    {"第二章", pattern_bytes(70000, 2)},
    {"附录", pattern_bytes(7, 3)}};

// An e-book of kChapters in `dir` headed by the product's reader; with the index's second
// position off by one when `damaged`.
std::string pack(const TempDir& dir, bool damaged = false) {
  std::string bytes = forge_book("我的书", kChapters, contents(product_dir / L"books.ini"));
  if (damaged) bytes.replace(bytes.find("590000"), 6, "590001");
  write_file(dir.file("我的书.exe"), bytes);
  return dir.file("我的书.exe");
}

// The frame of the size the layout gives it at `dpi`, the controls where the layout puts
// them in its client area, and text of the size the dpi gives it: a row of the list is
// about one and a half em of the message face. First, when `moved`, the window is told that
// its screen's dpi became `dpi`.
void expect_layout(HWND window, int dpi, bool moved = false) {
  SCOPED_TRACE(std::to_string(dpi) + " dpi");
  ASSERT_TRUE(
      !moved ||
      change_dpi(window, dpi, {ids::scaled(ids::kWidth, dpi), ids::scaled(ids::kHeight, dpi)}));
  RECT frame{}, client{};
  GetWindowRect(window, &frame);
  GetClientRect(window, &client);
  EXPECT_EQ(frame.right - frame.left, ids::scaled(ids::kWidth, dpi));
  EXPECT_EQ(frame.bottom - frame.top, ids::scaled(ids::kHeight, dpi));
  const ids::Layout at = ids::layout(client.right, client.bottom, dpi);
  for (const auto& [id, want] :
       {std::pair{ids::kLabelId, at.label}, std::pair{ids::kListId, at.list},
        std::pair{ids::kOpenId, at.open}, std::pair{ids::kSaveId, at.save}})
    expect_place(GetDlgItem(window, id), want.left, want.top, want.width, want.height);
  expect_rows_scaled(GetDlgItem(window, ids::kListId), dpi);
}

// Row `row` opened with 打开: the file the shell was asked to open as the `count`th.
std::string open_row(HWND window, int row, std::size_t count) {
  send(GetDlgItem(window, ids::kListId), LB_SETCURSEL, row);
  PostMessageW(GetDlgItem(window, ids::kOpenId), BM_CLICK, 0, 0);
  const auto opened = recorded(count);
  return opened.size() == count ? opened.back() : "";
}

// The copies of a reader whose first opened copy is `first`: read-only, opened again while
// unchanged, in one folder; one held open by a viewer, one a viewer saved notes into.
struct Copies {
  fs::path held, saved;
  HANDLE viewer = INVALID_HANDLE_VALUE;
};

Copies follow_copies(HWND window, const std::string& first) {
  const fs::path copy = wide(first), folder = copy.parent_path();
  EXPECT_TRUE(GetFileAttributesW(copy.c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(open_row(window, 1, 2), first);
  Copies copies{wide(open_row(window, 0, 3)), wide(open_row(window, 2, 4))};
  EXPECT_EQ(copies.held.parent_path(), folder);
  EXPECT_EQ(copies.saved.parent_path(), folder);
  copies.viewer = CreateFileW(copies.held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(copies.viewer, INVALID_HANDLE_VALUE);
  SetFileAttributesW(copies.saved.c_str(), FILE_ATTRIBUTE_NORMAL);
  std::ofstream(copies.saved, std::ios::app | std::ios::binary) << "% notes";
  return copies;
}

// After the first reader closed: a later start while the viewer still holds its copy,
// then one after it let go while the first still runs.
void later_starts(const TempDir& dir, const Copies& copies) {
  Process second, third;
  ASSERT_TRUE(second.start(wide(dir.file("我的书.exe"))));
  HWND second_window = second.wait_window(ids::kClassName);
  EXPECT_TRUE(fs::exists(copies.held));
  fs::remove(record_file);
  const fs::path running = wide(open_row(second_window, 0, 1));
  CloseHandle(copies.viewer);
  ASSERT_TRUE(third.start(wide(dir.file("我的书.exe"))));
  PostMessageW(third.wait_window(ids::kClassName), WM_CLOSE, 0, 0);
  EXPECT_EQ(third.exit_code(), 0);
  EXPECT_FALSE(fs::exists(copies.held));
  EXPECT_TRUE(fs::exists(copies.saved) && fs::exists(running));
  PostMessageW(second_window, WM_CLOSE, 0, 0);
  EXPECT_EQ(second.exit_code(), 0);
  EXPECT_FALSE(fs::exists(running.parent_path()));
}

// The titles in book order; a double-click hands the shell a byte-identical copy of its
// PDF; 另存为… writes one where the user says. At 96 dpi, moved to a screen of 144, and at 144
// (a run of its own: the screen's dpi comes with the Wine session).
// At 96 dpi the copies are followed further: read-only, opened again while unchanged, in
// one folder; at the close the recorder's goes, the one a viewer holds stays until a later
// start finds it let go, and the one a viewer saved into stays for good, the user told
// where and offered 另存为; the folder of a reader that still runs is left alone.
class Titles : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(Titles, OpenAndSave) {
  const auto [dpi, changed_dpi] = GetParam();
  TempDir dir;
  Process reader;
  ASSERT_TRUE(reader.start(wide(pack(dir)), dpi));
  HWND window = reader.wait_window(ids::kClassName);
  ASSERT_TRUE(window);
  EXPECT_EQ(window_text(window), L"我的书");
  expect_layout(window, dpi);
  if (changed_dpi) expect_layout(window, changed_dpi, true);
  HWND list = GetDlgItem(window, ids::kListId);
  EXPECT_EQ(list_items(list), (std::vector<std::wstring>{L"第一章", L"第二章", L"附录"}));

  fs::remove(record_file);
  send(list, LB_SETCURSEL, 1);
  const auto row_height = static_cast<int>(send(list, LB_GETITEMHEIGHT));
  PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, row_height * 3 / 2));
  const auto opened = recorded(1);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(opened[0].ends_with("\\第二章.pdf")) << opened[0];
  EXPECT_TRUE(contents(wide(opened[0])) == kChapters[1].second);
  const fs::path copy = wide(opened[0]), folder = copy.parent_path();
  const Copies copies = changed_dpi ? follow_copies(window, opened[0]) : Copies{};

  const std::wstring target = wide(dir.file("副本.pdf"));
  send(list, LB_SETCURSEL, 2);
  PostMessageW(GetDlgItem(window, ids::kSaveId), BM_CLICK, 0, 0);
  HWND dialog = wait_dialog(reader.pid(), L"另存为", window);
  ASSERT_TRUE(dialog && choose_file(dialog, target));
  // The copy is renamed into place: poll until the target holds it.
  EXPECT_TRUE(wait_until([&] { return contents(target) == kChapters[2].second; }));
  PostMessageW(window, WM_CLOSE, 0, 0);
  if (changed_dpi) {
    const auto message = wait_message(reader.pid());
    ASSERT_TRUE(message);
    EXPECT_EQ(message->text,
              L"文件“附录.pdf”已被其他程序修改过（例如保存了批注），阅读器不会删除"
              L"它。它在文件夹：\n" +
                  folder.wstring() + L"\n\n要把它另存到别处吗？");
    EXPECT_EQ(message->buttons, (std::vector<int>{IDYES, IDNO}));
    ASSERT_TRUE(press(message->hwnd, IDYES));
    HWND notes = wait_dialog(reader.pid(), L"另存为", window);
    ASSERT_TRUE(notes && choose_file(notes, wide(dir.file("批注.pdf"))));
    EXPECT_TRUE(wait_until(
        [&] { return contents(wide(dir.file("批注.pdf"))) == kChapters[2].second + "% notes"; }));
  }
  EXPECT_EQ(reader.exit_code(), 0);
  EXPECT_FALSE(fs::exists(copy));
  if (!changed_dpi) return;
  EXPECT_TRUE(fs::exists(copies.held) && fs::exists(copies.saved));
  later_starts(dir, copies);
  fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(ReaderWindow, Titles,
                         testing::Values(std::pair{96, 144}, std::pair{144, 0}), [](const auto& p) {
                           return std::string(p.param.second ? "at_96dpi_then_144" : "at_144dpi");
                         });

TEST(ReaderWindow, ADamagedBookSaysWhatIsWrong) {
  TempDir dir;
  Process reader;
  ASSERT_TRUE(reader.start(wide(pack(dir, true))));
  const auto message = wait_message(reader.pid(), 20000);
  ASSERT_TRUE(message);
  EXPECT_EQ(message->text, L"电子书已损坏，无法打开：索引第 2 行所指的文件与前后文件不相接。");
  ASSERT_TRUE(press(message->hwnd, IDOK));
  EXPECT_EQ(reader.exit_code(), 1);
}

}  // namespace
