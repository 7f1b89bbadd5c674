// A Desktop that answers the dialogs from a script and writes down what the commands
// asked for. Posted tasks wait in a queue until the test runs them, as a window's event
// loop would.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/desktop.h"

namespace testing_support {

class ScriptedDesktop : public app::Desktop {
 public:
  std::deque<std::optional<app::PickedFile>> files;
  std::deque<std::optional<std::string>> folders;
  std::vector<std::string> events;  // "message:…", "busy", "idle", "open:…", "end"
  std::vector<std::string> captions;
  std::vector<std::string> initial_dirs;

  void show_message(const std::string& text) override { events.push_back("message:" + text); }
  void set_busy(bool busy) override { events.push_back(busy ? "busy" : "idle"); }
  void show_progress(const std::string& caption, int) override { captions.push_back(caption); }
  std::optional<app::PickedFile> pick_pdf_file(const std::string& initial_dir) override {
    initial_dirs.push_back(initial_dir);
    return next(files);
  }
  std::optional<std::string> pick_folder() override { return next(folders); }
  void open_address(const std::string& address) override { events.push_back("open:" + address); }
  void end_process() override { events.push_back("end"); }
  void post(std::function<void()> task) override {
    std::lock_guard lock(guard_);
    tasks_.push_back(std::move(task));
  }

  // Runs what was posted, in order, until `done` holds (at most ten seconds).
  bool pump_until(const std::function<bool()>& done);

 private:
  template <typename T>
  static std::optional<T> next(std::deque<std::optional<T>>& script) {
    if (script.empty()) return std::nullopt;  // an unscripted dialog counts as cancelled
    auto answer = std::move(script.front());
    script.pop_front();
    return answer;
  }

  std::mutex guard_;
  std::deque<std::function<void()>> tasks_;
};

inline std::string message(std::string_view text) {
  return "message:" + std::string(text);
}

}  // namespace testing_support
