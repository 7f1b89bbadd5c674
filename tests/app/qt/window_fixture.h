// What the window tests share: an application folder with a reader stub, a window on a
// scripted Desktop, and short ways to reach its controls.
#pragma once

#include <QAbstractItemModel>
#include <QListView>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>

#include "app/layout.h"
#include "app/qt/main_window.h"
#include "scripted_desktop.h"

namespace tarvello_qt_testing {

using app::layout::Role;

struct WindowFixture {
  explicit WindowFixture(int dpi = 96, bool with_stub = true) {
    if (with_stub) write_file(file("books.ini"), "STUB");
    window = std::make_unique<tarvello_qt::MainWindow>(app_dir(), &desktop, dpi);
  }

  std::string app_dir() const { return dir.path().toStdString(); }
  std::string file(const std::string& name) const { return app_dir() + "/" + name; }

  void show() {
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) std::abort();
  }

  QWidget* widget(Role role) const { return window->widget(role); }
  QListView* list() const { return static_cast<QListView*>(widget(Role::titles)); }
  void click(Role role) const { QTest::mouseClick(widget(role), Qt::LeftButton); }

  // What the list shows, row by row.
  QStringList titles() const {
    QStringList shown;
    const QAbstractItemModel* model = list()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
      shown << model->data(model->index(row, 0)).toString();
    }
    return shown;
  }
  // The row the list shows selected, -1 for none.
  int shown_selection() const {
    const auto rows = list()->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
  }
  void click_row(int row) const {
    const QRect box = list()->visualRect(list()->model()->index(row, 0));
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, box.center());
  }

  QTemporaryDir dir;
  ScriptedDesktop desktop;
  std::unique_ptr<tarvello_qt::MainWindow> window;
};

}  // namespace tarvello_qt_testing
