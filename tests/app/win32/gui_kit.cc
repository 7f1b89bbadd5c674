#include "gui_kit.h"

#include <commctrl.h>
#include <dlgs.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/messages.h"
#include "app/win32/main_window.h"
#include "platform/encoding.h"

namespace gui {
namespace {

Paths the_paths;

fs::path record_file() {
  return the_paths.work / L"opened.txt";
}

std::vector<HWND> top_windows(DWORD pid) {
  std::vector<HWND> found;
  for (HWND hwnd = GetTopWindow(nullptr); hwnd; hwnd = GetWindow(hwnd, GW_HWNDNEXT)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == pid && IsWindowVisible(hwnd)) found.push_back(hwnd);
  }
  return found;
}

// The first visible top-level window of `pid` that is `wanted`, once there is one.
HWND wait_top(DWORD pid, const std::function<bool(HWND)>& wanted, int ms = 10000) {
  HWND found = nullptr;
  wait_until(
      [&] {
        for (HWND hwnd : top_windows(pid)) {
          if (!found && wanted(hwnd)) found = hwnd;
        }
        return found != nullptr;
      },
      ms);
  return found;
}

std::vector<HWND> children(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(
      parent,
      [](HWND hwnd, LPARAM list) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND descendant(HWND parent, std::wstring_view window_class) {
  for (HWND hwnd : children(parent)) {
    if (class_name(hwnd) == window_class) return hwnd;
  }
  return nullptr;
}

bool press(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  return button && PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                reinterpret_cast<LPARAM>(button));
}

bool wait_gone(HWND hwnd) {
  return wait_until([&] { return !IsWindowVisible(hwnd); });
}

// Memory inside another process, for the messages whose pointers the system does not
// carry from one process to another.
struct Remote {
  Remote(DWORD pid, std::size_t size)
      : process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid)),
        at(process ? static_cast<char*>(VirtualAllocEx(process, nullptr, size,
                                                       MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
                   : nullptr) {}
  ~Remote() {
    if (at) VirtualFreeEx(process, at, 0, MEM_RELEASE);
    if (process) CloseHandle(process);
  }
  bool write(const void* data, std::size_t n) const {
    return at && WriteProcessMemory(process, at, data, n, nullptr);
  }
  bool read(std::size_t offset, void* data, std::size_t n) const {
    return at && ReadProcessMemory(process, at + offset, data, n, nullptr);
  }
  HANDLE process;
  char* at;
};

// The text of an item of the 32-bit product's tree, asked for with TVITEMW as a 32-bit
// program lays it out: ten fields of four bytes, its handle and pointers among them.
std::wstring tree_text(HWND tree, DWORD pid, HTREEITEM item) {
  constexpr std::uint32_t kChars = 260;
  const Remote remote(pid, 40 + kChars * sizeof(wchar_t));
  const auto address = static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(remote.at));
  const auto handle = static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(item));
  // mask, item, state, state mask, text, its size, and four fields the call leaves alone
  const std::uint32_t record[10] = {TVIF_TEXT | TVIF_HANDLE, handle, 0, 0, address + 40, kChars};
  wchar_t text[kChars] = {};
  if (!remote.write(record, sizeof record) ||
      !send(tree, TVM_GETITEMW, 0, static_cast<LPARAM>(address)) ||
      !remote.read(sizeof record, text, sizeof text - sizeof(wchar_t))) {
    return L"";
  }
  return text;
}

HTREEITEM tree_next(HWND tree, UINT which, HTREEITEM item) {
  return reinterpret_cast<HTREEITEM>(
      send(tree, TVM_GETNEXTITEM, which, reinterpret_cast<LPARAM>(item)));
}

