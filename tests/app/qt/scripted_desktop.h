// A Desktop that answers the window's dialogs from a script and writes down what the
// commands asked for, for the window tests, the screenshot and the benchmark.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QInputMethodEvent>
#include <QWidget>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/desktop.h"

namespace tarvello_qt_testing {

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

inline std::string message(std::string_view text) {
  return "message:" + std::string(text);
}

inline void write_file(const std::string& path, const QByteArray& bytes) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) std::abort();
}

// Chinese text arrives from an input method as one committed string, not as key presses.
inline void type_text(QWidget* widget, const QString& text) {
  widget->setFocus();
  QInputMethodEvent commit;
  commit.setCommitString(text);
  QCoreApplication::sendEvent(widget, &commit);
}

}  // namespace tarvello_qt_testing
