// The reader of the 32-bit product as its users meet it, under Wine: e-books packed by the
// builder with that books.ini at their head are started, and their window is driven from
// outside through its controls and the system's save dialog, at 96 and 144 dpi. The
// prefix hands every opened PDF to the driver's recorder.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "builder/build.h"
#include "gui_kit.h"
#include "stub/window_ids.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
namespace ids = stub::window;
using gui::utf8;
using gui::wide;
using testing_support::pattern_bytes;
using testing_support::read_file;

struct Pdf {
  std::string title;
  std::string bytes;
};
const std::vector<Pdf> kChapters = {{"第一章", pattern_bytes(1000, 1)},
                                    {"第二章", pattern_bytes(70000, 2)},
                                    {"附录", pattern_bytes(7, 3)}};

// An e-book of `pdfs` in `dir`, headed by the product's reader.
std::string pack(const testing_support::TempDir& dir, const std::vector<Pdf>& pdfs) {
  builder::BuildRequest request{
      "我的书", {}, dir.path(), utf8((gui::paths().product / L"books.ini").wstring()), {}};
  for (std::size_t i = 0; i < pdfs.size(); ++i) {
    request.entries.push_back({pdfs[i].title, dir.file(std::to_string(i) + ".pdf")});
    testing_support::write_file(request.entries.back().path, pdfs[i].bytes);
  }
  const builder::BuildResult result = builder::write_ebook(request);
  EXPECT_TRUE(result.ok) << builder::message(result.failure);
  return result.output_path;
}

// The frame of the size the layout gives it at `dpi`, the controls where the layout puts
// them in its client area, and text of the size the dpi gives it.
void expect_layout(HWND window, int dpi) {
  SCOPED_TRACE(std::to_string(dpi) + " dpi");
  RECT frame{}, client{};
  GetWindowRect(window, &frame);
  GetClientRect(window, &client);
  EXPECT_EQ(frame.right - frame.left, ids::scaled(ids::kWidth, dpi));
  EXPECT_EQ(frame.bottom - frame.top, ids::scaled(ids::kHeight, dpi));
  const ids::Layout at = ids::layout(client.right, client.bottom, dpi);
  for (const auto& [id, want] :
       {std::pair{ids::kLabelId, at.label}, std::pair{ids::kListId, at.list},
        std::pair{ids::kOpenId, at.open}, std::pair{ids::kSaveId, at.save}}) {
    EXPECT_EQ(
        gui::place(GetDlgItem(window, id)),
        (std::array<LONG, 4>{want.left, want.top, want.left + want.width, want.top + want.height}))
        << "control " << id;
  }
  // The message face follows the dpi: a row of the list is about one and a half em of it.
  const auto row = gui::send(GetDlgItem(window, ids::kListId), LB_GETITEMHEIGHT);
  EXPECT_TRUE(row >= ids::scaled(12, dpi) && row < ids::scaled(24, dpi)) << row << " pixels a row";
}

struct Row {
  const char* name;
  int dpi;
  int changed_dpi;  // a dpi the screen changes to, or 0
};

class ReaderWindow : public testing::TestWithParam<Row> {};

// The titles in book order; a double-click hands the shell a byte-identical copy of its
// PDF; 另存为… writes one where the user says.
TEST_P(ReaderWindow, OpensAndSavesTheTitles) {
  const Row& row = GetParam();
  testing_support::TempDir dir;
  gui::Process reader;
  ASSERT_TRUE(reader.start(wide(pack(dir, kChapters)), row.dpi));
  HWND window = reader.wait_window(ids::kClassName);
  ASSERT_TRUE(window);
  EXPECT_EQ(gui::window_text(window), L"我的书");
  expect_layout(window, row.dpi);
  if (row.changed_dpi) {
    const int dpi = row.changed_dpi;
    ASSERT_TRUE(gui::change_dpi(window, dpi,
                                {ids::scaled(ids::kWidth, dpi), ids::scaled(ids::kHeight, dpi)}));
    expect_layout(window, dpi);
  }
  HWND list = GetDlgItem(window, ids::kListId);
  EXPECT_EQ(gui::list_items(list), (std::vector<std::wstring>{L"第一章", L"第二章", L"附录"}));

  gui::clear_record();
  SendMessageW(list, LB_SETCURSEL, 1, 0);
  const auto row_height = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, row_height * 3 / 2));
  ASSERT_TRUE(gui::wait_recorded(1)) << gui::describe_windows(reader.pid());
  const std::string opened = gui::recorded()[0];
  EXPECT_TRUE(opened.ends_with("\\第二章.pdf")) << opened;
  EXPECT_TRUE(gui::contents(wide(opened)) == kChapters[1].bytes);

  const std::string target = dir.file("副本.pdf");
  SendMessageW(list, LB_SETCURSEL, 2, 0);
  PostMessageW(GetDlgItem(window, ids::kSaveId), BM_CLICK, 0, 0);
  HWND dialog = gui::wait_dialog(reader.pid(), L"另存为", window);
  ASSERT_TRUE(dialog && gui::choose_file(dialog, wide(target)));
  // The copy is renamed into place: poll until the target holds it.
  EXPECT_TRUE(gui::wait_until([&] { return gui::contents(wide(target)) == kChapters[2].bytes; }));

  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(reader.exit_code(), 0);
}

const Row kRows[] = {{"at_96dpi", 96, 144}, {"at_144dpi", 144, 0}};
INSTANTIATE_TEST_SUITE_P(Rows, ReaderWindow, testing::ValuesIn(kRows),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ReaderWindow, ADamagedBookSaysWhatIsWrong) {
  testing_support::TempDir dir;
  std::string bytes = read_file(pack(dir, kChapters));
  bytes.replace(bytes.find("590000"), 6, "590001");
  const std::string damaged = dir.file("坏书.exe");
  testing_support::write_file(damaged, bytes);
  gui::Process reader;
  ASSERT_TRUE(reader.start(wide(damaged)));
  const auto message = gui::wait_message(reader.pid(), 20000);
  ASSERT_TRUE(message) << gui::describe_windows(reader.pid());
  EXPECT_EQ(message->text, L"电子书已损坏，无法打开：索引第 2 行所指的文件与前后文件不相接。");
  ASSERT_TRUE(gui::dismiss(*message));
  EXPECT_EQ(reader.exit_code(), 1);
}

}  // namespace
