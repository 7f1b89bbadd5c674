// The Desktop port on Qt: the window's dialogs, message boxes, busy pointer and
// address hand-off.
#pragma once

#include <QObject>
#include <memory>

#include "app/desktop.h"

class QWidget;

namespace tarvello_qt {

// Swallows the keys, clicks and drops meant for a window's controls while a build runs.
class InputBlocker : public QObject {
 public:
  explicit InputBlocker(QWidget* window) : window_(window) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
};

class QtDesktop : public app::Desktop {
 public:
  // Dialogs and messages are modal to `owner`.
  explicit QtDesktop(QWidget* owner);
  ~QtDesktop() override;

  void show_message(const std::string& text) override;
  void set_busy(bool busy) override;
  void show_progress(const std::string& caption, int percent) override;
  std::optional<app::PickedFile> pick_pdf_file(const std::string& initial_dir) override;
  std::optional<std::string> pick_folder() override;
  void open_address(const std::string& address) override;
  void post(std::function<void()> task) override;
  // Ends the process there and then: nothing of ours, no destructor, runs after it.
  [[noreturn]] void end_process() override;

 private:
  QWidget* owner_;
  std::unique_ptr<InputBlocker> blocker_;
};

}  // namespace tarvello_qt
