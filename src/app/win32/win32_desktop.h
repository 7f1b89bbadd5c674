// The Desktop port on Win32: the common dialogs and the shell in their wide forms, so a
// path keeps every character on any system code page, message boxes modal to the window,
// and the hourglass.
#pragma once

#include <windows.h>

#include "app/desktop.h"

namespace win32 {

class Win32Desktop final : public app::Desktop {
 public:
  explicit Win32Desktop(HINSTANCE instance) : instance_(instance) {}

  // The window that owns every dialog, message box and shell call.
  void set_owner(HWND owner) { owner_ = owner; }
  bool busy() const { return busy_; }

  void show_message(const std::string& text) override;
  void set_busy(bool busy) override;
  std::optional<app::PickedFile> pick_pdf_file(const std::string& initial_dir) override;
  std::optional<std::string> pick_folder() override;
  void open_address(const std::string& address) override;
  [[noreturn]] void end_process() override;

 private:
  // False, after saying so, when `path` is too long for the file calls the build makes.
  bool usable(const std::wstring& path);

  HINSTANCE instance_;
  HWND owner_ = nullptr;
  bool busy_ = false;
};

}  // namespace win32
