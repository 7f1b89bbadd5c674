// Answering the Linux window's modal dialogs from the outside, for the window's tests, its
// benchmarks and its screenshots. A modal dialog runs an event loop of its own, so only a
// timer on the window's thread reaches it: this one looks every few milliseconds.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <utility>

namespace testing_support {

class DialogAnswerer {
 public:
  // From now on, every `every_ms`: `meanwhile` (if any), then, once a modal dialog is shown,
  // `answer` with it, and the looking stops. `answer` closes the dialog (accept() goes through
  // the dialog's own checks) or leaves it to the caller.
  DialogAnswerer(int every_ms, std::function<void(QDialog&)> answer,
                 std::function<void()> meanwhile = {})
      : answer_(std::move(answer)), meanwhile_(std::move(meanwhile)) {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    timer_.start(every_ms);
  }
  DialogAnswerer(const DialogAnswerer&) = delete;
  DialogAnswerer& operator=(const DialogAnswerer&) = delete;

  bool answered() const { return answered_; }
  void stop() { timer_.stop(); }

  // Runs the event loop until a dialog was answered; false after `timeout_ms` without one.
  bool wait(int timeout_ms) {
    return QTest::qWaitFor([this] { return answered_; }, timeout_ms);
  }

 private:
  void tick() {
    if (!timer_.isActive()) return;  // stopped from `meanwhile`, or a late tick
    if (meanwhile_) meanwhile_();
    auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!timer_.isActive() || !modal || !modal->isVisible()) return;
    timer_.stop();  // before `answer`, which may itself wait on the event loop
    answer_(*modal);
    answered_ = true;
  }

  QTimer timer_;
  std::function<void(QDialog&)> answer_;
  std::function<void()> meanwhile_;
  bool answered_ = false;
};

// The text of a message box; empty for any other dialog.
inline QString message_of(QDialog& dialog) {
  auto* box = qobject_cast<QMessageBox*>(&dialog);
  return box ? box->text() : QString();
}

}  // namespace testing_support
