#include "app/win32/main_window.h"

#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "app/texts.h"
#include "app/win32/banner.h"
#include "app/win32/resource.h"
#include "platform/encoding.h"
#include "platform/file.h"

namespace win32 {
namespace {

using app::layout::Control;
using app::layout::Kind;
using app::layout::Role;

std::wstring wide(std::string_view utf8) {
  return platform::shown_wide(utf8);
}

COLORREF colour_ref(app::layout::Rgb rgb) {
  return RGB(rgb.r, rgb.g, rgb.b);
}

const Control* control_by_id(int id) {
  for (const Control& c : app::layout::controls()) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

// A fixed frame with minimise and close boxes: the layout never grows.
constexpr DWORD kFormStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// The separator's lines are one pixel thick at 96 dpi, the hand pointer 32 pixels wide.
constexpr int kLineTwips = 15;
constexpr int kPointerTwips = 480;

// The dpi of the screen the window is on. GetDpiForWindow came with Windows 10; before
// it the whole screen has the system's dpi.
int window_dpi(HWND hwnd) {
  using ForWindow = UINT(WINAPI*)(HWND);
  static const auto for_window = reinterpret_cast<ForWindow>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (for_window) {
    if (const UINT dpi = for_window(hwnd)) return static_cast<int>(dpi);
  }
  HDC dc = GetDC(hwnd);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(hwnd, dc);
  return dpi;
}

// Index of a face of the layout in the window's font cache.
std::size_t font_slot(const app::layout::Font& font) {
  if (&font == &app::layout::kBuildButtonFont) return 1;
  if (&font == &app::layout::kTahoma) return 2;
  if (&font == &app::layout::kTahomaBold) return 3;
  return 0;
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance)
    : instance_(instance), desktop_(instance), state_(platform::executable_dir()) {}

MainWindow::~MainWindow() {
  for (HFONT font : fonts_) {
    if (font) DeleteObject(font);
  }
  if (banner_) DeleteObject(banner_);
}

bool MainWindow::register_classes() {
  const int big = GetSystemMetrics(SM_CXICON);
  const int small = GetSystemMetrics(SM_CXSMICON);
  WNDCLASSEXW form{};
  form.cbSize = sizeof form;
  form.lpfnWndProc = &MainWindow::form_proc;
  form.hInstance = instance_;
  form.hIcon = static_cast<HICON>(
      LoadImageW(instance_, MAKEINTRESOURCEW(IDI_TARVELLO), IMAGE_ICON, big, big, 0));
  form.hIconSm = static_cast<HICON>(
      LoadImageW(instance_, MAKEINTRESOURCEW(IDI_TARVELLO), IMAGE_ICON, small, small, 0));
  form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form.lpszClassName = kFormClass;
  if (!RegisterClassExW(&form)) return false;

  WNDCLASSEXW picture{};
  picture.cbSize = sizeof picture;
  picture.lpfnWndProc = &MainWindow::picture_proc;
  picture.hInstance = instance_;
  picture.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  picture.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  picture.lpszClassName = kPictureClass;
  return RegisterClassExW(&picture) != 0;
}

bool MainWindow::create() {
  if (!register_classes()) return false;
  form_ = CreateWindowExW(0, kFormClass, wide(app::texts::kCaption).c_str(), kFormStyle,
                          CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance_, this);
  if (!form_) return false;
  desktop_.set_owner(form_);
  banner_ = load_banner(instance_);
  create_controls();
  lay_out(window_dpi(form_));
  // Files and folders dropped from Explorer are added as the add commands would.
  DragAcceptFiles(form_, TRUE);
  return true;
}

void MainWindow::lay_out(int dpi, const RECT* place) {
  dpi_ = dpi;
  const auto old_fonts = std::exchange(fonts_, {});
  for (const Control& c : app::layout::controls()) {
    if (HWND hwnd = GetDlgItem(form_, c.id)) {
      MoveWindow(hwnd, px(c.left), px(c.top), px(c.width), px(c.height), FALSE);
      SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_for(*c.font)), FALSE);
    }
  }
  for (HFONT font : old_fonts) {
    if (font) DeleteObject(font);
  }
  size_client(px(app::layout::kClientWidth), px(app::layout::kClientHeight), place);

