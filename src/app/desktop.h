// What the window's commands need from the platform, and nothing more.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace app {

struct PickedFile {
  std::string path;  // full path, UTF-8
  std::string name;  // bare file name with extension
};

class Desktop {
 public:
  virtual ~Desktop() = default;
  // A modal message titled "提示" with one OK button; returns when it is dismissed.
  virtual void show_message(const std::string& text) = 0;
  // While a build runs: the busy pointer, and no input reaches the window's controls.
  virtual void set_busy(bool busy) = 0;
  // The window's caption, and the build's progress where the system shows it (the
  // taskbar); `percent` below 0 when no build runs.
  virtual void show_progress(const std::string& caption, int percent) = 0;
  // One existing PDF file, or nullopt when the user cancels or the dialog fails.
  virtual std::optional<PickedFile> pick_pdf_file(const std::string& initial_dir) = 0;
  // One file-system folder, or nullopt.
  virtual std::optional<std::string> pick_folder() = 0;
  // Hands an address to the system's default handler without waiting for it.
  virtual void open_address(const std::string& address) = 0;
  // Runs `task` on the window's thread, after what is already queued there. Safe to call
  // from any thread.
  virtual void post(std::function<void()> task) = 0;
  // Ends the process; a test double records the call and returns.
  virtual void end_process() = 0;
};

}  // namespace app
