// tarvello-qt: the window. The application folder is the executable's folder; the readers
// lie there or, installed, in ../lib/tarvello, and the e-books go where the user says.
#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/qt/main_window.h"
#include "platform/file.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("tarvello"));
  // Qt's own dialog buttons in Chinese, like every other text, where the translation is
  // installed.
  QTranslator qt_texts;
  if (qt_texts.load(QStringLiteral("qtbase_zh_CN"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qt_texts);
  }
  tarvello_qt::MainWindow window(platform::executable_dir());
  if (!window.start()) return 0;
  return QApplication::exec();
}
