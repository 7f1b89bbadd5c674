#include "app/qt/main_window.h"

#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "app/qt/looks.h"
#include "app/qt/qt_desktop.h"
#include "app/qt/settings.h"
#include "app/qt/widgets.h"
#include "app/texts.h"
#include "builder/build.h"
#include "platform/text.h"

// The resources live in this static library; the linker keeps them only when asked.
static void init_window_resources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(tarvello);
    return true;
  }();
  (void)done;
}

namespace tarvello_qt {
namespace {

using app::layout::Control;
using app::layout::Kind;
using app::layout::Role;
using app::layout::to_pixels;

std::size_t slot(Role role) {
  return static_cast<std::size_t>(role);
}

// The title list's keys and the buttons they stand for.
struct ListKey {
  int key;
  Qt::KeyboardModifiers modifiers;
  Role role;
};
const ListKey kListKeys[] = {
    {Qt::Key_Delete, Qt::NoModifier, Role::delete_file},
    {Qt::Key_Up, Qt::ControlModifier, Role::move_up},
    {Qt::Key_Down, Qt::ControlModifier, Role::move_down},
};

// The local files and folders among dropped addresses, as the bytes of their names.
std::vector<std::string> local_paths(const QMimeData* data) {
  std::vector<std::string> paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  }
  return paths;
}

int screen_dpi() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? static_cast<int>(std::lround(screen->logicalDotsPerInchX())) : 96;
}

}  // namespace

MainWindow::MainWindow(std::string app_dir, app::Desktop* desktop, int dpi)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      state_(std::move(app_dir)),
      desktop_(desktop),
      dpi_(dpi > 0 ? dpi : screen_dpi()) {
  init_window_resources();
  setAcceptDrops(true);
  if (!desktop_) {
    own_desktop_ = std::make_unique<QtDesktop>(this);
    desktop_ = own_desktop_.get();
  }
  setWindowTitle(plain_caption(app::texts::kCaption));
  QIcon icon;
  icon.addFile(QStringLiteral(":/tarvello/tarvello-48.png"));
  icon.addFile(QStringLiteral(":/tarvello/tarvello-256.png"));
  setWindowIcon(icon);
  // The layout never changes: no control moves or grows with the window.
  setFixedSize(to_pixels(app::layout::kClientWidth, dpi_),
               to_pixels(app::layout::kLinuxClientHeight, dpi_));
  setFont(font_for(app::layout::kDefaultFont, dpi_));

  state_.reader_dir = builder::reader_folder(state_.app_dir);
  state_.systems = {builder::System::windows, builder::System::linux};
  recall_settings(state_);

  QWidget* previous = nullptr;
  for (std::span<const Control> table : {app::layout::controls(), app::layout::linux_controls()}) {
    for (const Control& c : table) {
      // Lines are painted on the window; the hidden controls are state, not widgets.
      if (!c.visible || c.kind == Kind::line) continue;
      QWidget* w = make_control(c);
      if (w) place_control(c, w, previous);
    }
  }
  widget(Role::book_name)->setFocus();
}

void MainWindow::place_control(const Control& c, QWidget* w, QWidget*& previous) {
  w->setObjectName(QString::fromUtf8(c.name.data(), static_cast<qsizetype>(c.name.size())));
  w->setFont(font_for(*c.font, dpi_));
  if (c.colour) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::WindowText, colour_for(*c.colour));
    w->setPalette(palette);
  }
  if (c.hand_pointer) w->setCursor(Qt::PointingHandCursor);
  fit(c, w);
  if (app::layout::takes_focus(c)) {
    if (previous) QWidget::setTabOrder(previous, w);
    previous = w;
  } else {
    w->setFocusPolicy(Qt::NoFocus);
  }
  widgets_[slot(c.role)] = w;
}

void MainWindow::fit(const Control& c, QWidget* w) const {
  w->setGeometry(pixel_box(c, dpi_));
  if (c.kind == Kind::label) {
    // A label's box is its caption's: never cut a caption that the table's box, measured
    // for another face, is too small for.
    const QSize need = w->sizeHint();
    w->resize(std::max(w->width(), need.width()), std::max(w->height(), need.height()));
  }
}

MainWindow::~MainWindow() {
  // The list reads the book list, which goes before the window's children do.
  delete list_;
}

QWidget* MainWindow::make_titles_list() {
  list_ = new QListView(this);
  titles_ = new TitlesModel(state_.books, list_);
  list_->setModel(titles_);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setUniformItemSizes(true);  // keeps long lists quick to lay out
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->installEventFilter(this);
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { take_selection_from_view(); });
  return list_;
}

