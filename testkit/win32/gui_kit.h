// Driving the product's windows from outside, the way a person would: through their
// controls, the keyboard, the system's dialogs and the screen. Everything here waits by
// polling with a deadline, so a window that never comes fails the test instead of hanging
// it. The driver is a 64-bit program and the product a 32-bit one: whatever crosses between
// them in memory is laid out for the 32-bit side.
//
// The kit is this header alone. Each program on it is one source file that includes it and
// runs as PROGRAM PRODUCT-DIR WORK-DIR [gtest options], both Unix paths, PRODUCT-DIR
// holding Tarvello.exe and books.ini; its wmain is here. The same program is the shell's
// handler for web addresses and PDF files in the tests' prefix, and writes down what it is
// handed.
#pragma once

#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <dlgs.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/texts.h"
#include "app/win32/main_window.h"
#include "platform/encoding.h"

// Windows 10's and 8.1's, which the headers declare only for programs that need them.
extern "C" __declspec(dllimport) BOOL WINAPI SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT);
extern "C" __declspec(dllimport) HRESULT WINAPI GetDpiForMonitor(HMONITOR, int, UINT*, UINT*);

namespace gui {

namespace fs = std::filesystem;
using app::layout::Role;

inline fs::path product_dir;  // the product's programs: Tarvello.exe and books.ini
inline fs::path work_dir;     // a folder of the tests' own
inline fs::path record_file;  // where the recorder writes down what the shell was asked to open

inline std::wstring wide(std::string_view text) {
  return platform::utf8_to_wide(text).value_or(L"?");
}
inline std::string utf8(std::wstring_view text) {
  return platform::wide_to_utf8(text);
}

// Polls `done` every 10 ms until it holds or `ms` milliseconds pass.
inline bool wait_until(const std::function<bool()>& done, int ms = 10000) {
  for (const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms); !done(); Sleep(10))
    if (GetTickCount64() >= end) return false;
  return true;
}

// SendMessage, for a window of another process that may take a while to answer.
inline LRESULT send(HWND hwnd, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(hwnd, message, wparam, lparam, SMTO_NORMAL, 10000, &result);
  return static_cast<LRESULT>(result);
}

inline std::wstring window_text(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(send(hwnd, WM_GETTEXTLENGTH)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      send(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

// A visible top-level window of `pid` of `window_class` (a dialog unless told), titled
// `caption` (any, when null) and owned by `owner` (any, when null), once there is one.
inline HWND wait_dialog(DWORD pid, const wchar_t* caption = nullptr, HWND owner = nullptr,
                        int ms = 10000, const wchar_t* window_class = L"#32770") {
  HWND found = nullptr;
  const auto wanted = [&] {
    while ((found = FindWindowExW(nullptr, found, window_class, caption))) {
      DWORD of = 0;
      GetWindowThreadProcessId(found, &of);
      if (of == pid && IsWindowVisible(found) && (!owner || GetWindow(found, GW_OWNER) == owner))
        return true;
    }
    return false;
  };
  wait_until(wanted, ms);
  return found;
}

// Presses the button `id` of a dialog and waits for the dialog to go.
inline bool press(HWND dialog, int id) {
  return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(GetDlgItem(dialog, id))) &&
         wait_until([&] { return !IsWindowVisible(dialog); });
}

// Types `path` into a file dialog's name box and presses its OK button.
inline bool choose_file(HWND dialog, const fs::path& path) {
  HWND box = reinterpret_cast<HWND>(send(GetDlgItem(dialog, cmb13), CBEM_GETEDITCONTROL));
  return box && send(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str())) &&
         press(dialog, IDOK);
}

struct Message {
  HWND hwnd = nullptr, owner = nullptr;
  std::wstring title, text;
  std::vector<int> buttons;
};

// The next message box of `pid`, once there is one.
inline std::optional<Message> wait_message(DWORD pid, int ms = 10000) {
  HWND box = wait_dialog(pid, nullptr, nullptr, ms);
  if (!box) return std::nullopt;
  // 0xFFFF: the static that holds a message box's text.
  Message seen{
      box, GetWindow(box, GW_OWNER), window_text(box), window_text(GetDlgItem(box, 0xFFFF)), {}};
  for (int id = IDOK; id <= IDCONTINUE; ++id)
    if (GetDlgItem(box, id)) seen.buttons.push_back(id);
  return seen;
}

inline std::vector<std::wstring> list_items(HWND list) {
  std::vector<std::wstring> out(static_cast<std::size_t>(send(list, LB_GETCOUNT)));
  for (std::size_t i = 0; i < out.size(); ++i) {
    // The text and its NUL, which the string has room for.
    out[i].resize(static_cast<std::size_t>(send(list, LB_GETTEXTLEN, i)));
    send(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(out[i].data()));
  }
  return out;
}

// `hwnd` at `left`, `top` of its parent's client area, `width` by `height` pixels.
inline void expect_place(HWND hwnd, int left, int top, int width, int height) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ((std::array<LONG, 4>{r.left, r.top, r.right - r.left, r.bottom - r.top}),
            (std::array<LONG, 4>{left, top, width, height}))
      << "control " << GetDlgCtrlID(hwnd);
}

