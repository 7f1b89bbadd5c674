// The Windows reader as its users meet it, under wine64 on a virtual display: e-books
// packed by the builder with the real books.ini at their head are started, and their
// window is driven from outside through its controls and the system's save dialog. The
// prefix's .pdf association leads to pdf_recorder.exe, which notes the path the shell
// was asked to open.
#include <windows.h>
// After windows.h, which it needs.
#include <dlgs.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "builder/build.h"
#include "builder/container.h"
#include "gui_kit.h"
#include "platform/encoding.h"
#include "platform/file.h"
#include "stub/window_ids.h"
#include "support/temp_dir.h"

namespace {

using testing_support::pattern_bytes;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;
namespace ids = stub::window;

using gui::utf8;
using gui::wide;
using gui::window_text;

std::string beside_me(const std::string& name) {
  return platform::join(platform::executable_dir(), name);
}

constexpr int kPatience = 20000;  // ms

bool wait_until(const std::function<bool()>& done) {
  return gui::wait_until(done, kPatience);
}

// Polls `find` until it gives a window.
HWND wait_for(const std::function<HWND()>& find) {
  HWND found = nullptr;
  wait_until([&] { return (found = find()) != nullptr; });
  return found;
}

// One reader process, ended at the latest when the test is.
class Reader {
 public:
  explicit Reader(const std::string& path) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring command = L"\"" + wide(path) + L"\"";
    started_ = CreateProcessW(wide(path).c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                              nullptr, nullptr, &startup, &process_) != 0;
  }
  ~Reader() {
    if (!started_) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  bool started() const { return started_; }
  DWORD pid() const { return process_.dwProcessId; }

  // The exit code, or -1 when it is still running after 20 seconds.
  long exit_code() {
    if (WaitForSingleObject(process_.hProcess, 20000) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<long>(code);
  }

  // The reader's main window, once it is there.
  HWND window(const std::string& caption) {
    return wait_for([&] {
      HWND h = FindWindowW(ids::kClassName, wide(caption).c_str());
      DWORD pid = 0;
      if (h) GetWindowThreadProcessId(h, &pid);
      return pid == process_.dwProcessId && IsWindowVisible(h) ? h : nullptr;
    });
  }

  // The message box it shows, read and dismissed: its text.
  std::wstring message() {
    HWND box = gui::wait_dialog(process_.dwProcessId, L"提示", kPatience);
    if (!box) return L"(no message box)";
    std::wstring text = window_text(GetDlgItem(box, 0xFFFF));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return text;
  }

 private:
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

struct Pdf {
  std::string title;
  std::string bytes;
};

const std::vector<Pdf> kChapters = {
    {"第一章", pattern_bytes(1000, 1)},
    {"第二章", pattern_bytes(70000, 2)},
    {"附录", pattern_bytes(7, 3)},
};

class ReaderWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The prefix's PDF viewer is the recorder. Wine looks .pdf up in the classes of the
    // machine, where it keeps an association of its own, before those of the user.
    set_key(L".pdf", L"", L"TarvelloTest.Pdf");
    set_key(L"TarvelloTest.Pdf\\shell\\open\\command", L"",
            L"\"" + wide(beside_me("pdf_recorder.exe")) + L"\" \"%1\"");
  }

  static void set_key(const std::wstring& key, const std::wstring& name,
                      const std::wstring& value) {
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &h, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(h, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
  }

  void SetUp() override {
    opened_ = dir_.file("opened.txt");
    SetEnvironmentVariableW(L"TARVELLO_OPENED", wide(opened_).c_str());
  }

  std::string pack(const std::string& name, const std::vector<Pdf>& pdfs) {
    builder::BuildRequest request;
    request.book_name = name;
    request.out_dir = dir_.path();
    request.stub_path = beside_me("books.ini");
    for (std::size_t i = 0; i < pdfs.size(); ++i) {
      std::string path = dir_.file("source-" + std::to_string(i) + ".pdf");
      write_file(path, pdfs[i].bytes);
      request.entries.push_back({pdfs[i].title, path});
    }
    builder::BuildResult result = builder::write_ebook(request);
    EXPECT_TRUE(result.ok) << builder::describe(result.failure);
    return result.output_path;
  }

  // Opens entry `index` by `how` and gives the path the shell was asked to open.
  std::string open(HWND window, int index, const std::function<void(HWND list)>& how) {
    DeleteFileW(wide(opened_).c_str());
    HWND list = GetDlgItem(window, ids::kListId);
    SendMessageW(list, LB_SETCURSEL, index, 0);
    how(list);
    // The recorder renames its record into place and may still hold it for a moment
    // after, so the first try at reading it can be refused: poll for the read itself.
    std::optional<std::string> record;
    if (!wait_until([&] { return (record = gui::read_bytes(wide(opened_))).has_value(); }))
      return "(not opened)";
    const std::string& bytes = *record;
    opened_paths_.push_back(utf8(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()),
                                              bytes.size() / sizeof(wchar_t))));
    return opened_paths_.back();
  }