QWidget* MainWindow::make_control(const Control& c) {
  const Role role = c.role;
  switch (c.kind) {
    case Kind::text_box: {
      auto* edit = new QLineEdit(this);
      // Files dropped on the box are for the list, not text for the name.
      edit->setAcceptDrops(false);
      if (role == Role::book_name) {
        connect(edit, &QLineEdit::textChanged, this,
                [this](const QString& text) { state_.book_name = text.toStdString(); });
      }
      return edit;
    }
    case Kind::list_box:
      return make_titles_list();
    case Kind::push_button: {
      auto* button = new QPushButton(plain_caption(c.text), this);
      // No default button: Enter in the book-name box starts nothing.
      button->setAutoDefault(false);
      button->setDefault(false);
      connect(button, &QPushButton::clicked, this, [this, role] { on_event(role); });
      return button;
    }
    case Kind::option: {
      // Siblings of one parent, so checking one unchecks the other.
      auto* option = new QRadioButton(plain_caption(c.text), this);
      connect(option, &QRadioButton::clicked, this, [this, role] { on_event(role); });
      return option;
    }
    case Kind::picture_box:
      return new BannerBox(this);
    case Kind::label: {
      QLabel* label;
      if (role == Role::home_page_link) {
        auto* link = new LinkLabel(this);
        connect(link, &LinkLabel::clicked, this, [this, role] { on_event(role); });
        label = link;
      } else {
        label = new QLabel(this);
      }
      label->setTextFormat(Qt::PlainText);
      label->setText(QString::fromUtf8(c.text.data(), static_cast<qsizetype>(c.text.size())));
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
    case Kind::file_list:
    case Kind::line:
      break;
  }
  return nullptr;  // never shown, so never asked for
}

QWidget* MainWindow::widget(Role role) const {
  return widgets_[slot(role)];
}

bool MainWindow::start() {
  // Centred on the screen. The frame is unknown until the window manager has put one
  // round the window, so this is the inside's size; a window system that places windows
  // itself may ignore it.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    const QSize outer = frameGeometry().size();
    move(area.x() + (area.width() - outer.width()) / 2,
         area.y() + (area.height() - outer.height()) / 2);
  }
  if (!app::startup_check(state_, *desktop_)) return false;
  refresh_settings();
  show();
  return true;
}

void MainWindow::on_event(Role role) {
  const app::Changes changes = app::run_command(role, state_, *desktop_);
  if (changes.titles) refresh_titles(changes.selection);
  remember_settings(state_, changes);
  // Always: a choice the core refused is unchecked again.
  refresh_settings();
}

void MainWindow::drop(std::vector<std::string> paths) {
  if (app::drop_paths(std::move(paths), state_, *desktop_).titles) refresh_titles(false);
}

void MainWindow::refresh_titles(bool follow_selection) {
  redrawing_ = true;
  // A reset scrolls to the top; keep the place the user was looking at, as a list box
  // does when items come and go.
  const int scrolled = list_->verticalScrollBar()->value();
  titles_->refresh();
  list_->doItemsLayout();
  list_->verticalScrollBar()->setValue(scrolled);
  const int selected = state_.books.selected();
  if (selected >= 0) {
    const QModelIndex index = titles_->index(selected);
    // Making it current would scroll to it too; only a moved entry is followed.
    list_->setAutoScroll(follow_selection);
    list_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    list_->setAutoScroll(true);
  } else {
    list_->selectionModel()->clearSelection();
  }
  redrawing_ = false;
}

void MainWindow::refresh_settings() {
  auto* folder = static_cast<QLabel*>(widget(Role::out_folder));
  const QString path = QString::fromStdString(platform::shown(state_.out_dir));
  const Control& box = app::layout::control(Role::out_folder);
  // The folder's two ends say the most; the whole path is in the tooltip.
  folder->setText(
      folder->fontMetrics().elidedText(path, Qt::ElideMiddle, pixel_box(box, dpi_).width()));
  folder->setToolTip(path);
  fit(box, folder);
  for (const auto& [role, system] : {std::pair{Role::for_windows, builder::System::windows},
                                     std::pair{Role::for_linux, builder::System::linux}}) {
    auto* option = static_cast<QRadioButton*>(widget(role));
    const std::string missing = app::missing_reader(state_, system);
    option->setEnabled(missing.empty());
    option->setToolTip(QString::fromStdString(missing));
    option->setChecked(state_.readers == system);
  }
}

void MainWindow::take_selection_from_view() {
  if (redrawing_) return;
  const QModelIndexList rows = list_->selectionModel()->selectedIndexes();
  state_.books.select(rows.isEmpty() ? -1 : rows.first().row());
}

void MainWindow::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  QPainter painter(this);
  for (const Control& c : app::layout::controls()) {
    if (c.kind != Kind::line || !c.visible || !c.colour) continue;
    painter.setPen(QPen(colour_for(*c.colour), 1));
    painter.drawLine(to_pixels(c.left, dpi_), to_pixels(c.top, dpi_),
                     to_pixels(c.left + c.width, dpi_), to_pixels(c.top + c.height, dpi_));
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing ends the process at once; nothing is asked or saved. A running build stops
  // and removes its files first, and then ends it; until then the window stays.
  event->ignore();
  app::close_window(state_, *desktop_);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!local_paths(event->mimeData()).empty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  drop(local_paths(event->mimeData()));
  event->acceptProposedAction();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    // The arrows of the number pad are arrows too.
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    for (const ListKey& k : kListKeys) {
      if (key->key() == k.key && modifiers == k.modifiers) {
        on_event(k.role);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tarvello_qt
