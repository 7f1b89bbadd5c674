// The reader on Windows: one small window with the book's titles. Opening a title writes
// that PDF, read-only, into this reader's own folder under the user's temporary folder
// (once, while it stays as written) and hands it to the shell's PDF viewer; "另存为…"
// writes a copy where the user says. Closing takes the copies away again (copies.h).
#include <windows.h>
// After windows.h, which they need.
#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "container/extract.h"
#include "platform/encoding.h"
#include "platform/text.h"
#include "reader/copies.h"
#include "reader/reader.h"
#include "reader/texts.h"
#include "reader/window_ids.h"

namespace {

namespace texts = reader::texts;
namespace ids = reader::window;

std::wstring wide(std::string_view utf8) {
  return platform::shown_wide(utf8);
}

void tell(HWND owner, const std::string& text, UINT icon) {
  MessageBoxW(owner, wide(text).c_str(), wide(texts::kMessageTitle).c_str(), MB_OK | icon);
}

// The hourglass while a PDF is copied; nothing else runs meanwhile.
class Busy {
 public:
  Busy() : old_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
  ~Busy() { SetCursor(old_); }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  HCURSOR old_;
};

constexpr std::wstring_view kFolderPrefix = L"Tarvello-";

// The user's temporary folder, without the separator at its end; empty when the system
// cannot say.
std::wstring temporary_base(platform::Error& err) {
  wchar_t base[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, base);
  if (n == 0 || n > MAX_PATH) {
    err = platform::system_error(GetLastError());
    return {};
  }
  while (n > 3 && base[n - 1] == L'\\') --n;
  return std::wstring(base, n);
}

// A new folder under the user's temporary folder, made here and now: CreateDirectoryW
// fails for any name that is already taken, so the PDF never lands in a folder someone
// prepared for it.
std::optional<std::string> new_temporary_folder(platform::Error& err) {
  const std::wstring base = temporary_base(err);
  if (base.empty()) return std::nullopt;
  static ULONGLONG counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    ULONGLONG mix = GetTickCount64() * 0x9E3779B97F4A7C15ull ^
                    static_cast<ULONGLONG>(GetCurrentProcessId()) << 20 ^ ++counter;
    std::wstring path = base + L'\\';
    path += kFolderPrefix;
    for (int i = 0; i < 12; ++i, mix >>= 4) path += L"0123456789abcdef"[mix & 0xF];
    if (CreateDirectoryW(path.c_str(), nullptr)) return platform::wide_to_utf8(path);
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  err = platform::system_error(GetLastError());
  return std::nullopt;
}

// The copy is written beside `target` under a name of our own and moved into place only
// when whole, so a file the user agreed to replace stays intact until then. A target that
// did not exist when the dialog closed is never replaced: one that turns up meanwhile
// stops the save.
std::string save_entry(platform::File& book, const container::IndexEntry& entry,
                       const std::string& target) {
  const bool replace = platform::path_exists(target);
  std::string temporary;
  for (int n = 1;; ++n) {
    temporary = target + ".tarvello-" + std::to_string(n) + ".tmp";
    auto failed = container::extract_entry(book, entry, temporary);
    if (!failed) break;
    if (failed.what != container::ExtractFailure::What::exists || n == 100)
      return container::describe(failed);
  }
  platform::Error err;
  const bool moved = replace ? platform::replace_file(temporary, target, err)
                             : platform::rename_no_replace(temporary, target, err);
  if (moved) return "";
  platform::Error ignored;
  platform::delete_file(temporary, ignored);
  return platform::fill(texts::kCannotSave, {platform::quoted(target), platform::describe(err)});
}

class ReaderWindow {
 public:
  explicit ReaderWindow(reader::OpenBook opened) : opened_(std::move(opened)) {}

  bool create(HINSTANCE instance) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = &ReaderWindow::procedure;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    if (!window_class.hIcon) window_class.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = ids::kClassName;
    if (!RegisterClassExW(&window_class)) return false;

    HDC screen = GetDC(nullptr);
    system_dpi_ = dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = scaled(ids::kWidth), height = scaled(ids::kHeight);
    const int x = work.left + (work.right - work.left - width) / 2;
    const int y = work.top + (work.bottom - work.top - height) / 2;
    std::wstring caption = wide(platform::shown(opened_.book->name));
    window_ = CreateWindowExW(0, ids::kClassName, caption.c_str(), WS_OVERLAPPEDWINDOW, x, y, width,
                              height, nullptr, nullptr, instance, this);
    return window_ != nullptr;
  }

  HWND handle() const { return window_; }

 private:
  int scaled(int pixels) const { return ids::scaled(pixels, dpi_); }

  HWND control(const wchar_t* kind, DWORD style, DWORD extended, int id, std::string_view text) {
    HWND h = CreateWindowExW(extended, kind, wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0,
                             0, 0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             GetModuleHandleW(nullptr), nullptr);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return h;
  }