  static std::string folder_of(const std::string& path) {
    return path.substr(0, path.find_last_of('\\'));
  }

  static std::string name_of(const std::string& path) {
    const auto slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
  }

  void TearDown() override {
    // The folders the reader made for the shell, once the test has looked at them.
    for (const auto& path : opened_paths_) {
      platform::Error ignored;
      platform::delete_file(path, ignored);
      RemoveDirectoryW(wide(folder_of(path)).c_str());
    }
  }

  TempDir dir_;
  std::string opened_;
  std::vector<std::string> opened_paths_;
};

TEST_F(ReaderWindow, OnItsOwnItSaysItHoldsNoBook) {
  Reader reader(beside_me("books.ini"));
  ASSERT_TRUE(reader.started());
  EXPECT_EQ(utf8(reader.message()), "此文件不含电子书内容。");
  EXPECT_EQ(reader.exit_code(), 1);

  platform::Error error;
  EXPECT_LE(platform::file_size(beside_me("books.ini"), error).value_or(~0ull),
            builder::kMaxStubSize);
}

TEST_F(ReaderWindow, DamagedBooksSayWhy) {
  std::string book = pack("坏书", kChapters);
  std::string bytes = read_file(book);
  struct Case {
    std::string bytes;
    std::string message;
  };
  std::string wrong_length = bytes;
  wrong_length.replace(wrong_length.size() - 4, 4, std::string("\0\0\0\0", 4));
  std::string cut = bytes.substr(0, bytes.size() - 3);
  std::string shifted = bytes;
  shifted.replace(shifted.find("590000"), 6, "590001");
  for (const Case& c : {Case{wrong_length, "文件末尾记录的索引长度无效，不是电子书或已损坏"},
                        Case{cut, "文件末尾记录的索引长度无效，不是电子书或已损坏"},
                        Case{shifted, "索引第 2 行所指的文件与前后文件不相接"}}) {
    std::string path = dir_.file("damaged.exe");
    write_file(path, c.bytes);
    Reader reader(path);
    ASSERT_TRUE(reader.started());
    EXPECT_EQ(utf8(reader.message()), "电子书已损坏，无法打开：" + c.message + "。");
    EXPECT_EQ(reader.exit_code(), 1);
    DeleteFileW(wide(path).c_str());
  }
}

TEST_F(ReaderWindow, ShowsTheTitlesInBookOrderUnderTheBookName) {
  Reader reader(pack("我的书", kChapters));
  HWND window = reader.window("我的书");
  ASSERT_TRUE(window);
  HWND list = GetDlgItem(window, ids::kListId);
  ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 3);
  for (int i = 0; i < 3; ++i) {
    wchar_t text[256] = {};
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(utf8(text), kChapters[i].title);
  }
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(utf8(window_text(GetDlgItem(window, ids::kLabelId))),
            "共 3 个文件，双击一个文件即可阅读：");
  EXPECT_EQ(utf8(window_text(GetDlgItem(window, ids::kOpenId))), "打开");
  EXPECT_EQ(utf8(window_text(GetDlgItem(window, ids::kSaveId))), "另存为…");
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(reader.exit_code(), 0);
}

// A double-click, Enter and the button each hand the shell a byte-identical copy, in a
// new folder of its own under the user's temporary folder.
TEST_F(ReaderWindow, OpensEachTitleFromAFolderOfItsOwn) {
  Reader reader(pack("我的书", kChapters));
  HWND window = reader.window("我的书");
  ASSERT_TRUE(window);

  std::vector<std::string> paths;
  paths.push_back(open(window, 0, [](HWND list) {
    const auto height = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, height / 2));
  }));
  paths.push_back(open(window, 1, [](HWND list) {
    PostMessageW(list, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageW(list, WM_KEYUP, VK_RETURN, 0xC01C0001);
  }));
  paths.push_back(open(
      window, 2, [&](HWND) { PostMessageW(GetDlgItem(window, ids::kOpenId), BM_CLICK, 0, 0); }));

  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& path = paths[i];
    EXPECT_EQ(path.substr(path.find_last_of('\\') + 1), kChapters[i].title + ".pdf");
    EXPECT_EQ(path.rfind(utf8(temp) + "Tarvello-", 0), 0u) << path;
    EXPECT_TRUE(read_file(path) == kChapters[i].bytes) << path;
    EXPECT_EQ(testing_support::listing(folder_of(path)), kChapters[i].title + ".pdf");
  }
  EXPECT_NE(folder_of(paths[0]), folder_of(paths[1]));
  EXPECT_NE(folder_of(paths[1]), folder_of(paths[2]));
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(reader.exit_code(), 0);
}

