#include "gui_kit.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <sstream>

#include "app/messages.h"

namespace gui {
namespace {

constexpr wchar_t kFormClass[] = L"TarvelloForm1";
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr int kFileNameCombo = 0x47c;  // cmb13: the file-name box of the open-file dialog
constexpr int kFileNameEdit = 0x480;   // edt1: the same in the older layout
constexpr int kFileTypeCombo = 0x470;  // cmb1: the file-type list

// Any message that another process may take a while to answer.
LRESULT send(HWND hwnd, UINT message, WPARAM wparam = 0, LPARAM lparam = 0, int ms = 10000) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(hwnd, message, wparam, lparam, SMTO_NORMAL, static_cast<UINT>(ms),
                           &result)) {
    return 0;
  }
  return static_cast<LRESULT>(result);
}

DWORD process_of(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}

bool is_dialog(HWND hwnd) {
  return class_name(hwnd) == kDialogClass;
}

// Memory inside another process, for the control messages that carry pointers and that
// the system does not copy between processes.
class RemoteBuffer {
 public:
  RemoteBuffer(DWORD pid, std::size_t size) : size_(size) {
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_) {
      address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
  }
  ~RemoteBuffer() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool ok() const { return address_ != nullptr; }
  char* address() const { return static_cast<char*>(address_); }
  bool write(std::size_t offset, const void* data, std::size_t n) const {
    return offset + n <= size_ &&
           WriteProcessMemory(process_, address() + offset, data, n, nullptr);
  }
  bool read(std::size_t offset, void* data, std::size_t n) const {
    return offset + n <= size_ && ReadProcessMemory(process_, address() + offset, data, n, nullptr);
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  std::size_t size_;
};

std::wstring tree_item_text(HWND tree, DWORD pid, HTREEITEM item) {
  constexpr std::size_t kChars = 520;
  RemoteBuffer remote(pid, sizeof(TVITEMW) + kChars * sizeof(wchar_t));
  if (!remote.ok()) return L"";
  TVITEMW record{};
  record.mask = TVIF_TEXT | TVIF_HANDLE;
  record.hItem = item;
  record.pszText = reinterpret_cast<wchar_t*>(remote.address() + sizeof(TVITEMW));
  record.cchTextMax = static_cast<int>(kChars);
  std::wstring text(kChars, L'\0');
  if (!remote.write(0, &record, sizeof record) ||
      !send(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.address())) ||
      !remote.read(sizeof(TVITEMW), text.data(), kChars * sizeof(wchar_t))) {
    return L"";
  }
  text.resize(std::wcslen(text.c_str()));
  return text;
}

void send_inputs(std::vector<INPUT> inputs) {
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

INPUT key(WORD vk, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

INPUT mouse(POINT screen, DWORD flags) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT input{};
  input.type = INPUT_MOUSE;
  // Absolute positions run from 0 to 65535 across the screen.
  input.mi.dx = static_cast<LONG>((screen.x * 65536LL + width - 1) / width);
  input.mi.dy = static_cast<LONG>((screen.y * 65536LL + height - 1) / height);
  input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
  return input;
}

}  // namespace

Paths& paths() {
  static Paths instance;
  return instance;
}

std::wstring wide(std::string_view text) {
  if (text.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::wstring windows_path(std::wstring path) {
  if (path.empty() || path[0] != L'/') return path;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return L"Z:" + path;
}

std::wstring join(const std::wstring& dir, const std::wstring& name) {
  if (!dir.empty() && dir.back() == L'\\') return dir + name;
  return dir + L"\\" + name;
}

bool wait_until(const std::function<bool()>& done, int ms) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(ms);
  while (true) {
    if (done()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(10);
  }
}

void make_dirs(const std::wstring& path) {
  for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos;
       at = path.find(L'\\', at + 1)) {
    CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
  CreateDirectoryW(path.c_str(), nullptr);
}

void remove_tree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileW(path.c_str());
    return;
  }
  for (const std::wstring& name : listing(path)) remove_tree(join(path, name));
  RemoveDirectoryW(path.c_str());
}

