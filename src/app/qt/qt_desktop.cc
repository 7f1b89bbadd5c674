#include "app/qt/qt_desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QUrl>
#include <cstdlib>

#include "app/texts.h"
#include "platform/file.h"

namespace tarvello_qt {
namespace {

QString q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// File names on Linux are bytes; Qt hands them back through the same encoding it used to
// show them, so the bytes we keep are the bytes of the file the user picked.
std::string file_bytes(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

}  // namespace

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::Shortcut:
    case QEvent::ContextMenu: {
      auto* widget = qobject_cast<QWidget*>(watched);
      return widget && widget->window() == window_;
    }
    default:
      return false;
  }
}

QtDesktop::QtDesktop(QWidget* owner) : owner_(owner) {}

QtDesktop::~QtDesktop() {
  if (blocker_) QApplication::instance()->removeEventFilter(blocker_.get());
}

void QtDesktop::show_message(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, q(app::texts::kMessageTitle), q(text), QMessageBox::Ok,
                  owner_);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void QtDesktop::set_busy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    blocker_ = std::make_unique<InputBlocker>(owner_);
    QApplication::instance()->installEventFilter(blocker_.get());
  } else {
    QApplication::restoreOverrideCursor();
    if (blocker_) QApplication::instance()->removeEventFilter(blocker_.get());
    blocker_.reset();
  }
}

void QtDesktop::show_progress(const std::string& caption, int) {
  owner_->setWindowTitle(q(caption));
}

void QtDesktop::post(std::function<void()> task) {
  // Queued: it runs in the window's event loop, after what is already there.
  QMetaObject::invokeMethod(owner_, std::move(task), Qt::QueuedConnection);
}

std::optional<app::PickedFile> QtDesktop::pick_pdf_file(const std::string& initial_dir) {
  // The initial text goes over as it is: a folder, a file (its folder opens with the
  // file chosen) or anything else, which the dialog treats in its own way.
  QFileDialog dialog(owner_, q(app::texts::kOpenDialogTitle),
                     QFile::decodeName(initial_dir.c_str()));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(q(app::texts::kPdfFilterLabel));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  std::string path = file_bytes(chosen.first());
  std::string name = platform::base_name(path);
  return app::PickedFile{std::move(path), std::move(name)};
}

std::optional<std::string> QtDesktop::pick_folder() {
  QFileDialog dialog(owner_);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return file_bytes(chosen.first());
}

void QtDesktop::open_address(const std::string& address) {
  // Qt starts the desktop's handler detached and returns; a failure passes silently.
  QDesktopServices::openUrl(QUrl(q(address)));
}

void QtDesktop::end_process() {
  std::_Exit(EXIT_SUCCESS);
}

}  // namespace tarvello_qt
