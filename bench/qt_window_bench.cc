// qt_window_bench [FOLDER_FILES [BUILD_FILES [ROUNDS]]]: how the window copes with long
// lists. Times, on the real window with its own Desktop:
//  - a dropped folder of FOLDER_FILES PDFs: the bare command on a window state, then the
//    same on the window (the command and the list's refresh), then the first paint
//    of the list;
//  - moving the last of those entries up and deleting it (one refresh each);
//  - building an e-book from BUILD_FILES small PDFs, from the click to the message.
// Prints the median and the slowest of ROUNDS rounds in milliseconds.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/commands.h"
#include "app/qt/main_window.h"
#include "app/qt/qt_desktop.h"
#include "qt/dialog_answerer.h"
#include "qt/private_home.h"

using app::layout::Role;

namespace {

void make_pdfs(const QString& dir, int count, int bytes) {
  const QByteArray body = "%PDF-1.4\n" + QByteArray(std::max(0, bytes - 15), 'x') + "\n%%EOF\n";
  for (int i = 0; i < count; ++i) {
    QFile file(QDir(dir).filePath(QStringLiteral("第%1章.pdf").arg(i, 5, 10, QLatin1Char('0'))));
    if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size()) std::exit(1);
  }
}

struct Figures {
  std::vector<double> ms;
  void add(const QElapsedTimer& t) { ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6); }
  void print(const char* what) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %8.1f ms   slowest %8.1f ms\n", what, ms[ms.size() / 2], ms.back());
  }
};

void click(tarvello_qt::MainWindow& window, Role role) {
  QTest::mouseClick(window.widget(role), Qt::LeftButton);
}

// Clicks 生成PDF电子书 and waits for the build's message; its text.
QString build(tarvello_qt::MainWindow& window) {
  QString text;
  testing_support::DialogAnswerer answerer(1, [&](QDialog& box) {
    text = testing_support::message_of(box);
    box.accept();
  });
  click(window, Role::build);
  if (!answerer.wait(600000)) std::exit(1);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const testing_support::PrivateHome home;  // the books go beside the window, as at first
  QApplication application(argc, argv);
  const int folder_files = argc > 1 ? std::atoi(argv[1]) : 20000;
  const int build_files = argc > 2 ? std::atoi(argv[2]) : 1000;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
  if (folder_files < 2 || build_files < 1 || rounds < 1) {
    std::fprintf(stderr, "usage: %s [FOLDER_FILES>=2 [BUILD_FILES>=1 [ROUNDS>=1]]]\n", argv[0]);
    return 2;
  }

  QTemporaryDir app_dir, folder, build_folder;
  QFile reader(app_dir.filePath(QStringLiteral("books.ini")));
  if (!reader.open(QIODevice::WriteOnly) || reader.write(QByteArray(4271, 's')) != 4271) return 1;
  reader.close();
  make_pdfs(folder.path(), folder_files, 64);
  make_pdfs(build_folder.path(), build_files, 16 * 1024);
  std::printf("%d PDFs in the folder; %d PDFs of 16 KiB to build from; %d rounds\n", folder_files,
              build_files, rounds);

  Figures bare, add, paint, move, remove, built;
  for (int round = 0; round < rounds; ++round) {
    {
      // The same command without a window: what the list's refresh adds is the difference.
      app::WindowState state(app_dir.path().toStdString());
      QElapsedTimer t;
      t.start();
      tarvello_qt::QtDesktop desktop(nullptr);
      app::drop_paths({folder.path().toStdString()}, state, desktop);
      bare.add(t);
    }
    tarvello_qt::MainWindow window(app_dir.path().toStdString(), nullptr, 96);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    auto* list = static_cast<QListView*>(window.widget(Role::titles));

    QElapsedTimer t;
    t.start();
    window.drop({folder.path().toStdString()});
    add.add(t);
    t.restart();
    list->viewport()->repaint();
    paint.add(t);
    if (window.state().books.count() != folder_files) return 1;

    const int last = folder_files - 1;
    list->scrollTo(list->model()->index(last, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(last, 0)).center());
    if (window.state().books.selected() != last) return 1;
    t.restart();
    click(window, Role::move_up);
    move.add(t);
    t.restart();
    click(window, Role::delete_file);
    remove.add(t);
    if (window.state().books.count() != folder_files - 1) return 1;

    tarvello_qt::MainWindow builder(app_dir.path().toStdString(), nullptr, 96);
    builder.show();
    builder.drop({build_folder.path().toStdString()});
    static_cast<QLineEdit*>(builder.widget(Role::book_name))
        ->setText(QStringLiteral("bench%1").arg(round));
    t.restart();
    if (build(builder) != QString::fromUtf8("已成功生成PDF电子书！")) return 1;
    built.add(t);
  }
  bare.print("drop a folder, the command alone");
  add.print("drop a folder on the window (+ refresh)");
  paint.print("first paint of the list");
  move.print("move up at the end of the list");
  remove.print("delete at the end of the list");
  built.print("build from the list (16 KiB PDFs)");
  return 0;
}