// Web addresses and PDF files go to the recorder. Wine's class root is the machine's
// classes alone, so the handlers go there; the prefix is the tests' own.
bool install_recorder() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring command =
      L"\"" + std::wstring(self) + L"\" record \"" + record_file().wstring() + L"\" \"%1\"";
  for (const auto& [key, value] : {std::pair{L"http\\shell\\open\\command", command},
                                   std::pair{L"https\\shell\\open\\command", command},
                                   std::pair{L".pdf", std::wstring(L"TarvelloTest.Pdf")},
                                   std::pair{L"TarvelloTest.Pdf\\shell\\open\\command", command}}) {
    if (RegSetKeyValueW(HKEY_CLASSES_ROOT, key, nullptr, REG_SZ, value.c_str(),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) !=
        ERROR_SUCCESS) {
      return false;
    }
  }
  return true;
}

// The recorder (PROGRAM record FILE WHAT), or the tests.
int run(int argc, wchar_t** argv) {
  if (argc == 4 && std::wstring_view(argv[1]) == L"record") {
    std::ofstream(fs::path(argv[2]), std::ios::app) << utf8(argv[3]) << std::endl;
    return 0;
  }
  testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    // ctest hands over Unix paths, which are on drive Z: for a Windows program.
    const std::wstring_view arg = argv[i];
    const auto path = [&](std::size_t at) {
      return L"Z:" + fs::path(arg.substr(at)).make_preferred().wstring();
    };
    if (arg.starts_with(L"--product=/")) the_paths.product = path(10);
    if (arg.starts_with(L"--work=/")) the_paths.work = path(7);
  }
  if (!fs::exists(the_paths.product / L"Tarvello.exe") || the_paths.work.empty()) {
    std::fprintf(stderr, "usage: PROGRAM --product=DIR-OF-THE-PRODUCT --work=DIR\n");
    return 2;
  }
  fs::create_directories(the_paths.work);
  // Per-monitor aware, so the windows of a program at any dpi measure as they are drawn.
  using SetContext = BOOL(WINAPI*)(HANDLE);
  if (const auto set = reinterpret_cast<SetContext>(reinterpret_cast<void (*)()>(
          GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")))) {
    set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));  // per monitor, version 2
  }
  if (!install_recorder()) {
    std::fprintf(stderr, "cannot make the recorder the shell's handler\n");
    return 2;
  }
  return RUN_ALL_TESTS();
}

}  // namespace

const Paths& paths() {
  return the_paths;
}

LRESULT send(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(hwnd, message, wparam, lparam, SMTO_NORMAL, 10000, &result);
  return static_cast<LRESULT>(result);
}

std::wstring wide(std::string_view text) {
  return platform::utf8_to_wide(text).value_or(L"?");
}

std::string utf8(std::wstring_view text) {
  return platform::wide_to_utf8(text);
}

bool wait_until(const std::function<bool()>& done, int ms) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(ms);
  while (!done()) {
    if (GetTickCount64() >= deadline) return false;
    Sleep(10);
  }
  return true;
}

std::wstring class_name(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return name;
}

std::wstring window_text(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(send(hwnd, WM_GETTEXTLENGTH)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      send(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  return text;
}

std::string describe_windows(DWORD pid) {
  std::ostringstream out;
  out << "the windows of process " << pid << ":\n";
  for (HWND top : top_windows(pid)) {
    out << "  " << utf8(class_name(top)) << " \"" << utf8(window_text(top)) << "\"\n";
    for (HWND hwnd : children(top)) {
      out << "    " << GetDlgCtrlID(hwnd) << " " << utf8(class_name(hwnd)) << " \""
          << utf8(window_text(hwnd)) << "\"\n";
    }
  }
  return out.str();
}

HWND wait_dialog(DWORD pid, std::wstring_view caption, HWND owner, int ms) {
  return wait_top(
      pid,
      [&](HWND hwnd) {
        return class_name(hwnd) == L"#32770" && (caption.empty() || window_text(hwnd) == caption) &&
               (!owner || GetWindow(hwnd, GW_OWNER) == owner);
      },
      ms);
}

bool choose_file(HWND dialog, const fs::path& path) {
  // The name box: an edit inside a combo box, or in the older layout an edit alone.
  HWND combo = GetDlgItem(dialog, cmb13);
  HWND box = combo ? descendant(combo, L"Edit") : GetDlgItem(dialog, edt1);
  return box && send(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str())) &&
         press(dialog, IDOK);
}

std::optional<Message> wait_message(DWORD pid, int ms) {
  HWND box = wait_dialog(pid, L"", nullptr, ms);
  if (!box) return std::nullopt;
  // A box can be shown before its text is in place: read it once it has its buttons.
  Message seen;
  wait_until([&] {
    seen = Message{box, GetWindow(box, GW_OWNER), window_text(box), L"", {}};
    for (HWND hwnd : children(box)) {
      if (class_name(hwnd) == L"Static") seen.text += window_text(hwnd);
      if (class_name(hwnd) == L"Button") seen.buttons.push_back(GetDlgCtrlID(hwnd));
    }
    return !seen.text.empty() && !seen.buttons.empty();
  });
  return seen;
}

bool dismiss(const Message& message) {
  return press(message.hwnd, IDOK) && wait_gone(message.hwnd);
}

std::array<LONG, 4> place(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right, r.bottom};
}