// Text in the list `list` at `dpi`: a row is a little taller than the em of a face of
// 9 points, 12 pixels at 96 dpi.
inline void expect_rows_scaled(HWND list, int dpi) {
  const LRESULT row = send(list, LB_GETITEMHEIGHT), em = MulDiv(12, dpi, 96);
  EXPECT_TRUE(row >= em && row < 2 * em) << row << " pixels a row in a face of " << em;
}

// The pixels of `rect` of `hwnd`'s client area as the screen shows them, row by row.
inline std::vector<COLORREF> grab(HWND hwnd, RECT rect) {
  MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  std::vector<COLORREF> pixels;
  HDC screen = GetDC(nullptr);
  for (LONG y = rect.top; y < rect.bottom; ++y)
    for (LONG x = rect.left; x < rect.right; ++x) pixels.push_back(GetPixel(screen, x, y));
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(std::ranges::count(pixels, CLR_INVALID), 0) << "pixels the screen would not give";
  return pixels;
}

inline bool bring_to_front(HWND hwnd) {
  SetForegroundWindow(hwnd);
  return wait_until([&] { return GetForegroundWindow() == hwnd; });
}

// Keys pressed together and let go in reverse order, as the keyboard gives them, to the
// window with the focus.
inline void press_keys(std::initializer_list<BYTE> chord) {
  for (BYTE key : chord) keybd_event(key, 0, 0, 0);
  for (auto key = std::rbegin(chord); key != std::rend(chord); ++key)
    keybd_event(*key, 0, KEYEVENTF_KEYUP, 0);
}

// A copy of `size` bytes at `data` in the process of `hwnd`, for the messages whose pointers
// the system does not carry from one process to another. It lasts as long as the process.
inline LPARAM remote(HWND hwnd, const void* data, std::size_t size) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
  void* at = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  EXPECT_TRUE(at && WriteProcessMemory(process, at, data, size, nullptr)) << "process " << pid;
  CloseHandle(process);
  return reinterpret_cast<LPARAM>(at);
}

// Tells `window` that its screen's dpi became `dpi`, suggesting a frame of `size` in the
// middle of the screen.
inline bool change_dpi(HWND window, int dpi, SIZE size) {
  const int left = (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2;
  const RECT frame{left, top, left + size.cx, top + size.cy};
  return !send(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), remote(window, &frame, sizeof frame));
}

// The main screen's dpi, which a program that follows its screen's dpi takes.
inline int screen_dpi() {
  UINT x = 0, y = 0;
  GetDpiForMonitor(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), 0 /* effective */, &x, &y);
  return static_cast<int>(y);
}

