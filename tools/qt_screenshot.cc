// tarvello-qt-screenshot [--failure | --building] FILE.png: pictures of the Linux window.
//
//   (alone)     the window's inside at 96 dpi with a book name and six titles, one selected,
//               its books going to a documents folder, for readers on Windows
//   --failure   the window and the message of a build whose listed PDF was deleted
//   --building  the window, caption included, while it builds a 1.8 GB e-book
//
// The real window with its own Desktop; the titles arrive as a dropped folder. The last two
// take their picture from the screen, so that the frame and title bar a window manager
// draws are in it: run them on an X display with one (tools/screenshot-qt.sh does).
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "app/qt/main_window.h"
#include "qt/dialog_answerer.h"
#include "qt/private_home.h"

using app::layout::Role;

namespace {

bool write(const QString& path, const QByteArray& bytes, qint64 size = 0) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
         (size == 0 || file.resize(size));  // sparse beyond the bytes
}

// The screen round `box`, with a margin.
bool save_screen(QRect box, const QString& out) {
  box.adjust(-8, -8, 8, 8);
  const QPixmap shot =
      QGuiApplication::primaryScreen()->grabWindow(0, box.x(), box.y(), box.width(), box.height());
  return shot.save(out, "PNG");
}

// What a user chose earlier, in the picture's own home: books for readers on Windows, into
// a documents folder.
bool remember_choices(const testing_support::PrivateHome& home) {
  const QString documents = QDir(home.path()).filePath(QString::fromUtf8("文档"));
  if (!QDir().mkpath(documents)) return false;
  QSettings settings(QStringLiteral("Tarvello"), QStringLiteral("tarvello-qt"));
  settings.setValue(QStringLiteral("folder"), documents);
  settings.setValue(QStringLiteral("readers"), QStringLiteral("windows"));
  return true;
}

// The percent a caption shows, or -1.
int percent(const QString& caption) {
  if (!caption.endsWith('%')) return -1;
  return caption.mid(caption.lastIndexOf(' ') + 1).chopped(1).toInt();
}

}  // namespace

int main(int argc, char** argv) {
  const testing_support::PrivateHome home;  // before anything of Qt's reads a setting
  QApplication application(argc, argv);
  const QString mode = argc == 3 ? QString::fromLocal8Bit(argv[1]) : QString();
  if (argc < 2 || argc > 3 || (argc == 3 && mode != "--failure" && mode != "--building")) {
    std::fprintf(stderr, "usage: %s [--failure | --building] FILE.png\n", argv[0]);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[argc - 1]);
  QTemporaryDir app_dir, books(QDir::temp().filePath(QString::fromUtf8("资料-XXXXXX")));
  if (!app_dir.isValid() || !books.isValid() ||
      !write(app_dir.filePath(QStringLiteral("books.ini")), "STUB") ||
      !write(app_dir.filePath(QStringLiteral("books-windows.ini")), "STUB")) {
    return 1;
  }
  if (!remember_choices(home)) return 1;
  for (const char* name : {"第1章 序言.pdf", "第2章 方法与材料.pdf", "第3章 结果.pdf",
                           "第4章 讨论.pdf", "附录A 数据表.PDF", "附录B 参考文献.pdf"}) {
    // Big enough for a build that takes a while, yet nothing on the disk.
    const qint64 size = mode == "--building" ? 300'000'000 : 0;
    if (!write(books.filePath(QString::fromUtf8(name)), "%PDF-1.4\n%%EOF\n", size)) return 1;
  }

  tarvello_qt::MainWindow window(app_dir.path().toStdString(), nullptr, 96);
  if (!window.start() || !QTest::qWaitForWindowExposed(&window)) return 1;
  auto* name = static_cast<QLineEdit*>(window.widget(Role::book_name));
  name->setText(QString::fromUtf8("示例电子书"));
  window.drop({books.path().toStdString()});
  auto* list = static_cast<QListView*>(window.widget(Role::titles));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualRect(list->model()->index(1, 0)).center());
  name->setFocus();
  QTest::qWait(200);  // for the window manager's frame

  bool saved = false;
  if (mode.isEmpty()) {
    saved = window.grab().save(out, "PNG");
  } else {
    if (mode == "--failure") QFile::remove(books.filePath(QString::fromUtf8("第3章 结果.pdf")));
    testing_support::DialogAnswerer answerer(
        20,
        [&](QDialog& box) {
          QTest::qWait(200);  // painted, and framed
          saved = save_screen(window.frameGeometry().united(box.frameGeometry()), out);
          box.accept();
          QApplication::quit();
        },
        [&] {
          if (mode == "--building" && percent(window.windowTitle()) >= 40) {
            answerer.stop();
            saved = save_screen(window.frameGeometry(), out);
            QApplication::quit();  // leaving stops the build, which removes its files
          }
        });
    QTest::mouseClick(window.widget(Role::build), Qt::LeftButton);
    QApplication::exec();
  }
  if (!saved) std::fprintf(stderr, "cannot write %s\n", argv[argc - 1]);
  return saved ? 0 : 1;
}
