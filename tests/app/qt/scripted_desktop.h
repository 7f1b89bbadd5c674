// What the window tests, the screenshot and the benchmark share: the scripted Desktop
// and a few Qt helpers.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QInputMethodEvent>
#include <QWidget>
#include <string>

#include "support/scripted_desktop.h"

namespace tarvello_qt_testing {

using testing_support::message;
using testing_support::ScriptedDesktop;

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
