// The Linux window remembers where its books go in the user's configuration folder. The
// tests, benchmarks and screenshots give it a home of their own instead, made before the
// first QSettings (which keeps the folder it found first): they start from the first-time
// choices and never read or change a real home.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

namespace testing_support {

class PrivateHome {
 public:
  PrivateHome() {
    qputenv("HOME", QFile::encodeName(dir_.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir_.filePath(QStringLiteral(".config"))));
  }
  QString path() const { return dir_.path(); }

 private:
  QTemporaryDir dir_{QDir::temp().filePath(QStringLiteral("home-XXXXXX"))};
};

}  // namespace testing_support
