// The Desktop port on Qt: the window's dialogs, message boxes, busy pointer and
// address hand-off.
#pragma once

#include "app/desktop.h"

class QWidget;

namespace tarvello_qt {

class QtDesktop : public app::Desktop {
 public:
  // Dialogs and messages are modal to `owner`.
  explicit QtDesktop(QWidget* owner) : owner_(owner) {}

  void show_message(const std::string& text) override;
  void set_busy(bool busy) override;
  std::optional<app::PickedFile> pick_pdf_file(const std::string& initial_dir) override;
  std::optional<std::string> pick_folder() override;
  void open_address(const std::string& address) override;
  // Ends the process there and then: nothing of ours, no destructor, runs after it.
  [[noreturn]] void end_process() override;

 private:
  QWidget* owner_;
};

}  // namespace tarvello_qt