// One run of a program on a screen of `dpi`, ended with the test at the latest. The screen's
// dpi is the Wine session's (TARVELLO_DPI of tests/wine/gui.sh), set when the session
// starts: a program cannot change it, so a run on a screen of another dpi fails at once.
class Process {
 public:
  ~Process() {
    if (TerminateProcess(info_.hProcess, 99)) WaitForSingleObject(info_.hProcess, 5000);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }

  bool start(const fs::path& exe, int dpi = 96) {
    if (screen_dpi() != dpi) {
      ADD_FAILURE() << "the screen is at " << screen_dpi() << " dpi: a run at " << dpi
                    << " dpi needs TARVELLO_DPI=" << dpi;
      return false;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    // Started from the tests' folder: a program finds its own files beside itself.
    const bool started = CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                                        work_dir.c_str(), &startup, &info_);
    EXPECT_TRUE(started) << "cannot start " << utf8(exe.wstring()) << ": error " << GetLastError();
    return started;
  }
  DWORD pid() const { return info_.dwProcessId; }
  // The exit code, or -1 while it still runs after `ms`.
  long exit_code(int ms = 10000) const {
    DWORD code = 0;
    if (WaitForSingleObject(info_.hProcess, static_cast<DWORD>(ms)) != WAIT_OBJECT_0) return -1;
    GetExitCodeProcess(info_.hProcess, &code);
    return static_cast<long>(code);
  }
  // Its visible top-level window of `window_class`; null, with the test failed, after 20 s.
  HWND wait_window(const wchar_t* window_class) const {
    HWND found = wait_dialog(pid(), nullptr, nullptr, 20000, window_class);
    if (!found) ADD_FAILURE() << "no window of process " << pid() << " within 20 s";
    return found;
  }

 private:
  PROCESS_INFORMATION info_{};
};

// Tarvello.exe, and books.ini unless `with_reader` is false, copied into `folder` afresh.
class App : public Process {
 public:
  explicit App(const fs::path& folder, bool with_reader = true) : folder_(folder) {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    fs::copy_file(product_dir / L"Tarvello.exe", folder_ / L"Tarvello.exe");
    if (with_reader) fs::copy_file(product_dir / L"books.ini", folder_ / L"books.ini");
  }
  // Starts the window and waits for it.
  bool open(int dpi = 96) {
    return start(folder_ / L"Tarvello.exe", dpi) && (form_ = wait_window(win32::kFormClass));
  }
  const fs::path& folder() const { return folder_; }
  HWND form() const { return form_; }
  HWND item(Role role) const { return GetDlgItem(form_, app::layout::control(role).id); }