std::vector<COLORREF> grab(HWND hwnd, RECT rect) {
  MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<COLORREF> pixels(static_cast<std::size_t>(width) * height);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  // Blue, green, red in each as the bitmap holds them; RGB() puts red first.
  for (COLORREF& p : pixels) p = RGB(GetBValue(p), GetGValue(p), GetRValue(p));
  return pixels;
}

bool bring_to_front(HWND hwnd) {
  SetForegroundWindow(hwnd);
  return wait_until([&] { return GetForegroundWindow() == hwnd; });
}

bool change_dpi(HWND window, int dpi, SIZE size) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  const int left = (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2;
  const RECT frame{left, top, left + size.cx, top + size.cy};
  // The suggested frame travels by pointer, which must point into the window's process.
  const Remote remote(pid, sizeof frame);
  return remote.write(&frame, sizeof frame) &&
         !send(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(remote.at));
}

void press_keys(std::initializer_list<WORD> chord) {
  std::vector<INPUT> input;
  for (WORD key : chord) input.push_back({INPUT_KEYBOARD, {}}), input.back().ki.wVk = key;
  for (auto key = std::rbegin(chord); key != std::rend(chord); ++key) {
    input.push_back({INPUT_KEYBOARD, {}});
    input.back().ki = {*key, 0, KEYEVENTF_KEYUP, 0, 0};
  }
  SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

Process::~Process() {
  if (!info_.hProcess) return;
  if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
  }
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

bool Process::start(const fs::path& exe, int dpi) {
  const DWORD value = static_cast<DWORD>(dpi);
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &value,
                  sizeof value);
  std::wstring command = L"\"" + exe.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  // Started from the tests' folder: a program finds its own files beside itself.
  if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      the_paths.work.c_str(), &startup, &info_)) {
    ADD_FAILURE() << "cannot start " << utf8(exe.wstring()) << ": error " << GetLastError();
    return false;
  }
  return true;
}

long Process::exit_code(int ms) const {
  DWORD code = 0;
  if (WaitForSingleObject(info_.hProcess, static_cast<DWORD>(ms)) != WAIT_OBJECT_0) return -1;
  GetExitCodeProcess(info_.hProcess, &code);
  return static_cast<long>(code);
}

HWND Process::wait_window(const wchar_t* window_class) const {
  HWND found = wait_top(
      pid(), [&](HWND hwnd) { return class_name(hwnd) == window_class; }, 20000);
  if (!found) ADD_FAILURE() << "no window within 20 s\n" << describe_windows(pid());
  return found;
}

App::App(const fs::path& folder, bool with_reader) : folder_(folder) {
  fs::remove_all(folder_);
  fs::create_directories(folder_);
  fs::copy_file(the_paths.product / L"Tarvello.exe", folder_ / L"Tarvello.exe");
  if (with_reader) fs::copy_file(the_paths.product / L"books.ini", folder_ / L"books.ini");
}

