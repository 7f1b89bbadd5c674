// Driving the product's windows from outside, the way a person would: through their
// controls, the system's dialogs and the screen. Everything here waits by polling with a
// deadline, so a window that never comes fails the test instead of hanging it. The
// driver is a 64-bit program and the product a 32-bit one: whatever crosses between them
// in memory is laid out for the 32-bit side.
#pragma once

#include <windows.h>

#include <array>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/layout.h"

namespace gui {

namespace fs = std::filesystem;

// What the command line names. Each program on this kit runs its tests with
//   PROGRAM --product=DIR --work=DIR [gtest options]
// and the shell hands it every web address and PDF file to record.
struct Paths {
  fs::path product;  // the product's programs: Tarvello.exe and books.ini
  fs::path work;     // a folder of the tests' own
};
const Paths& paths();

std::wstring wide(std::string_view utf8);
std::string utf8(std::wstring_view text);
// Polls `done` every 10 ms until it holds or `ms` milliseconds pass.
bool wait_until(const std::function<bool()>& done, int ms = 10000);

// SendMessage, for a window of another process that may take a while to answer.
LRESULT send(HWND hwnd, UINT message, WPARAM wparam = 0, LPARAM lparam = 0);
std::wstring class_name(HWND hwnd);
std::wstring window_text(HWND hwnd);
// The visible top-level windows of a process with their children, for failure messages.
std::string describe_windows(DWORD pid);
// A visible dialog of `pid` titled `caption` (any, when empty) and owned by `owner` (any,
// when null); null after `ms`.
HWND wait_dialog(DWORD pid, std::wstring_view caption, HWND owner = nullptr, int ms = 10000);
// The items of a list box.
std::vector<std::wstring> list_items(HWND list);
// Types `path` into a file dialog's name box and presses its OK button.
bool choose_file(HWND dialog, const fs::path& path);

struct Message {
  HWND hwnd = nullptr;
  HWND owner = nullptr;
  std::wstring title, text;
  std::vector<int> buttons;
};
// The next message box of `pid`, read once it holds its text and buttons.
std::optional<Message> wait_message(DWORD pid, int ms = 10000);
// Presses its OK button and waits for it to go.
bool dismiss(const Message& message);

// A child window's rectangle in its parent's client area, as left, top, right, bottom.
std::array<LONG, 4> place(HWND hwnd);
// The pixels of `rect` of `hwnd`'s client area as the screen shows them, row by row.
std::vector<COLORREF> grab(HWND hwnd, RECT rect);
bool bring_to_front(HWND hwnd);
// Tells `window` that its screen's dpi became `dpi`, suggesting a frame of `size` in the
// middle of the screen.
bool change_dpi(HWND window, int dpi, SIZE size);
// Keys pressed together and let go in reverse order, as the keyboard gives them, to the
// window with the focus.
void press_keys(std::initializer_list<WORD> chord);

// One run of a program at `dpi` (the prefix's LogPixels, which a program reads when it
// starts), ended with the test at the latest.
class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool start(const fs::path& exe, int dpi = 96);
  DWORD pid() const { return info_.dwProcessId; }
  // The exit code, or -1 while it still runs after `ms`.
  long exit_code(int ms = 10000) const;
  // Its visible top-level window of `window_class`; null, with the test failed, after 20 s.
  HWND wait_window(const wchar_t* window_class) const;

 private:
  PROCESS_INFORMATION info_{};
};

// Tarvello.exe, and books.ini unless `with_reader` is false, copied into `folder` afresh.
class App : public Process {
 public:
  explicit App(const fs::path& folder, bool with_reader = true);
  // Starts the window and waits for it.
  bool open(int dpi = 96);
  const fs::path& folder() const { return folder_; }
  HWND form() const { return form_; }
  HWND item(app::layout::Role role) const {
    return GetDlgItem(form_, app::layout::control(role).id);
  }

  // Returns once the window has handled everything sent or posted to it before.
  void settle() const { send(form_, WM_NULL); }
  // A click that opens nothing modal, handled before this returns.
  void click(app::layout::Role role) const { send(item(role), BM_CLICK); }
  // A click whose handler opens a dialog or a message box: posted, returns at once.
  void post_click(app::layout::Role role) const { PostMessageW(item(role), BM_CLICK, 0, 0); }
  std::vector<std::wstring> titles() const { return list_items(item(app::layout::Role::titles)); }
  void select(int position) const { send(item(app::layout::Role::titles), LB_SETCURSEL, position); }
  void set_book_name(const std::wstring& name) const {
    send(item(app::layout::Role::book_name), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }
  // A left click on row `row` of the title list: sent, handled when this returns, or
  // posted, so that it passes the window's message loop as a user's click does.
  void click_row(int row, bool posted = false) const;
  // Files and folders dropped on the window from Explorer.
  void drop(const std::vector<fs::path>& files) const;
  // Add file through the open-file dialog, which shows `type` as its file type.
  bool add_file(const fs::path& file, std::wstring* type = nullptr) const;
  // Add folder through the folder browser, choosing the folder `name` on the desktop.
  bool add_folder(const std::wstring& name) const;

 private:
  fs::path folder_;
  HWND form_ = nullptr;
};

// The prefix user's desktop, whose folders the folder browser shows at the top.
fs::path desktop();
// The bytes of a file; none when it cannot be read, or not yet.
std::string contents(const fs::path& file);

// What the shell was asked to open since clear_record(), in order.
void clear_record();
std::vector<std::string> recorded();
bool wait_recorded(std::size_t count);

}  // namespace gui
