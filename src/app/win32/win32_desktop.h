// The Desktop port on Win32: the common dialogs and the shell in their wide forms, so a
// path keeps every character on any system code page, message boxes modal to the window,
// and the hourglass.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shobjidl.h>

#include "app/desktop.h"

namespace win32 {

// Desktop::post arrives as this message, its task in the LPARAM.
inline constexpr UINT kRunTask = WM_APP + 1;

class Win32Desktop final : public app::Desktop {
 public:
  explicit Win32Desktop(HINSTANCE instance) : instance_(instance) {}
  ~Win32Desktop() override;
  Win32Desktop(const Win32Desktop&) = delete;
  Win32Desktop& operator=(const Win32Desktop&) = delete;

  // Runs and frees a task that post() sent, when kRunTask arrives.
  static void run_task(LPARAM task);

  // The window that owns every dialog, message box and shell call.
  void set_owner(HWND owner) { owner_ = owner; }
  // False, after saying so, when `path` is too long for the file calls the build makes.
  bool usable(const std::wstring& path);

  void show_message(const std::string& text) override;
  void set_busy(bool busy) override;
  void show_progress(const std::string& caption, int percent) override;
  std::optional<app::PickedFile> pick_pdf_file(const std::string& initial_dir) override;
  std::optional<std::string> pick_folder() override;
  void open_address(const std::string& address) override;
  void post(std::function<void()> task) override;
  [[noreturn]] void end_process() override;

 private:
  HINSTANCE instance_;
  HWND owner_ = nullptr;
  ITaskbarList3* taskbar_ = nullptr;  // the taskbar button's progress, from Windows 7 on
  bool taskbar_tried_ = false;
};

}  // namespace win32
