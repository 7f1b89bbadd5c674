// The Linux window's wiring: the real window with its own Qt dialogs, message boxes,
// caption and busy pointer. Only ending the process and opening an address are written
// down instead of done. The rules behind the commands are the core tests'.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "app/commands.h"
#include "app/qt/main_window.h"
#include "app/qt/qt_desktop.h"
#include "builder/build.h"
#include "container/format.h"
#include "links/code_list.h"
#include "support/temp_dir.h"

namespace {

using app::layout::Role;
using namespace testing_support;

QString q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The window's own Desktop, except that the process goes on and no browser opens.
struct KeptDesktop : app::Desktop {
  std::unique_ptr<tarvello_qt::QtDesktop> qt;
  std::vector<std::string> opened;
  bool ended = false;

  void show_message(const std::string& text) override { qt->show_message(text); }
  void set_busy(bool busy) override { qt->set_busy(busy); }
  void show_progress(const std::string& text, int at) override { qt->show_progress(text, at); }
  std::optional<app::PickedFile> pick_pdf_file(const std::string& dir) override {
    return qt->pick_pdf_file(dir);
  }
  std::optional<std::string> pick_folder() override { return qt->pick_folder(); }
  void post(std::function<void()> task) override { qt->post(std::move(task)); }
  void open_address(const std::string& address) override { opened.push_back(address); }
  void end_process() override { ended = true; }
};

// A window of its own in a fresh application folder.
struct Window {
  explicit Window(int dpi = 96, bool with_reader = true) {
    if (with_reader) write_file(dir.file("books.ini"), "STUB");
    window = std::make_unique<tarvello_qt::MainWindow>(dir.path(), &desktop, dpi);
    desktop.qt = std::make_unique<tarvello_qt::QtDesktop>(window.get());
    QObject::connect(window.get(), &QWidget::windowTitleChanged,
                     [this](const QString& text) { captions.push_back(text.toStdString()); });
  }
  QWidget* at(Role role) const { return window->widget(role); }
  QListView* list() const { return static_cast<QListView*>(at(Role::titles)); }
  void click(Role role) const { QTest::mouseClick(at(role), Qt::LeftButton); }
  void select(int row) const {
    const QRect box = list()->visualRect(list()->model()->index(row, 0));
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, box.center());
  }
  // What the list shows: its titles, then the selected row (-1 for none).
  std::string shown() const {
    std::string out;
    for (int row = 0; row < list()->model()->rowCount(); ++row)
      out += list()->model()->index(row, 0).data().toString().toStdString() + " ";
    const auto rows = list()->selectionModel()->selectedIndexes();
    return out + std::to_string(rows.isEmpty() ? -1 : rows.first().row());
  }

  TempDir dir;
  KeptDesktop desktop;  // outlives the window, which stops a running build as it goes
  std::vector<std::string> captions;
  std::unique_ptr<tarvello_qt::MainWindow> window;
};

// Runs `action` and answers the modal dialog it opens, then or later: a message box with
// OK, giving back its text, or a file dialog by picking `path`.
std::string answering(const std::function<void()>& action, const std::string& path = "") {
  std::string text;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!poll.isActive() || !modal || !modal->isVisible()) return;
    poll.stop();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) text = box->text().toStdString();
    if (auto* files = qobject_cast<QFileDialog*>(modal)) {
      if (std::filesystem::is_directory(path)) files->setDirectory(q(path));
      files->selectFile(q(path));
    }
    modal->accept();  // through the dialog's own checks
  });
  poll.start(10);
  action();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !poll.isActive(); }, 20000));
  return text;
}

// Chinese comes from an input method as one committed string, not as key presses.
void type_text(QWidget* box, const char* text) {
  QInputMethodEvent commit;
  commit.setCommitString(QString::fromUtf8(text));
  QCoreApplication::sendEvent(box, &commit);
}

// Dragged from a file manager and dropped on `widget`, through the window system's side of
// the window, which finds the widget that takes drops.
void drop_on(QWidget* widget, const std::vector<std::string>& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const auto& path : paths) urls << QUrl::fromLocalFile(q(path));
  data.setUrls(urls);
  data.setText(q(paths.front()));  // file managers offer the names as text too
  const QPoint at = widget->mapTo(widget->window(), widget->rect().center());
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
  QCoreApplication::sendEvent(widget->window()->windowHandle(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
  QCoreApplication::sendEvent(widget->window()->windowHandle(), &drop);
}

std::string box(const QRect& r) {
  return QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).toStdString();
}

// Every shown control at its table box scaled by dpi/96 (a label may grow to fit its
// caption), and no two overlapping.
void expect_laid_out_by_the_table(const tarvello_qt::MainWindow& window, int dpi) {
  using app::layout::to_pixels;
  EXPECT_EQ(box(window.rect()), box(QRect(0, 0, to_pixels(app::layout::kClientWidth, dpi),
                                          to_pixels(app::layout::kClientHeight, dpi))));
  std::vector<QWidget*> laid;
  for (const auto& c : app::layout::controls()) {
    if (!c.visible || c.kind == app::layout::Kind::line) continue;
    QWidget* w = window.widget(c.role);
    ASSERT_TRUE(w && w->isVisible()) << c.name;
    const QPoint top_left(to_pixels(c.left, dpi), to_pixels(c.top, dpi));
    const QRect table(top_left, QPoint(to_pixels(c.left + c.width, dpi) - 1,
                                       to_pixels(c.top + c.height, dpi) - 1));
    const bool label = c.kind == app::layout::Kind::label;
    EXPECT_EQ(box(w->geometry()), box(label ? table.united({top_left, w->sizeHint()}) : table))
        << c.name;
    for (QWidget* other : laid)
      EXPECT_FALSE(w->geometry().intersects(other->geometry())) << c.name << " overlaps";
    laid.push_back(w);
  }
}