  // The pointer is stretched to the dpi, and its hot spot with it.
  const HCURSOR old_hand = hand_;
  hand_ = static_cast<HCURSOR>(LoadImageW(instance_, MAKEINTRESOURCEW(IDC_HAND_POINTER),
                                          IMAGE_CURSOR, px(kPointerTwips), px(kPointerTwips), 0));
  if (!hand_) hand_ = LoadCursorW(nullptr, IDC_HAND);
  if (GetCursor() == old_hand) SetCursor(hand_);
  // The system's own pointer is shared and stays.
  if (old_hand && old_hand != LoadCursorW(nullptr, IDC_HAND)) DestroyCursor(old_hand);
  RedrawWindow(form_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// The frame's parts may be drawn at another dpi than the client's (the system's, where
// the frame does not follow the screen), so the estimate is measured and corrected.
void MainWindow::size_client(int width, int height, const RECT* place) {
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, kFormStyle, FALSE, 0);
  const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (place ? 0 : SWP_NOMOVE);
  const int left = place ? place->left : 0, top = place ? place->top : 0;
  SetWindowPos(form_, nullptr, left, top, frame.right - frame.left, frame.bottom - frame.top,
               flags);
  RECT outer{}, client{};
  GetWindowRect(form_, &outer);
  GetClientRect(form_, &client);
  if (client.right != width || client.bottom != height) {
    SetWindowPos(form_, nullptr, left, top, outer.right - outer.left + width - client.right,
                 outer.bottom - outer.top + height - client.bottom, flags);
  }
}

HFONT MainWindow::font_for(const app::layout::Font& font) {
  HFONT& slot = fonts_[font_slot(font)];
  if (!slot) {
    slot = CreateFontW(-MulDiv(font.points, dpi_, 72), 0, 0, 0, font.weight, FALSE, FALSE, FALSE,
                       static_cast<BYTE>(font.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, wide(font.face).c_str());
  }
  return slot;
}

// Children are made in tab order, which is also the order Tab walks them; lay_out gives
// them their places and fonts.
void MainWindow::create_controls() {
  for (const Control& c : app::layout::controls()) {
    // The hidden controls hold state, and that lives in state_; lines are painted.
    if (!c.visible || c.kind == Kind::line) continue;
    const wchar_t* window_class = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD ex_style = 0;
    switch (c.kind) {
      case Kind::text_box:
        window_class = L"EDIT";
        style |= WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
        ex_style = WS_EX_CLIENTEDGE;
        break;
      case Kind::list_box:
        window_class = L"LISTBOX";
        // The table's height is already whole rows of the layout's face; left to itself
        // the list would trim it to rows of the system font, before it gets its own.
        style |= WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
        ex_style = WS_EX_CLIENTEDGE;
        break;
      case Kind::push_button:
        window_class = L"BUTTON";
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
      case Kind::picture_box:
        window_class = kPictureClass;
        style |= WS_TABSTOP;
        ex_style = WS_EX_CLIENTEDGE;
        break;
      case Kind::label:
        // Only the link hears the mouse; the others let it through to the form.
        style |= SS_LEFT | SS_NOPREFIX | (c.hand_pointer ? SS_NOTIFY : 0);
        break;
      case Kind::file_list:
      case Kind::line:
      case Kind::option:  // the Linux window's rows only
        continue;
    }
    CreateWindowExW(ex_style, window_class, wide(c.text).c_str(), style, 0, 0, 0, 0, form_,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance_,
                    c.kind == Kind::picture_box ? this : nullptr);
  }
}

HWND MainWindow::child(Role role) const {
  return GetDlgItem(form_, app::layout::control(role).id);
}

// Left and top from the outer size and the screen size, in floating point; a window
// larger than the screen gets a negative place.
void MainWindow::centre() {
  RECT outer{};
  GetWindowRect(form_, &outer);
  const double width = outer.right - outer.left;
  const double height = outer.bottom - outer.top;
  const double left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const double top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  SetWindowPos(form_, nullptr, static_cast<int>(std::floor(left)),
               static_cast<int>(std::floor(top)), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int MainWindow::run(int show_command) {
  if (!create()) return 1;
  centre();
  if (!app::startup_check(state_, desktop_)) return 0;  // ended inside; kept for tests
  ShowWindow(form_, show_command);
  UpdateWindow(form_);
  SetFocus(child(Role::book_name));

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (blocked(message) || list_key(message)) continue;
    // Tab and Shift+Tab walk the controls. Enter and Escape come back as IDOK and
    // IDCANCEL, which no control carries: they do nothing.
    if (!IsDialogMessageW(form_, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return static_cast<int>(message.wParam);
}

LRESULT CALLBACK MainWindow::form_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    static_cast<MainWindow*>(create->lpCreateParams)->form_ = hwnd;
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
  return self->handle(message, wparam, lparam);
}

bool MainWindow::list_key(const MSG& message) {
  if (message.message != WM_KEYDOWN || message.hwnd != child(Role::titles)) return false;
  // Delete and Ctrl+Up / Ctrl+Down on the title list do what the buttons do.
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  if (message.wParam == VK_DELETE) {
    run(Role::delete_file);
  } else if (ctrl && (message.wParam == VK_UP || message.wParam == VK_DOWN)) {
    run(message.wParam == VK_UP ? Role::move_up : Role::move_down);
  } else {
    return false;
  }
  return true;
}

bool MainWindow::blocked(MSG& message) const {
  if (!app::building(state_)) return false;
  // Keys and clicks meant for the controls; the frame's own (moving it, closing it,
  // Alt+F4) still come through, to the frame: the name's box would take Alt+Backspace
  // as its undo.
  if (message.message == WM_SYSKEYDOWN || message.message == WM_SYSKEYUP ||
      message.message == WM_SYSCHAR) {
    message.hwnd = form_;
    return false;
  }
  return (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) ||
         (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST);
}

LRESULT MainWindow::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kRunTask:
      Win32Desktop::run_task(lparam);
      return 0;
    case WM_DROPFILES:
      on_drop(reinterpret_cast<HDROP>(wparam));
      return 0;
    case WM_COMMAND:
      on_command(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_CTLCOLORSTATIC: {
      auto dc = reinterpret_cast<HDC>(wparam);
      const Control* c = control_by_id(GetDlgCtrlID(reinterpret_cast<HWND>(lparam)));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      SetTextColor(dc, c && c->colour ? colour_ref(*c->colour) : GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR:
      if (app::building(state_)) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      if (reinterpret_cast<HWND>(wparam) == child(Role::home_page_link)) {
        SetCursor(hand_);
        return TRUE;
      }
      break;
    case WM_DPICHANGED:
      // Moved to a screen of another dpi, or the screen's dpi changed.
      lay_out(HIWORD(wparam), reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(form_, &paint);
      paint_separator(dc);
      EndPaint(form_, &paint);
      return 0;
    }
    case WM_CLOSE:
      // Closing ends the process at once: nothing is asked, nothing is saved. A running
      // build stops and cleans up first, and then ends it.
      app::close_window(state_, desktop_);
      return 0;
  }
  return DefWindowProcW(form_, message, wparam, lparam);
}

// The table's lines run across or down; each is drawn as a box as thick as the dpi
// makes a pixel, reaching both of its ends.
void MainWindow::paint_separator(HDC dc) {
  const int thickness = px(kLineTwips);
  for (Role role : {Role::separator_shadow, Role::separator_light}) {
    const Control& line = app::layout::control(role);
    const int x0 = px(std::min(line.left, line.left + line.width));
    const int x1 = px(std::max(line.left, line.left + line.width));
    const int y0 = px(std::min(line.top, line.top + line.height));
    const int y1 = px(std::max(line.top, line.top + line.height));
    const RECT box{x0, y0, x1 + thickness, y1 + thickness};
    HBRUSH brush = CreateSolidBrush(colour_ref(*line.colour));
    FillRect(dc, &box, brush);
    DeleteObject(brush);
  }
}

void MainWindow::on_command(int id, int code) {
  const Control* c = control_by_id(id);
  if (!c) return;  // IDOK and IDCANCEL from Enter and Escape, among others
  // A second click on the link soon after the first arrives as a double-click; it is
  // still a click, and each click opens the address.
  const bool clicked = (c->kind == Kind::push_button && code == BN_CLICKED) ||
                       (c->kind == Kind::label && (code == STN_CLICKED || code == STN_DBLCLK));
  if (!clicked) return;
  run(c->role);
}

void MainWindow::run(Role role) {
  read_selection();
  read_book_name();
  if (app::run_command(role, state_, desktop_).titles) refresh_titles();
}

void MainWindow::on_drop(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
    if (desktop_.usable(path)) paths.push_back(platform::wide_to_utf8(path));
  }
  DragFinish(drop);
  read_selection();
  if (app::drop_paths(std::move(paths), state_, desktop_).titles) refresh_titles();
}

void MainWindow::read_book_name() {
  HWND box = child(Role::book_name);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
  state_.book_name = platform::wide_to_utf8(text);
}

// The user selects in the visible list; the model follows before each command.
void MainWindow::read_selection() {
  const LRESULT selected = SendMessageW(child(Role::titles), LB_GETCURSEL, 0, 0);
  state_.books.select(selected == LB_ERR ? -1 : static_cast<int>(selected));
}

// Brings the title list in line with the model. Commands change one run of entries (an
// append, a swap, a removal), so only the run between the unchanged head and tail is
// replaced: a long list is not refilled for every click.
void MainWindow::refresh_titles() {
  HWND list = child(Role::titles);
  const booklist::BookList& books = state_.books;
  const std::size_t count = static_cast<std::size_t>(books.count());
  std::size_t head = 0;
  while (head < shown_.size() && head < count &&
         shown_[head] == books.at(static_cast<int>(head)).title) {
    ++head;
  }
  std::size_t tail = 0;
  while (tail < shown_.size() - head && tail < count - head &&
         shown_[shown_.size() - 1 - tail] == books.at(static_cast<int>(count - 1 - tail)).title) {
    ++tail;
  }

  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  if (head == 0 && tail == 0) {
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
  } else {
    for (std::size_t i = head; i < shown_.size() - tail; ++i) {
      SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(head), 0);
    }
  }
  shown_.erase(shown_.begin() + static_cast<std::ptrdiff_t>(head),
               shown_.end() - static_cast<std::ptrdiff_t>(tail));
  for (std::size_t i = head; i < count - tail; ++i) {
    const std::string& title = books.at(static_cast<int>(i)).title;
    SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(wide(title).c_str()));
    shown_.insert(shown_.begin() + static_cast<std::ptrdiff_t>(i), title);
  }
  // -1 clears the selection; a selected entry is scrolled into view.
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(books.selected()), 0);
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

// The banner box shows the picture from its top-left corner, scaled to the dpi and clipped
// by the box.
LRESULT CALLBACK MainWindow::picture_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  if (message == WM_PAINT) {
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    if (self && self->banner_) draw_banner(dc, self->banner_, self->dpi_);
    EndPaint(hwnd, &paint);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace win32
