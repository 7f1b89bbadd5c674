// The Linux main window: the layout table on Qt widgets, each control event one core
// command, the list redrawn from the book list after every change.
#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/layout.h"

class QListView;

namespace tarvello_qt {

class QtDesktop;
class TitlesModel;

class MainWindow : public QWidget {
  Q_OBJECT
 public:
  // `app_dir` is the program's folder: the readers lie there or, installed, in
  // ../lib/tarvello. The books go where the user said last time (the settings), or at
  // first beside the program, or installed, in the documents folder. `desktop` answers
  // the commands' dialogs; null means the window's own Qt dialogs. `dpi` 0 means the
  // screen's logical dpi.
  explicit MainWindow(std::string app_dir, app::Desktop* desktop = nullptr, int dpi = 0);
  ~MainWindow() override;

  // The load step: centre the window, check for the reader, and show the window.
  // False when the reader is missing; the Desktop has then ended the process.
  bool start();

  // The widget of a shown control; null for lines and the controls that are never shown.
  QWidget* widget(app::layout::Role role) const;
  // Files and folders dropped on the window (or handed over as if they were).
  void drop(std::vector<std::string> paths);
  const app::WindowState& state() const { return state_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // The title list's keys.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* make_control(const app::layout::Control& control);
  QWidget* make_titles_list();
  // Its font, looks, box and place in the tab order.
  void place_control(const app::layout::Control& control, QWidget* widget, QWidget*& previous);
  void fit(const app::layout::Control& control, QWidget* widget) const;
  void on_event(app::layout::Role role);
  // Redraws the titles and the selection; scrolls to the selection when it moved.
  void refresh_titles(bool follow_selection);
  void take_selection_from_view();
  // Redraws where the books go and the readers choice.
  void refresh_settings();

  // Before the state: a build still running when the window goes is stopped by the
  // state's destructor, and it reports through the Desktop until it has.
  std::unique_ptr<QtDesktop> own_desktop_;
  app::WindowState state_;
  app::Desktop* desktop_;
  int dpi_;
  std::array<QWidget*, app::layout::kRoleCount> widgets_{};  // by role
  TitlesModel* titles_ = nullptr;
  QListView* list_ = nullptr;
  bool redrawing_ = false;  // selection signals during a redraw come from us
};

}  // namespace tarvello_qt