TEST(QtWindow, StartsOnlyBesideItsReaderLaidOutByTheTable) {
  {
    Window w(96, /*with_reader=*/false);
    bool started = true;
    EXPECT_EQ(answering([&] { started = w.window->start(); }),
              "重要文件丢失，请到作者主页下载最新版！");
    EXPECT_FALSE(started);
    EXPECT_EQ(w.desktop.opened, std::vector<std::string>{links::home_page_address()});
    EXPECT_TRUE(w.desktop.ended);
    EXPECT_FALSE(w.window->isVisible());
  }
  for (int dpi : {96, 144}) {
    Window w(dpi);
    ASSERT_TRUE(w.window->start());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));
    expect_laid_out_by_the_table(*w.window, dpi);
  }
}

TEST(QtWindow, MakesABookThroughItsDialogsKeysAndDrops) {
  Window w;
  TempDir docs, chapters, more;
  const std::vector<std::string> pdfs = {chapters.file("第2章.PDF"),  docs.file("序言.pdf"),
                                         chapters.file("第10章.pdf"), more.file("甲.pdf"),
                                         docs.file("附录.PDF"),       docs.file("缺页.pdf")};
  for (std::size_t i = 0; i < pdfs.size(); ++i) write_file(pdfs[i], pattern_bytes(3000 + i, i));
  write_file(docs.file("notes.txt"), "not a PDF");
  ASSERT_TRUE(w.window->start());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));
  auto* name = static_cast<QLineEdit*>(w.at(Role::book_name));
  type_text(name, "示例书");

  answering([&] { w.click(Role::add_file); }, docs.file("序言.pdf"));
  answering([&] { w.click(Role::add_folder); }, chapters.path());
  EXPECT_EQ(w.shown(), "序言 第2章 第10章 -1");
  w.select(2);
  w.click(Role::move_up);
  EXPECT_EQ(w.shown(), "序言 第10章 第2章 1");
  w.click(Role::move_down);
  w.select(0);
  w.click(Role::move_down);
  EXPECT_EQ(w.shown(), "第2章 序言 第10章 1");

  // Dropped on the name box, they go to the list, and the name stays as it was.
  drop_on(name,
          {docs.file("附录.PDF"), more.path(), docs.file("缺页.pdf"), docs.file("notes.txt")});
  EXPECT_EQ(w.shown(), "第2章 序言 第10章 甲 缺页 附录 1");
  EXPECT_EQ(name->text(), "示例书");

  // A failure names its file; the caption and the pointer come back.
  std::filesystem::remove(docs.file("缺页.pdf"));
  EXPECT_NE(answering([&] { w.click(Role::build); }).find(docs.file("缺页.pdf")),
            std::string::npos);
  EXPECT_EQ(w.captions.back(), app::caption());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // The list's keys do what the buttons do; plain arrows only select.
  w.select(3);
  const struct {
    Qt::Key key;
    Qt::KeyboardModifier modifier;
    const char* shown;
  } keys[] = {{Qt::Key_Up, Qt::ControlModifier, "第2章 序言 甲 第10章 缺页 附录 2"},
              {Qt::Key_Down, Qt::ControlModifier, "第2章 序言 第10章 甲 缺页 附录 3"},
              {Qt::Key_Down, Qt::NoModifier, "第2章 序言 第10章 甲 缺页 附录 4"},
              {Qt::Key_Delete, Qt::NoModifier, "第2章 序言 第10章 甲 附录 -1"}};
  for (const auto& k : keys) {
    QTest::keyClick(w.list(), k.key, k.modifier);
    EXPECT_EQ(w.shown(), k.shown) << "key " << k.key;
  }

  // While it builds, the caption says how far, and the controls take nothing.
  w.captions.clear();
  EXPECT_EQ(answering([&] {
              w.click(Role::build);
              EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
              QTest::keyClicks(name, "x");
              type_text(name, "改");
              QTest::keyClick(w.list(), Qt::Key_Delete);
            }),
            "已成功生成PDF电子书！");
  EXPECT_EQ(w.shown(), "第2章 序言 第10章 甲 附录 -1");
  EXPECT_EQ(name->text(), "示例书");
  ASSERT_GE(w.captions.size(), 3u);
  EXPECT_EQ(w.captions.front(), app::caption(0));
  EXPECT_EQ(w.captions.end()[-2], app::caption(100));
  EXPECT_EQ(w.captions.back(), app::caption());
  const std::string book = builder::finished_path(w.dir.path(), "示例书");
  const auto read = container::read_book(book);
  ASSERT_EQ(read.book ? read.book->entries.size() : 0, 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    const auto& entry = read.book->entries[i];
    EXPECT_EQ(read_file(book).substr(entry.position - 1, entry.length), read_file(pdfs[i]));
  }

  // Closed mid-build: the working file goes, no e-book appears, and then the process ends.
  write_file(docs.file("大.pdf"), "%PDF");
  std::filesystem::resize_file(docs.file("大.pdf"), 2'000'000'000);  // sparse: quick to make
  const std::string before = listing(w.dir.path());
  name->clear();
  type_text(name, "大书");
  w.window->drop({docs.file("大.pdf")});
  w.click(Role::build);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.captions.back() != app::caption(0); }, 20000));
  EXPECT_TRUE(std::filesystem::exists(w.dir.file("大书.txt")));
  w.window->close();
  ASSERT_TRUE(w.window->isVisible());  // until the build has stopped
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.desktop.ended; }, 20000));
  EXPECT_EQ(listing(w.dir.path()), before);
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  return RUN_ALL_TESTS();
}
