// Driving the real Tarvello.exe from outside, the way a person would: through its
// windows, the system's dialogs and the keyboard. Everything here waits by polling with
// a deadline, so a window that never comes fails the test instead of hanging it.
#pragma once

#include <windows.h>

#include <commctrl.h>  // after windows.h, which it builds on

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/layout.h"

namespace gui {

// What the command line names.
struct Paths {
  std::wstring exe;     // the Tarvello.exe under test
  std::wstring stub;    // the books.ini that lies beside it
  std::wstring work;    // a folder of the tests' own; each scenario makes its folders here
  std::wstring self;    // this driver, which also records the addresses the shell opens
  std::wstring record;  // the file the recorder appends each address to
};
Paths& paths();

std::wstring wide(std::string_view utf8);
std::string utf8(std::wstring_view text);
// "/a/b" (a Unix path, as ctest hands it over) becomes "Z:\a\b"; other paths stay.
std::wstring windows_path(std::wstring path);
std::wstring join(const std::wstring& dir, const std::wstring& name);

// Polls `done` every 10 ms until it holds or `ms` milliseconds pass.
bool wait_until(const std::function<bool()>& done, int ms = 10000);

// Files, with wide names.
void make_dirs(const std::wstring& path);
void remove_tree(const std::wstring& path);
bool write_bytes(const std::wstring& path, std::string_view bytes);
std::optional<std::string> read_bytes(const std::wstring& path);
bool exists(const std::wstring& path);
// The names in a folder, sorted.
std::vector<std::wstring> listing(const std::wstring& dir);
// `n` bytes of a repeatable pattern for `seed`, so every test PDF is different.
std::string pattern(std::size_t n, unsigned seed);

std::wstring class_name(HWND hwnd);
// The text of a window of any process; "" when it does not answer.
std::wstring window_text(HWND hwnd);
// Top-level windows of a process, visible ones only unless `all`.
std::vector<HWND> top_windows(DWORD pid, bool all = false);
// The children of `parent` at every depth, in Z order.
std::vector<HWND> descendants(HWND parent);
// Every top-level window of `pid` with its children, for failure messages.
std::string describe_windows(DWORD pid);

// A visible dialog of `pid` with the caption `caption` (any caption when it is empty),
// owned by `owner` unless that is null; nullptr after `ms`.
HWND wait_dialog(DWORD pid, std::wstring_view caption, int ms = 10000, HWND owner = nullptr);
// Clicks the button `id` of a dialog by posting its notification: the dialog may be
// running a modal loop of its own.
bool press(HWND dialog, int id);
bool wait_gone(HWND hwnd, int ms = 10000);

struct MessageBoxSeen {
  HWND hwnd = nullptr;
  HWND owner = nullptr;
  std::wstring title;
  std::wstring text;
  std::vector<int> buttons;  // ids of its push buttons
};
// Reads a message box: its caption, its text and its buttons.
MessageBoxSeen read_message_box(HWND box);

// One run of Tarvello.exe from a fresh app folder of its own.
class App {
 public:
  // Makes work\<name> afresh with a copy of Tarvello.exe and, unless `with_stub` is
  // false, books.ini beside it.
  explicit App(const std::wstring& name, bool with_stub = true);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  const std::wstring& folder() const { return folder_; }
  std::wstring file(const std::wstring& name) const { return join(folder_, name); }

  // Starts the program, from a current folder other than its own.
  bool launch();
  // Launches and waits for the window to be shown; false (with the reason recorded
  // as a test failure) otherwise.
  bool start();
  DWORD pid() const { return pid_; }
  HANDLE process() const { return process_; }
  // The main window, visible or not; nullptr while there is none.
  HWND find_form() const;
  HWND form() const { return form_; }
  HWND item(app::layout::Role role) const;
  bool running() const;
  bool wait_exit(int ms = 10000) const;

  // Returns once the window has handled everything sent or posted to it before.
  void settle() const;
  // A click that opens nothing modal, handled before this returns.
  void click(app::layout::Role role) const;
  // A click whose handler opens a dialog or a message box: posted, returns at once.
  void post_click(app::layout::Role role) const;

  std::vector<std::wstring> titles() const;
  int selected() const;
  void select(int position) const;
  void set_book_name(const std::wstring& name) const;

  // The message box that the window shows next (within `ms`), read; nullopt if none.
  std::optional<MessageBoxSeen> wait_message(int ms = 10000) const;
  // Reads the next message box and presses its OK button.
  std::optional<MessageBoxSeen> dismiss_message(int ms = 10000) const;
  // A visible top-level window of the program other than the main window, if any.
  HWND other_window() const;

  // The open-file dialog, after a click on the add-file button.
  HWND open_file_dialog() const;
  // The whole add-file command: click, type `path` into the dialog, press Open.
  bool add_file(const std::wstring& path) const;
  // The folder browser, after a click on the add-folder button.
  HWND folder_browser() const;
  // The whole add-folder command: click, open the tree from the desktop down along the
  // items named `tree_path`, select the last one, press OK.
  bool add_folder(const std::vector<std::wstring>& tree_path) const;
  bool add_desktop_folder(const std::wstring& name) const { return add_folder({name}); }

 private:
  std::wstring folder_;
  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
  HWND form_ = nullptr;
};

// The open-file dialog: the file-name box and the type list.
HWND file_name_box(HWND dialog);
HWND file_type_box(HWND dialog);
// The items of a combo box of any process.
std::vector<std::wstring> combo_items(HWND combo);
// Types `path` into the dialog and presses Open.
bool type_file_name(HWND dialog, const std::wstring& path);

// The folder browser's tree, and its items by the text they show.
HWND browser_tree(HWND browser);
struct TreeItem {
  HTREEITEM handle = nullptr;
  std::wstring text;
};
// The children of `parent` (nullptr: the roots), expanded first so they exist.
std::vector<TreeItem> tree_children(HWND tree, DWORD pid, HTREEITEM parent);
// The child of `parent` whose text is `text`; nullptr, with the test failed, if none.
HTREEITEM find_tree_item(HWND tree, DWORD pid, HTREEITEM parent, std::wstring_view text);
// The prefix user's desktop folder, which the browser shows as top-level items.
std::wstring desktop_folder();
// The name under which the shell shows a file-system path, and "My Computer".
std::wstring shell_name(const std::wstring& path);
std::wstring computer_name();

// The addresses that the shell was asked to open, in order, since clear_addresses().
void clear_addresses();
std::vector<std::string> addresses();
bool wait_addresses(std::size_t count, int ms = 10000);
// Makes the shell hand every http address to this driver's recorder.
bool install_address_recorder();
// The recorder itself: `driver record FILE ADDRESS`.
int record_address(const std::wstring& file, const std::wstring& address);

// The pixels on the screen in `rect` (screen coordinates), row by row.
std::vector<COLORREF> grab_screen(const RECT& rect);

// Keyboard and mouse through the system's input queue.
void press_key(WORD vk, bool shift = false);
void move_mouse(POINT screen);
void click_mouse(POINT screen);
// The window that holds the keyboard focus in the thread of `hwnd`.
HWND focus_of(HWND hwnd);
// Brings the main window to the front so that keys and the mouse reach it.
bool bring_to_front(HWND hwnd);

}  // namespace gui
