// Form1 on Win32: lays the controls out from the layout table, turns each click into one
// command of the core and redraws the title list from the model.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <array>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/layout.h"
#include "app/win32/win32_desktop.h"

namespace win32 {

inline constexpr wchar_t kFormClass[] = L"TarvelloForm1";
inline constexpr wchar_t kPictureClass[] = L"TarvelloPicture";

class MainWindow {
 public:
  explicit MainWindow(HINSTANCE instance);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window and its controls, centres it, checks for the reader, shows it
  // and runs the message loop. Returns the process's exit code.
  int run(int show_command);

 private:
  static LRESULT CALLBACK form_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK picture_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  bool register_classes();
  bool create();
  void create_controls();
  // Sizes the frame and places every control, its font and the hand pointer for `dpi`;
  // the frame goes to `place`'s corner when the system suggests one.
  void lay_out(int dpi, const RECT* place = nullptr);
  // Gives the form a client area of `width` by `height` pixels, at `place`'s corner if any.
  void size_client(int width, int height, const RECT* place);
  HFONT font_for(const app::layout::Font& font);
  void centre();
  LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
  void on_command(int id, int code);
  // Runs the command of `role` on the current book name and selection.
  void run(app::layout::Role role);
  void on_drop(HDROP drop);
  // Delete and Ctrl+Up/Down on the title list; true when the key was one of them.
  bool list_key(const MSG& message);
  void paint_separator(HDC dc);
  HWND child(app::layout::Role role) const;
  void read_selection();
  void refresh_titles();
  void read_book_name();
  // While a build runs the window paints and moves, but its controls take no input.
  bool blocked(MSG& message) const;
  int px(int twips) const { return app::layout::to_pixels(twips, dpi_); }

  HINSTANCE instance_;
  Win32Desktop desktop_;
  app::WindowState state_;
  std::vector<std::string> shown_;  // the titles the list shows, to update it by difference
  HWND form_ = nullptr;
  int dpi_ = 96;
  HCURSOR hand_ = nullptr;
  HBITMAP banner_ = nullptr;
  std::array<HFONT, 4> fonts_{};  // one per face of the layout at dpi_, made on first use
};

}  // namespace win32