  // The system's message face at the window's dpi; the system gives it at its own.
  void make_font() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi_, system_dpi_);
    HFONT old = std::exchange(font_, CreateFontIndirectW(&metrics.lfMessageFont));
    for (HWND hwnd : {label_, list_, open_, save_}) {
      if (hwnd) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    }
    if (old) DeleteObject(old);
  }

  void build_controls() {
    make_font();
    const auto& entries = opened_.book->entries;
    label_ = control(L"STATIC", SS_LEFT | SS_NOPREFIX, 0, ids::kLabelId,
                     platform::fill(texts::kListLabel, {std::to_string(entries.size())}));
    list_ = control(L"LISTBOX",
                    WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS,
                    WS_EX_CLIENTEDGE, ids::kListId, "");
    open_ = control(L"BUTTON", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, ids::kOpenId, texts::kOpen);
    save_ = control(L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0, ids::kSaveId, texts::kSaveAs);

    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    for (const auto& entry : entries) {
      SendMessageW(list_, LB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(wide(reader::shown_title(entry.title)).c_str()));
    }
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    SendMessageW(list_, LB_SETCURSEL, 0, 0);
    SetFocus(list_);
  }

  void lay_out(int width, int height) {
    const ids::Layout at = ids::layout(width, height, dpi_);
    for (auto [hwnd, box] : {std::pair{label_, at.label}, std::pair{list_, at.list},
                             std::pair{open_, at.open}, std::pair{save_, at.save}}) {
      MoveWindow(hwnd, box.left, box.top, box.width, box.height, TRUE);
    }
  }

  // The selected entry's place in the book, or -1.
  int selected() const {
    const LRESULT i = SendMessageW(list_, LB_GETCURSEL, 0, 0);
    if (i < 0 || static_cast<std::size_t>(i) >= opened_.book->entries.size()) return -1;
    return static_cast<int>(i);
  }

  // This reader's folder for its copies, with the record held open from now on, so that
  // no later reader takes the folder for one whose reader has ended.
  bool make_folder(platform::Error& err) {
    auto folder = new_temporary_folder(err);
    if (!folder) return false;
    record_ = reader::copies::create_record(*folder, err);
    if (!record_) return false;
    folder_ = *folder;
    return true;
  }

  void open_selected() {
    const int index = selected();
    if (index < 0) return;
    const container::IndexEntry& entry = opened_.book->entries[static_cast<std::size_t>(index)];
    platform::Error err;
    std::string target;
    // The entry's last copy is opened again while it is still as it was written.
    const auto last = std::find_if(copies_.rbegin(), copies_.rend(),
                                   [&](const auto& copy) { return copy.first == index; });
    if (last != copies_.rend()) {
      const std::string path = platform::join(folder_, last->second.name);
      if (platform::stamp_of(path, err) == last->second.stamp) target = path;
    }
    if (target.empty()) {
      Busy busy;
      if (!record_ && !make_folder(err)) {
        tell(window_, std::string(texts::kNoTempFolder) + platform::describe(err), MB_ICONERROR);
        return;
      }
      reader::copies::Copy copy;
      if (auto failed = reader::copies::write_copy(*opened_.file, entry, folder_, *record_, copy)) {
        tell(window_, container::describe(failed), MB_ICONERROR);
        return;
      }
      target = platform::join(folder_, copy.name);
      // A name written again (its copy had gone) is the new copy's.
      std::erase_if(copies_, [&](const auto& earlier) { return earlier.second.name == copy.name; });
      copies_.emplace_back(index, std::move(copy));
    }
    auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(window_, L"open", wide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) tell(window_, std::string(texts::kNoViewer) + target, MB_ICONWARNING);
  }

  // The save dialog, offering `suggested`: the path chosen, or "" when there is none.
  std::string ask_target(const std::string& suggested) {
    std::vector<wchar_t> file(32768, L'\0');
    wide(suggested).copy(file.data(), file.size() - 1);
    std::wstring filter = wide(texts::kPdfFilterLabel) + L'\0' + L"*.pdf" + L'\0' +
                          wide(texts::kAllFiles) + L'\0' + L"*.*" + L'\0';
    std::wstring title = wide(texts::kSaveTitle);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = L"pdf";
    dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                   OFN_NOREADONLYRETURN | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&dialog)) {
      if (DWORD why = CommDlgExtendedError()) {
        tell(window_, platform::fill(texts::kCannotSaveAtAll, {platform::system_message(why)}),
             MB_ICONERROR);
      }
      return "";
    }
    return platform::wide_to_utf8(file.data());
  }

  // `entry` of `source` where the user says.
  void save_as(platform::File& source, const container::IndexEntry& entry,
               const std::string& suggested) {
    const std::string target = ask_target(suggested);
    if (target.empty()) return;
    std::string problem;
    {
      Busy busy;
      problem = save_entry(source, entry, target);
    }
    if (!problem.empty()) tell(window_, problem, MB_ICONERROR);
  }

  void save_selected() {
    const int index = selected();
    if (index < 0) return;
    const auto& entry = opened_.book->entries[static_cast<std::size_t>(index)];
    save_as(*opened_.file, entry, container::single_file_name(entry.title));
  }

  // The copies go that nobody changed and no program holds open, and the folder with
  // them; a viewer still reading keeps its copy, which a later start takes away. A copy
  // that was saved into stays, and the user hears where and may save it elsewhere.
  void close_reader() {
    if (std::exchange(closing_, true)) return;
    std::vector<std::string> changed;
    for (const auto& [index, copy] : copies_) {
      const std::string path = platform::join(folder_, copy.name);
      platform::Error err;
      const auto now = platform::stamp_of(path, err);
      if (now && *now != copy.stamp) changed.push_back(path);
    }
    record_.reset();
    if (!folder_.empty()) reader::copies::clean_folder(folder_);
    for (const std::string& path : changed) {
      const std::string name = platform::base_name(path);
      const std::string text =
          platform::fill(texts::kChangedCopy, {platform::quoted(name), platform::shown(folder_)});
      if (MessageBoxW(window_, wide(text).c_str(), wide(texts::kMessageTitle).c_str(),
                      MB_YESNO | MB_ICONINFORMATION) != IDYES)
        continue;
      platform::Error err;
      auto file = platform::File::open_read(path, err);
      auto size = file ? file->size(err) : std::nullopt;
      if (!size) {
        tell(window_,
             platform::fill(texts::kCannotSave, {platform::quoted(path), platform::describe(err)}),
             MB_ICONERROR);
        continue;
      }
      save_as(*file, {name, 1, *size}, name);
    }
    DestroyWindow(window_);
  }

  // Moved to a screen of another dpi: the suggested frame, laid out afresh.
  void change_dpi(int dpi, const RECT& frame) {
    dpi_ = dpi;
    make_font();
    SetWindowPos(window_, nullptr, frame.left, frame.top, frame.right - frame.left,
                 frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(window_, &client);
    lay_out(client.right, client.bottom);
  }

  // A control's command; false for one that is not the reader's.
  bool command(WORD id, WORD code) {
    switch (id) {
      case ids::kListId:
        if (code == LBN_DBLCLK) open_selected();
        return true;
      case ids::kOpenId:
      case IDOK:
        open_selected();
        return true;
      case ids::kSaveId:
        save_selected();
        return true;
      case IDCANCEL:
        close_reader();
        return true;
    }
    return false;
  }

  LRESULT handle_message(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
      case WM_CREATE:
        build_controls();
        return 0;
      case WM_SIZE:
        lay_out(LOWORD(l), HIWORD(l));
        return 0;
      case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(l);
        info->ptMinTrackSize = {scaled(ids::kMinWidth), scaled(ids::kMinHeight)};
        return 0;
      }
      case WM_DPICHANGED:
        change_dpi(HIWORD(w), *reinterpret_cast<const RECT*>(l));
        return 0;
      case WM_ACTIVATE:
        // Back to the list (or whatever had the keyboard) when the window is active again.
        if (LOWORD(w) == WA_INACTIVE) {
          focus_ = GetFocus();
        } else {
          SetFocus(focus_ && IsChild(window_, focus_) ? focus_ : list_);
        }
        return 0;
      case DM_GETDEFID:
        // Enter in the list opens the selected title.
        return MAKELRESULT(ids::kOpenId, DC_HASDEFID);
      case WM_COMMAND:
        if (command(LOWORD(w), HIWORD(w))) return 0;
        break;
      case WM_CLOSE:
        close_reader();
        return 0;
      case WM_DESTROY:
        if (font_) DeleteObject(font_);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window_, message, w, l);
  }

  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
      auto* self = static_cast<ReaderWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
      self->window_ = window;
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<ReaderWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->handle_message(message, w, l) : DefWindowProcW(window, message, w, l);
  }

  reader::OpenBook opened_;
  std::string folder_;                    // of the copies, once there is one
  std::optional<platform::File> record_;  // in it, held open while the window lives
  std::vector<std::pair<int, reader::copies::Copy>> copies_;  // by entry, as written
  bool closing_ = false;
  HWND window_ = nullptr;
  HWND label_ = nullptr;
  HWND list_ = nullptr;
  HWND open_ = nullptr;
  HWND save_ = nullptr;
  HWND focus_ = nullptr;
  HFONT font_ = nullptr;
  int dpi_ = 96;
  int system_dpi_ = 96;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  // What earlier readers left, now that their viewers may have let go.
  platform::Error ignored;
  const std::wstring temporary = temporary_base(ignored);
  if (!temporary.empty())
    reader::copies::clean_all(platform::wide_to_utf8(temporary),
                              platform::wide_to_utf8(kFolderPrefix));
  reader::OpenBook opened = reader::open_book(platform::executable_path());
  if (!opened.book) {
    tell(nullptr, opened.message,
         opened.verdict == container::Verdict::no_book ? MB_ICONINFORMATION : MB_ICONERROR);
    return 1;
  }
  // The shell may hand the PDF to a viewer through COM.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  ReaderWindow reader(std::move(opened));
  if (!reader.create(instance)) return 1;
  ShowWindow(reader.handle(), show);
  UpdateWindow(reader.handle());

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab, Enter and Esc as in a dialog.
    if (IsDialogMessageW(reader.handle(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  CoUninitialize();
  return static_cast<int>(message.wParam);
}