// The save dialog offers the title as the name; the copy is exact; a file that is there
// is replaced only when the user says yes, and no scratch file is left behind.
TEST_F(ReaderWindow, SavesACopyWhereTheUserSays) {
  Reader reader(pack("我的书", kChapters));
  HWND window = reader.window("我的书");
  ASSERT_TRUE(window);
  HWND list = GetDlgItem(window, ids::kListId);
  ASSERT_EQ(CreateDirectoryW(wide(dir_.file("saved")).c_str(), nullptr), TRUE);
  const std::string target = dir_.file("saved") + "\\副本.pdf";

  // Opens the dialog for entry `index`, types `name` and presses `button`; then answers
  // the replace question with `answer` when there is one. Gives the name it offered.
  auto save = [&](int index, const std::string& name, int answer = 0) -> std::string {
    SendMessageW(list, LB_SETCURSEL, index, 0);
    PostMessageW(GetDlgItem(window, ids::kSaveId), BM_CLICK, 0, 0);
    HWND dialog = gui::wait_dialog(reader.pid(), L"另存为", kPatience, window);
    if (!dialog) return "(no dialog)";
    HWND box = GetDlgItem(dialog, cmb13);
    if (!box) box = GetDlgItem(dialog, edt1);
    std::string offered = utf8(window_text(box));
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide(name).c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    if (answer != 0) {
      HWND question = gui::wait_dialog(reader.pid(), L"", kPatience, dialog);
      if (!question) return "(no question)";
      PostMessageW(question, WM_COMMAND, answer, 0);
      if (answer == IDNO) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    wait_until([&] { return !IsWindow(dialog); });
    return offered;
  };

  // The copy is renamed into place, and a reader can be refused for a moment while the
  // rename finishes: poll until the target holds the bytes.
  auto holds = [&](const std::string& bytes) {
    return wait_until([&] { return gui::read_bytes(wide(target)) == bytes; });
  };
  EXPECT_EQ(save(0, target), "第一章.pdf");
  EXPECT_TRUE(holds(kChapters[0].bytes));

  EXPECT_EQ(save(1, target, IDNO), "第二章.pdf");
  EXPECT_TRUE(read_file(target) == kChapters[0].bytes);

  EXPECT_EQ(save(1, target, IDYES), "第二章.pdf");
  EXPECT_TRUE(holds(kChapters[1].bytes));
  EXPECT_EQ(testing_support::listing(dir_.file("saved")), "副本.pdf");

  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(reader.exit_code(), 0);
}

// Titles from a book someone else made never name a device or another folder.
TEST_F(ReaderWindow, HostileTitlesBecomePlainNames) {
  Reader reader(pack("怪书", {{"CON", pattern_bytes(5, 4)},
                              {"..\\..\\逃出", pattern_bytes(6, 5)},
                              {"a:b<c>|?*", pattern_bytes(7, 6)}}));
  HWND window = reader.window("怪书");
  ASSERT_TRUE(window);
  auto by_button = [&](HWND) { PostMessageW(GetDlgItem(window, ids::kOpenId), BM_CLICK, 0, 0); };
  std::string device = open(window, 0, by_button);
  EXPECT_EQ(name_of(device), "_CON.pdf");
  EXPECT_TRUE(read_file(device) == pattern_bytes(5, 4));
  std::string escape = open(window, 1, by_button);
  EXPECT_EQ(name_of(escape), "_.._逃出.pdf");
  EXPECT_TRUE(read_file(escape) == pattern_bytes(6, 5));
  std::string forbidden = open(window, 2, by_button);
  EXPECT_EQ(name_of(forbidden), "a_b_c____.pdf");
  EXPECT_TRUE(read_file(forbidden) == pattern_bytes(7, 6));
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(reader.exit_code(), 0);
}

}  // namespace
