// A Desktop that answers the dialogs from a script and writes down what the commands
// asked for: the commands' tests, the Linux window's tests and its tools share it.
#pragma once

#include <deque>
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
  std::vector<std::string> events;
  std::vector<std::string> initial_dirs;

  void show_message(const std::string& text) override { events.push_back("message:" + text); }
  void set_busy(bool busy) override { events.push_back(busy ? "busy" : "idle"); }
  std::optional<app::PickedFile> pick_pdf_file(const std::string& initial_dir) override {
    initial_dirs.push_back(initial_dir);
    return next(files);
  }
  std::optional<std::string> pick_folder() override { return next(folders); }
  void open_address(const std::string& address) override { events.push_back("open:" + address); }
  void end_process() override { events.push_back("end"); }

 private:
  // An unscripted dialog counts as cancelled.
  template <typename T>
  static std::optional<T> next(std::deque<std::optional<T>>& script) {
    if (script.empty()) return std::nullopt;
    auto answer = std::move(script.front());
    script.pop_front();
    return answer;
  }
};

// How a message shows up in ScriptedDesktop::events.
inline std::string message(std::string_view text) {
  return "message:" + std::string(text);
}

}  // namespace testing_support
