// tarvello-qt-screenshot FILE.png: the window at 96 dpi with a book name and a few titles,
// one of them selected, saved as the user sees its inside. The window is driven through
// its own buttons; a scripted Desktop answers the folder dialog.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "app/qt/main_window.h"
#include "scripted_desktop.h"

using app::layout::Role;

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE.png\n", argv[0]);
    return 2;
  }
  QTemporaryDir app_dir, books;
  if (!app_dir.isValid() || !books.isValid()) return 1;
  tarvello_qt_testing::write_file(app_dir.filePath(QStringLiteral("books.ini")).toStdString(),
                                  "STUB");
  for (const char* name : {"第1章 序言.pdf", "第2章 方法与材料.pdf", "第3章 结果.pdf",
                           "第4章 讨论.pdf", "附录A 数据表.PDF", "附录B 参考文献.pdf"}) {
    tarvello_qt_testing::write_file(books.filePath(QString::fromUtf8(name)).toStdString(),
                                    "%PDF-1.4\n%%EOF\n");
  }

  tarvello_qt_testing::ScriptedDesktop desktop;
  desktop.folders = {books.path().toStdString()};
  tarvello_qt::MainWindow window(app_dir.path().toStdString(), &desktop, 96);
  if (!window.start() || !QTest::qWaitForWindowExposed(&window)) return 1;

  tarvello_qt_testing::type_text(window.widget(Role::book_name), QString::fromUtf8("示例电子书"));
  QTest::mouseClick(window.widget(Role::add_folder), Qt::LeftButton);
  auto* list = static_cast<QListView*>(window.widget(Role::titles));
  const QRect row = list->visualRect(list->model()->index(1, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
  window.widget(Role::book_name)->setFocus();
  QTest::qWait(50);

  if (!window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