  // A click that opens nothing modal, handled before this returns.
  void click(Role role) const { send(item(role), BM_CLICK); }
  // A click whose handler opens a dialog or a message box: posted, returns at once.
  void post_click(Role role) const { PostMessageW(item(role), BM_CLICK, 0, 0); }
  // A left click on row `row` of the title list: sent, handled when this returns, or
  // posted, so that it passes the window's message loop as a user's click does.
  void click_row(int row, bool posted = false) const {
    const LPARAM at = MAKELPARAM(5, send(item(Role::titles), LB_GETITEMHEIGHT) * (2 * row + 1) / 2);
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP}) {
      posted ? PostMessageW(item(Role::titles), message, MK_LBUTTON, at)
             : send(item(Role::titles), message, MK_LBUTTON, at);
    }
  }
  std::vector<std::wstring> titles() const { return list_items(item(Role::titles)); }
  void select(int position) const { send(item(Role::titles), LB_SETCURSEL, position); }
  void set_book_name(const std::wstring& name) const {
    send(item(Role::book_name), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }

  // Add file through the open-file dialog, which offers PDF files.
  bool add_file(const fs::path& file) const {
    post_click(Role::add_file);
    HWND dialog = wait_dialog(pid(), wide(app::texts::kOpenDialogTitle).c_str(), form_);
    EXPECT_EQ(window_text(GetDlgItem(dialog, cmb1)), wide(app::texts::kPdfFilterLabel));
    return took(dialog && choose_file(dialog, file), file);
  }
  // Add folder through the folder browser, which is told to select `folder`.
  bool add_folder(const fs::path& folder) const {
    post_click(Role::add_folder);
    const LPARAM at = remote(form_, folder.c_str(), (folder.native().size() + 1) * sizeof(wchar_t));
    HWND browser = wait_dialog(pid(), nullptr, form_);
    HWND tree = FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
    // Told again until its tree has the folder selected: the first browser of a process
    // may not find it yet.
    const auto selected = [&] {
      send(browser, BFFM_SETSELECTIONW, TRUE, at);
      return send(tree, TVM_GETNEXTITEM, TVGN_CARET) != 0;
    };
    return took(browser && wait_until(selected) && press(browser, IDOK), folder);
  }

  // Files and folders dropped on the window from Explorer: a DROPFILES head (the same for
  // 32 and 64 bits), then each name in wide characters ended by a NUL, and one more NUL.
  // Handled by the time this returns, unless `posted`.
  void drop(const std::vector<fs::path>& files, bool posted = false) const {
    const DROPFILES head{sizeof head, {10, 10}, FALSE, TRUE};
    std::wstring block(reinterpret_cast<const wchar_t*>(&head), sizeof head / sizeof(wchar_t));
    for (const fs::path& file : files) block += file.wstring() + L'\0';
    const LPARAM at = remote(form_, block.c_str(), (block.size() + 1) * sizeof(wchar_t));
    posted ? PostMessageW(form_, WM_DROPFILES, at, 0) : send(form_, WM_DROPFILES, at);
  }

 private:
  // Whether a dialog took `what`; the window has handled it by the time this returns.
  bool took(bool ok, const fs::path& what) const {
    EXPECT_TRUE(ok) << "no dialog took " << utf8(what.wstring());
    send(form_, WM_NULL);
    return ok;
  }

  fs::path folder_;
  HWND form_ = nullptr;
};

// The bytes of a file; none when it cannot be read, or not yet.
inline std::string contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// What the shell was asked to open since the record was removed, in order, once there are
// `count` such or 10 s have passed.
inline std::vector<std::string> recorded(std::size_t count = 0) {
  std::vector<std::string> lines;
  wait_until([&] {
    lines.clear();
    std::ifstream in(record_file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines.size() >= count;
  });
  return lines;
}

}  // namespace gui

// The recorder (PROGRAM record FILE WHAT), or the tests.
int wmain(int argc, wchar_t** argv) {
  using namespace gui;
  if (argc == 4 && std::wstring_view(argv[1]) == L"record") {
    std::ofstream(fs::path(argv[2]), std::ios::app) << utf8(argv[3]) << std::endl;
    return 0;
  }
  testing::InitGoogleTest(&argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: PROGRAM PRODUCT-DIR WORK-DIR [gtest options]\n");
    return 2;
  }
  // Unix paths, which are on drive Z: for a Windows program.
  product_dir = L"Z:" + fs::path(argv[1]).make_preferred().wstring();
  work_dir = L"Z:" + fs::path(argv[2]).make_preferred().wstring();
  record_file = work_dir / L"opened.txt";
  // Per-monitor aware (version 2), so the windows of a program at any dpi measure as they
  // are drawn.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  // Web addresses and PDF files go to the recorder. Wine's class root is the machine's
  // classes alone, so the handlers go there; the prefix is the tests' own.
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring command =
      L"\"" + std::wstring(self) + L"\" record \"" + record_file.wstring() + L"\" \"%1\"";
  RegSetValueW(HKEY_CLASSES_ROOT, L".pdf", REG_SZ, L"TarvelloTest.Pdf", 0);
  for (const wchar_t* type : {L"http", L"https", L"TarvelloTest.Pdf"})
    RegSetValueW(HKEY_CLASSES_ROOT, (type + std::wstring(L"\\shell\\open\\command")).c_str(),
                 REG_SZ, command.c_str(), 0);
  return RUN_ALL_TESTS();
}