bool App::open(int dpi) {
  if (!start(folder_ / L"Tarvello.exe", dpi) || !(form_ = wait_window(win32::kFormClass))) {
    return false;
  }
  settle();
  return true;
}

void App::click_row(int row, bool posted) const {
  HWND list = item(app::layout::Role::titles);
  const auto height = static_cast<int>(send(list, LB_GETITEMHEIGHT));
  const LPARAM at = MAKELPARAM(5, height * row + height / 2);
  for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP}) {
    const WPARAM buttons = message == WM_LBUTTONDOWN ? MK_LBUTTON : 0;
    posted ? PostMessageW(list, message, buttons, at) : send(list, message, buttons, at);
  }
}

void App::drop(const std::vector<fs::path>& files) const {
  // What Explorer hands over: a DROPFILES head, then each name in wide characters ended
  // by a NUL, and one more NUL. Its layout is the same for 32 and 64 bits.
  const DROPFILES head{sizeof head, {10, 10}, FALSE, TRUE};
  std::wstring names;
  for (const fs::path& file : files) names += file.wstring() + L'\0';
  std::string block(reinterpret_cast<const char*>(&head), sizeof head);
  block.append(reinterpret_cast<const char*>(names.c_str()), (names.size() + 1) * sizeof(wchar_t));
  const Remote remote(pid(), block.size());
  EXPECT_TRUE(remote.write(block.data(), block.size()));
  send(form_, WM_DROPFILES, reinterpret_cast<WPARAM>(remote.at));
}

std::vector<std::wstring> list_items(HWND list) {
  std::vector<std::wstring> out(static_cast<std::size_t>(send(list, LB_GETCOUNT)));
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i].resize(static_cast<std::size_t>(send(list, LB_GETTEXTLEN, i)) + 1);
    out[i].resize(static_cast<std::size_t>(
        send(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(out[i].data()))));
  }
  return out;
}

bool App::add_file(const fs::path& file, std::wstring* type) const {
  post_click(app::layout::Role::add_file);
  HWND dialog = wait_dialog(pid(), wide(app::text::kOpenDialogTitle), form_);
  if (type && dialog) *type = window_text(GetDlgItem(dialog, cmb1));
  if (!dialog || !choose_file(dialog, file) || !wait_gone(dialog)) {
    ADD_FAILURE() << "the open-file dialog did not take " << utf8(file.wstring()) << "\n"
                  << describe_windows(pid());
    return false;
  }
  settle();
  return true;
}

bool App::add_folder(const std::wstring& name) const {
  post_click(app::layout::Role::add_folder);
  HWND browser = wait_top(pid(), [&](HWND hwnd) { return descendant(hwnd, WC_TREEVIEWW); });
  HWND tree = browser ? descendant(browser, WC_TREEVIEWW) : nullptr;
  // The desktop is the tree's root; the folders on it are its first branches.
  HTREEITEM root = tree_next(tree, TVGN_ROOT, nullptr), chosen = nullptr;
  send(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
  std::string seen;
  for (HTREEITEM i = tree_next(tree, TVGN_CHILD, root); i && !chosen;
       i = tree_next(tree, TVGN_NEXT, i)) {
    const std::wstring text = tree_text(tree, pid(), i);
    chosen = text == name ? i : nullptr;
    seen += " \"" + utf8(text) + "\"";
  }
  if (!chosen || !send(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(chosen)) ||
      !press(browser, IDOK) || !wait_gone(browser)) {
    ADD_FAILURE() << "the folder browser did not take " << utf8(name) << "; it shows" << seen;
    return false;
  }
  settle();
  return true;
}

fs::path desktop() {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

std::string contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void clear_record() {
  fs::remove(record_file());
}

std::vector<std::string> recorded() {
  std::vector<std::string> lines;
  std::ifstream in(record_file());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool wait_recorded(std::size_t count) {
  return wait_until([&] { return recorded().size() >= count; });
}

}  // namespace gui

int wmain(int argc, wchar_t** argv) {
  return gui::run(argc, argv);
}