bool write_bytes(const std::wstring& path, std::string_view bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  CloseHandle(file);
  return ok;
}

std::optional<std::string> read_bytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  LARGE_INTEGER size{};
  GetFileSizeEx(file, &size);
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD got = 0;
  const bool ok = bytes.empty() ||
                  (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
                   got == bytes.size());
  CloseHandle(file);
  if (!ok) return std::nullopt;
  return bytes;
}

bool exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> listing(const std::wstring& dir) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(join(dir, L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::string pattern(std::size_t n, unsigned seed) {
  std::string out(n, '\0');
  unsigned x = seed * 2654435761u + 1;
  for (char& c : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x & 0xff);
  }
  return out;
}

std::wstring class_name(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return name;
}

std::wstring window_text(HWND hwnd) {
  const auto length = static_cast<std::size_t>(send(hwnd, WM_GETTEXTLENGTH));
  std::wstring text(length + 1, L'\0');
  const auto got = static_cast<std::size_t>(
      send(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
  text.resize(std::min(got, length));
  return text;
}

std::vector<HWND> top_windows(DWORD pid, bool all) {
  struct Search {
    DWORD pid;
    bool all;
    std::vector<HWND> found;
  } search{pid, all, {}};
  EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (process_of(hwnd) == s->pid && (s->all || IsWindowVisible(hwnd))) {
          s->found.push_back(hwnd);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<HWND> descendants(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(
      parent,
      [](HWND hwnd, LPARAM param) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

std::string describe_windows(DWORD pid) {
  std::ostringstream out;
  out << "windows of process " << pid << ":\n";
  for (HWND top : top_windows(pid, true)) {
    if (!IsWindowVisible(top)) continue;
    out << "  " << utf8(class_name(top)) << " \"" << utf8(window_text(top)) << "\"\n";
    for (HWND child : descendants(top)) {
      if (!IsWindowVisible(child)) continue;
      out << "    id " << GetDlgCtrlID(child) << " " << utf8(class_name(child)) << " \""
          << utf8(window_text(child)) << "\"\n";
    }
  }
  return out.str();
}

HWND wait_dialog(DWORD pid, std::wstring_view caption, int ms, HWND owner) {
  HWND found = nullptr;
  wait_until(
      [&] {
        for (HWND hwnd : top_windows(pid)) {
          if (is_dialog(hwnd) && (caption.empty() || window_text(hwnd) == caption) &&
              (!owner || GetWindow(hwnd, GW_OWNER) == owner)) {
            found = hwnd;
            return true;
          }
        }
        return false;
      },
      ms);
  return found;
}

bool press(HWND dialog, int id) {
  for (HWND child : descendants(dialog)) {
    if (GetDlgCtrlID(child) == id && class_name(child) == L"Button" && GetParent(child) == dialog) {
      return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                          reinterpret_cast<LPARAM>(child));
    }
  }
  return false;
}

bool wait_gone(HWND hwnd, int ms) {
  return wait_until([&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); }, ms);
}

MessageBoxSeen read_message_box(HWND box) {
  MessageBoxSeen seen;
  seen.hwnd = box;
  seen.owner = GetWindow(box, GW_OWNER);
  seen.title = window_text(box);
  for (HWND child : descendants(box)) {
    const std::wstring kind = class_name(child);
    if (kind == L"Static") {
      const std::wstring text = window_text(child);
      if (!text.empty()) seen.text += text;
    } else if (kind == L"Button" && IsWindowVisible(child)) {
      seen.buttons.push_back(GetDlgCtrlID(child));
    }
  }
  return seen;
}

// ---- App ----

App::App(const std::wstring& name, bool with_stub) : folder_(join(paths().work, name)) {
  remove_tree(folder_);
  make_dirs(folder_);
  EXPECT_TRUE(CopyFileW(paths().exe.c_str(), file(L"Tarvello.exe").c_str(), FALSE))
      << "cannot copy " << utf8(paths().exe);
  if (with_stub) {
    EXPECT_TRUE(CopyFileW(paths().stub.c_str(), file(L"books.ini").c_str(), FALSE))
        << "cannot copy " << utf8(paths().stub);
  }
}

App::~App() {
  if (process_) {
    if (running()) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
  }
}

bool App::launch() {
  const std::wstring exe = file(L"Tarvello.exe");
  std::wstring command = L"\"" + exe + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  // The current folder is the tests' work folder: the program must find books.ini and
  // write its e-books beside itself, not in whatever folder it was started from.
  if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      paths().work.c_str(), &startup, &info)) {
    ADD_FAILURE() << "cannot start " << utf8(exe) << ": error " << GetLastError();
    return false;
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  pid_ = info.dwProcessId;
  return true;
}

bool App::start() {
  if (!launch()) return false;
  const bool shown = wait_until(
      [&] {
        form_ = find_form();
        return form_ && IsWindowVisible(form_);
      },
      20000);
  if (!shown) {
    ADD_FAILURE() << "the main window was not shown within 20 s\n" << describe_windows(pid_);
    return false;
  }
  settle();
  return true;
}

HWND App::find_form() const {
  for (HWND hwnd : top_windows(pid_, true)) {
    if (class_name(hwnd) == kFormClass) return hwnd;
  }
  return nullptr;
}

HWND App::item(app::layout::Role role) const {
  return GetDlgItem(form_, app::layout::control(role).id);
}

bool App::running() const {
  return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool App::wait_exit(int ms) const {
  return process_ && WaitForSingleObject(process_, static_cast<DWORD>(ms)) == WAIT_OBJECT_0;
}

void App::settle() const {
  send(form_, WM_NULL);
}

void App::click(app::layout::Role role) const {
  send(item(role), BM_CLICK);
  settle();
}

void App::post_click(app::layout::Role role) const {
  PostMessageW(item(role), BM_CLICK, 0, 0);
}

std::vector<std::wstring> App::titles() const {
  HWND list = item(app::layout::Role::titles);
  std::vector<std::wstring> out;
  const auto count = static_cast<int>(send(list, LB_GETCOUNT));
  for (int i = 0; i < count; ++i) {
    const auto length = static_cast<std::size_t>(send(list, LB_GETTEXTLEN, i));
    std::wstring text(length + 1, L'\0');
    send(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::wcslen(text.c_str()));
    out.push_back(text);
  }
  return out;
}

int App::selected() const {
  return static_cast<int>(send(item(app::layout::Role::titles), LB_GETCURSEL));
}

void App::select(int position) const {
  send(item(app::layout::Role::titles), LB_SETCURSEL, static_cast<WPARAM>(position));
}

void App::set_book_name(const std::wstring& name) const {
  send(item(app::layout::Role::book_name), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

std::optional<MessageBoxSeen> App::wait_message(int ms) const {
  HWND box = nullptr;
  wait_until(
      [&] {
        for (HWND hwnd : top_windows(pid_)) {
          if (hwnd != form_ && is_dialog(hwnd)) {
            box = hwnd;
            return true;
          }
        }
        return false;
      },
      ms);
  if (!box) return std::nullopt;
  // The box is shown before its text is in place on some systems: read it once it has
  // its button.
  MessageBoxSeen seen;
  wait_until(
      [&] {
        seen = read_message_box(box);
        return !seen.buttons.empty() && !seen.text.empty();
      },
      2000);
  return seen;
}

std::optional<MessageBoxSeen> App::dismiss_message(int ms) const {
  auto seen = wait_message(ms);
  if (!seen) return seen;
  EXPECT_TRUE(press(seen->hwnd, IDOK)) << "the message box has no OK button";
  EXPECT_TRUE(wait_gone(seen->hwnd)) << "the message box stayed open";
  if (running() && form_) settle();
  return seen;
}

HWND App::other_window() const {
  for (HWND hwnd : top_windows(pid_)) {
    if (hwnd != form_) return hwnd;
  }
  return nullptr;
}

HWND App::open_file_dialog() const {
  return wait_dialog(pid_, wide(app::text::kOpenDialogTitle));
}

bool App::add_file(const std::wstring& path) const {
  post_click(app::layout::Role::add_file);
  HWND dialog = open_file_dialog();
  if (!dialog) {
    ADD_FAILURE() << "no open-file dialog\n" << describe_windows(pid_);
    return false;
  }
  if (!type_file_name(dialog, path)) return false;
  if (!wait_gone(dialog)) {
    ADD_FAILURE() << "the open-file dialog did not take " << utf8(path) << "\n"
                  << describe_windows(pid_);
    return false;
  }
  settle();
  return true;
}

HWND App::folder_browser() const {
  HWND found = nullptr;
  wait_until([&] {
    for (HWND hwnd : top_windows(pid_)) {
      if (hwnd != form_ && is_dialog(hwnd) && browser_tree(hwnd)) {
        found = hwnd;
        return true;
      }
    }
    return false;
  });
  return found;
}

bool App::add_folder(const std::vector<std::wstring>& tree_path) const {
  post_click(app::layout::Role::add_folder);
  HWND browser = folder_browser();
  if (!browser) {
    ADD_FAILURE() << "no folder browser\n" << describe_windows(pid_);
    return false;
  }
  HWND tree = browser_tree(browser);
  const auto roots = tree_children(tree, pid_, nullptr);
  if (roots.size() != 1) {
    ADD_FAILURE() << "the folder browser's tree has " << roots.size() << " roots, not one";
    return false;
  }
  HTREEITEM item = roots[0].handle;
  for (const std::wstring& text : tree_path) {
    item = find_tree_item(tree, pid_, item, text);
    if (!item) return false;
  }
  send(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  if (reinterpret_cast<HTREEITEM>(send(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)) != item) {
    ADD_FAILURE() << "the folder browser did not select " << utf8(tree_path.back());
    return false;
  }
  press(browser, IDOK);
  if (!wait_gone(browser)) {
    ADD_FAILURE() << "the folder browser did not close\n" << describe_windows(pid_);
    return false;
  }
  settle();
  return true;
}

// ---- the system's dialogs ----

HWND file_name_box(HWND dialog) {
  if (HWND combo = GetDlgItem(dialog, kFileNameCombo)) {
    for (HWND child : descendants(combo)) {
      if (class_name(child) == L"Edit") return child;
    }
    return combo;
  }
  return GetDlgItem(dialog, kFileNameEdit);
}

HWND file_type_box(HWND dialog) {
  return GetDlgItem(dialog, kFileTypeCombo);
}

std::vector<std::wstring> combo_items(HWND combo) {
  std::vector<std::wstring> items;
  const auto count = static_cast<int>(send(combo, CB_GETCOUNT));
  for (int i = 0; i < count; ++i) {
    const auto length = static_cast<std::size_t>(send(combo, CB_GETLBTEXTLEN, i));
    std::wstring text(length + 1, L'\0');
    send(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::wcslen(text.c_str()));
    items.push_back(text);
  }
  return items;
}

bool type_file_name(HWND dialog, const std::wstring& path) {
  HWND box = file_name_box(dialog);
  if (!box) {
    ADD_FAILURE() << "the open-file dialog has no file-name box";
    return false;
  }
  send(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  if (!press(dialog, IDOK)) {
    ADD_FAILURE() << "the open-file dialog has no Open button";
    return false;
  }
  return true;
}

HWND browser_tree(HWND browser) {
  for (HWND child : descendants(browser)) {
    if (class_name(child) == WC_TREEVIEWW) return child;
  }
  return nullptr;
}

std::vector<TreeItem> tree_children(HWND tree, DWORD pid, HTREEITEM parent) {
  std::vector<TreeItem> items;
  HTREEITEM item;
  if (parent) {
    // The browser fills a branch when it opens.
    send(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
    item = reinterpret_cast<HTREEITEM>(
        send(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
  } else {
    item = reinterpret_cast<HTREEITEM>(send(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  }
  for (; item; item = reinterpret_cast<HTREEITEM>(
                   send(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
    items.push_back({item, tree_item_text(tree, pid, item)});
  }
  return items;
}

HTREEITEM find_tree_item(HWND tree, DWORD pid, HTREEITEM parent, std::wstring_view text) {
  std::string seen;
  for (const TreeItem& item : tree_children(tree, pid, parent)) {
    if (item.text == text) return item.handle;
    seen += " \"" + utf8(item.text) + "\"";
  }
  ADD_FAILURE() << "the folder browser shows no " << utf8(text) << " here; it shows" << seen;
  return nullptr;
}

std::wstring desktop_folder() {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

std::wstring shell_name(const std::wstring& path) {
  SHFILEINFOW info{};
  SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_DISPLAYNAME);
  return info.szDisplayName;
}

std::wstring computer_name() {
  PIDLIST_ABSOLUTE computer = nullptr;
  if (FAILED(SHGetFolderLocation(nullptr, CSIDL_DRIVES, nullptr, 0, &computer))) return L"";
  SHFILEINFOW info{};
  SHGetFileInfoW(reinterpret_cast<LPCWSTR>(computer), 0, &info, sizeof info,
                 SHGFI_PIDL | SHGFI_DISPLAYNAME);
  CoTaskMemFree(computer);
  return info.szDisplayName;
}

// ---- the shell's addresses ----

void clear_addresses() {
  DeleteFileW(paths().record.c_str());
}

std::vector<std::string> addresses() {
  std::vector<std::string> lines;
  const auto bytes = read_bytes(paths().record);
  if (!bytes) return lines;
  std::istringstream in(*bytes);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

bool wait_addresses(std::size_t count, int ms) {
  return wait_until([&] { return addresses().size() >= count; }, ms);
}

bool install_address_recorder() {
  const std::wstring command =
      L"\"" + paths().self + L"\" record \"" + paths().record + L"\" \"%1\"";
  // Wine's class root is the machine's classes alone (the user's are not merged in), so
  // the handler goes there; the prefix is the tests' own.
  for (const wchar_t* scheme : {L"http", L"https"}) {
    const std::wstring key = std::wstring(scheme) + L"\\shell\\open\\command";
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS) {
      return false;
    }
    const auto bytes = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
    const bool ok =
        RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       bytes) == ERROR_SUCCESS;
    RegCloseKey(handle);
    if (!ok) return false;
  }
  return true;
}

int record_address(const std::wstring& file, const std::wstring& address) {
  // Another recorder may be writing at the same moment: wait for the file.
  HANDLE handle = INVALID_HANDLE_VALUE;
  wait_until(
      [&] {
        handle = CreateFileW(file.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        return handle != INVALID_HANDLE_VALUE;
      },
      5000);
  if (handle == INVALID_HANDLE_VALUE) return 1;
  const std::string line = utf8(address) + "\n";
  DWORD written = 0;
  WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(handle);
  return 0;
}

std::vector<COLORREF> grab_screen(const RECT& rect) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  std::vector<COLORREF> pixels;
  if (width <= 0 || height <= 0) return pixels;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    const auto* bgra = static_cast<const std::uint8_t*>(bits);
    pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
      pixels.push_back(RGB(bgra[i * 4 + 2], bgra[i * 4 + 1], bgra[i * 4]));
    }
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// ---- keyboard and mouse ----

void press_key(WORD vk, bool shift) {
  std::vector<INPUT> inputs;
  if (shift) inputs.push_back(key(VK_SHIFT, false));
  inputs.push_back(key(vk, false));
  inputs.push_back(key(vk, true));
  if (shift) inputs.push_back(key(VK_SHIFT, true));
  send_inputs(inputs);
}

void move_mouse(POINT screen) {
  send_inputs({mouse(screen, 0)});
}

void click_mouse(POINT screen) {
  send_inputs(
      {mouse(screen, 0), mouse(screen, MOUSEEVENTF_LEFTDOWN), mouse(screen, MOUSEEVENTF_LEFTUP)});
}

HWND focus_of(HWND hwnd) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

bool bring_to_front(HWND hwnd) {
  SetForegroundWindow(hwnd);
  return wait_until([&] { return GetForegroundWindow() == hwnd; }, 5000);
}

}  // namespace gui
