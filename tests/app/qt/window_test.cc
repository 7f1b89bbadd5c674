// The Linux window's wiring: the real window with its own Qt dialogs, message boxes,
// caption and busy pointer. Only ending the process and opening an address are written
// down instead of done. The rules behind the commands are the core tests'.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <filesystem>
#include <sstream>

#include "app/commands.h"
#include "app/qt/main_window.h"
#include "app/qt/qt_desktop.h"
#include "builder/build.h"
#include "cli/cli.h"
#include "links/code_list.h"
#include "platform/text.h"
#include "qt/dialog_answerer.h"
#include "qt/private_home.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using app::layout::Role;
using namespace testing_support;

// The window's own Desktop, except that the process goes on and no browser opens.
struct KeptDesktop : tarvello_qt::QtDesktop {
  using QtDesktop::QtDesktop;
  void open_address(const std::string& address) override { opened.push_back(address); }
  void end_process() override { ended = true; }
  std::vector<std::string> opened;
  bool ended = false;
};

using Files = std::vector<std::pair<std::string, std::string>>;  // name, bytes

// Only `remembered` kept from earlier windows.
bool remember_only(const Files& remembered) {
  QSettings settings("Tarvello", "tarvello-qt");
  settings.clear();
  for (const auto& [key, value] : remembered) settings.setValue(key.c_str(), value.c_str());
  return true;
}

// A window of its own in a fresh application folder with `readers`, remembering
// `remembered`.
struct Window {
  // The window is made before its desktop, which is told whose it is, and is only told
  // where the desktop will be.
  explicit Window(int dpi = 96, const Files& readers = {{"books.ini", "STUB"}},
                  const Files& remembered = {})
      : fresh(remember_only(remembered)),
        window(std::make_unique<tarvello_qt::MainWindow>(dir.path(), &desktop, dpi)),
        desktop(window.get()) {
    for (const auto& [name, bytes] : readers) write_file(dir.file(name), bytes);
    QObject::connect(window.get(), &QWidget::windowTitleChanged,
                     [this](const QString& text) { captions.push_back(text.toStdString()); });
  }
  // The window goes first: it stops a running build, which reports through the desktop.
  ~Window() { window.reset(); }
  bool start() const { return window->start() && QTest::qWaitForWindowExposed(window.get()); }
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

  bool fresh;
  TempDir dir;
  std::vector<std::string> captions;
  std::unique_ptr<tarvello_qt::MainWindow> window;
  KeptDesktop desktop;
};

// Runs `action` and answers the modal dialog it opens, then or later: a message box with
// OK, giving back its text, or a file dialog by picking `path`.
std::string answering(const std::function<void()>& action, const std::string& path = "") {
  std::string text;
  DialogAnswerer answerer(10, [&](QDialog& modal) {
    text = message_of(modal).toStdString();
    // The path typed into the name box: selectFile() leaves a box that has the focus as it
    // is, and then picks nothing unless the dialog's view has read the folder already.
    if (auto* files = qobject_cast<QFileDialog*>(&modal))
      files->findChild<QLineEdit*>("fileNameEdit")->setText(path.c_str());
    modal.accept();
  });
  action();
  EXPECT_TRUE(answerer.wait(20000));
  return text;
}

// Chinese comes from an input method as one committed string, not as key presses.
void type_text(QWidget* box, const char* text) {
  QInputMethodEvent commit;
  commit.setCommitString(QString::fromUtf8(text));
  QCoreApplication::sendEvent(box, &commit);
}

std::string box(const QRect& r) {
  return QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).toStdString();
}

// Every shown control at its table box scaled by dpi/96 (a label may grow to fit its
// caption), and no two overlapping.
void expect_laid_out_by_the_table(const tarvello_qt::MainWindow& window, int dpi) {
  using namespace app::layout;
  const auto px = [dpi](int twips) { return to_pixels(twips, dpi); };
  EXPECT_EQ(box(window.rect()), box({0, 0, px(kClientWidth), px(kLinuxClientHeight)}));
  std::vector<QWidget*> laid;
  std::vector<Control> all(controls().begin(), controls().end());
  all.insert(all.end(), linux_controls().begin(), linux_controls().end());
  for (const Control& c : all) {
    if (!c.visible || c.kind == Kind::line) continue;
    QWidget* w = window.widget(c.role);
    ASSERT_TRUE(w && w->isVisible()) << c.name;
    const QRect table(px(c.left), px(c.top), px(c.left + c.width) - px(c.left),
                      px(c.top + c.height) - px(c.top));
    const QSize need = c.kind == Kind::label ? w->sizeHint() : QSize(0, 0);
    EXPECT_EQ(box(w->geometry()), box(table.united({table.topLeft(), need}))) << c.name;
    for (QWidget* other : laid)
      EXPECT_FALSE(w->geometry().intersects(other->geometry())) << c.name << " overlaps";
    laid.push_back(w);
  }
}

// Each readers choice: checked, and enabled or why not.
std::string choices(const Window& w) {
  std::string out;
  for (Role role : {Role::for_windows, Role::for_linux}) {
    const auto* option = static_cast<QRadioButton*>(w.at(role));
    out += option->text().toStdString() + (option->isChecked() ? " (chosen)" : "") +
           (option->isEnabled() ? "" : " " + option->toolTip().toStdString()) + "; ";
  }
  return out;
}

TEST(QtWindow, StartsBesideAReaderLaidOutByTheTable) {
  {
    Window w(96, /*readers=*/{});
    EXPECT_EQ(answering([&] { w.window->start(); }), "重要文件丢失，请到作者主页下载最新版！");
    EXPECT_EQ(w.desktop.opened, std::vector<std::string>{links::home_page_address()});
    EXPECT_TRUE(w.desktop.ended);
    EXPECT_FALSE(w.window->isVisible());
  }
  for (int dpi : {96, 144}) {
    Window w(dpi);
    ASSERT_TRUE(w.start());
    expect_laid_out_by_the_table(*w.window, dpi);
  }
  // A partial copy makes books for the readers it has; the other choice says what it lacks
  // and takes no click, whatever was remembered.
  for (const auto& [reader, remembered, said] :
       {std::tuple{"books.ini", "windows",
                   "给用 Windows 的读者 找不到阅读器文件“{}/books-windows.ini”，无法生成给这些读者"
                   "的电子书。; 给用 Linux 的读者 (chosen); "},
        {"books-windows.ini", "linux",
         "给用 Windows 的读者 (chosen); 给用 Linux 的读者 找不到阅读器文件“{}/books.ini”，无法生成"
         "给这些读者的电子书。; "}}) {
    Window w(96, {{reader, "STUB"}}, {{"readers", remembered}});
    ASSERT_TRUE(w.start());
    w.click(Role::for_windows);
    w.click(Role::for_linux);
    EXPECT_EQ(choices(w), platform::fill(said, {w.dir.path()})) << reader;
  }
}

TEST(QtWindow, MakesABookThroughItsDialogsKeysAndDrops) {
  Window w;
  TempDir docs, chapters, more;
  const std::vector<std::string> pdfs = {docs.file("序言.pdf"),       chapters.file("第2章.PDF"),
                                         chapters.file("第10章.pdf"), more.file("甲.pdf"),
                                         docs.file("附录.PDF"),       docs.file("缺页.pdf")};
  for (std::size_t i = 0; i < pdfs.size(); ++i) write_file(pdfs[i], pattern_bytes(3000 + i, i));
  ASSERT_TRUE(w.start());
  auto* name = static_cast<QLineEdit*>(w.at(Role::book_name));
  type_text(name, "示例书");

  answering([&] { w.click(Role::add_file); }, docs.file("序言.pdf"));
  answering([&] { w.click(Role::add_folder); }, chapters.path());
  EXPECT_EQ(w.shown(), "序言 第2章 第10章 -1");
  w.select(2);
  w.click(Role::move_up);
  EXPECT_EQ(w.shown(), "序言 第10章 第2章 1");
  w.click(Role::move_down);

  // Dragged from a file manager and dropped on the name box, through the window system's
  // side of the window, which finds the widget that takes drops: they go to the list, and
  // the name stays as it was.
  QMimeData dragged;
  dragged.setUrls({QUrl::fromLocalFile(pdfs[4].c_str()), QUrl::fromLocalFile(more.path().c_str()),
                   QUrl::fromLocalFile(pdfs[5].c_str())});
  dragged.setText(pdfs[4].c_str());  // file managers offer the names as text too
  const QPoint at = name->mapTo(w.window.get(), name->rect().center());
  QDragEnterEvent enter(at, Qt::CopyAction, &dragged, Qt::LeftButton, {});
  QCoreApplication::sendEvent(w.window->windowHandle(), &enter);
  QDropEvent drop(at, Qt::CopyAction, &dragged, Qt::LeftButton, {});
  QCoreApplication::sendEvent(w.window->windowHandle(), &drop);
  EXPECT_EQ(w.shown(), "序言 第2章 第10章 甲 缺页 附录 2");
  EXPECT_EQ(name->text(), "示例书");

  // A failure names its file.
  fs::remove(pdfs[5]);
  EXPECT_NE(answering([&] { w.click(Role::build); }).find(pdfs[5]), std::string::npos);

  // The list's keys do what the buttons do; plain arrows only select.
  w.select(3);
  for (const auto& [keys, key, modifier, shown] :
       {std::tuple{"Ctrl+Up", Qt::Key_Up, Qt::ControlModifier, "序言 第2章 甲 第10章 缺页 附录 2"},
        {"Ctrl+Down", Qt::Key_Down, Qt::ControlModifier, "序言 第2章 第10章 甲 缺页 附录 3"},
        {"Down", Qt::Key_Down, Qt::NoModifier, "序言 第2章 第10章 甲 缺页 附录 4"},
        {"Delete", Qt::Key_Delete, Qt::NoModifier, "序言 第2章 第10章 甲 附录 -1"}}) {
    QTest::keyClick(w.list(), key, modifier);
    EXPECT_EQ(w.shown(), shown) << keys;
  }

  // While it builds, the caption says how far, and the controls take nothing; then the
  // caption and the pointer come back, and the e-book holds the PDFs byte for byte.
  w.captions.clear();
  EXPECT_EQ(
      answering([&] {
        w.click(Role::build);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        QTest::keyClicks(name, "x");
        type_text(name, "改");
        QTest::keyClick(w.list(), Qt::Key_Delete);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, {5, 5}, name->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(name, &menu);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
      }),
      "已成功生成PDF电子书！");
  EXPECT_EQ(w.shown(), "序言 第2章 第10章 甲 附录 -1");
  EXPECT_EQ(name->text(), "示例书");
  ASSERT_GE(w.captions.size(), 3u);
  EXPECT_EQ((std::vector{w.captions.front(), w.captions.end()[-2], w.captions.back()}),
            (std::vector{app::caption(0), app::caption(100), app::caption()}));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  std::vector<std::pair<std::string, std::string>> book;
  for (std::size_t i = 0; i < 5; ++i)
    book.emplace_back(fs::path(pdfs[i]).stem(), read_file(pdfs[i]));
  EXPECT_TRUE(read_file(builder::finished_path(w.dir.path(), "示例书", builder::System::windows)) ==
              forge_book("示例书", book, "STUB"));

  // Closed while it builds it again: the working file goes, the e-book stays as it was, and
  // then the process ends.
  write_file(docs.file("大.pdf"), "%PDF");
  fs::resize_file(docs.file("大.pdf"), 2'000'000'000);  // sparse: quick to make
  const std::string before = listing(w.dir.path());
  w.window->drop({docs.file("大.pdf")});
  w.click(Role::build);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.captions.back() != app::caption(0); }, 20000));
  EXPECT_TRUE(fs::exists(w.dir.file("示例书.txt")));
  w.window->close();
  ASSERT_TRUE(w.window->isVisible());  // until the build has stopped
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.desktop.ended; }, 20000));
  EXPECT_EQ(listing(w.dir.path()), before);
}

TEST(QtWindow, BuildsForTheChosenReadersIntoTheChosenFolderAndRemembersBoth) {
  Window w(96, {{"books.ini", "\177ELF Linux reader"}, {"books-windows.ini", "MZ Windows reader"}});
  TempDir pdfs, chosen, by_cli;
  write_file(pdfs.file("第2讲.pdf"), pattern_bytes(3000, 1));
  write_file(pdfs.file("第10讲.pdf"), pattern_bytes(20, 2));
  ASSERT_TRUE(w.start());
  auto* folder = static_cast<QLabel*>(w.at(Role::out_folder));
  // The first time: beside the program, unpacked as here, for this system's readers.
  EXPECT_EQ(folder->toolTip().toStdString(), w.dir.path());
  EXPECT_EQ(choices(w), "给用 Windows 的读者; 给用 Linux 的读者 (chosen); ");

  w.click(Role::for_windows);
  answering([&] { w.click(Role::choose_folder); }, chosen.path());
  EXPECT_EQ(folder->toolTip().toStdString(), chosen.path());
  EXPECT_EQ(choices(w), "给用 Windows 的读者 (chosen); 给用 Linux 的读者; ");
  const QSettings settings("Tarvello", "tarvello-qt");
  EXPECT_EQ(settings.fileName(),
            qEnvironmentVariable("XDG_CONFIG_HOME") + "/Tarvello/tarvello-qt.conf");
  EXPECT_EQ(settings.value("folder").toString().toStdString(), chosen.path());
  EXPECT_EQ(settings.value("readers").toString(), "windows");

  // The same bytes as the command line's book for Windows readers from the same list.
  type_text(w.at(Role::book_name), "讲义");
  w.window->drop({pdfs.path()});
  EXPECT_EQ(answering([&] { w.click(Role::build); }), "已成功生成PDF电子书！");
  std::ostringstream out, err;
  ASSERT_EQ(cli::run({"tarvello-cli", "pack", "--for", "windows", "--name", "讲义", "--out-dir",
                      by_cli.path(), pdfs.path()},
                     {out, err, false, nullptr}, w.dir.path()),
            0)
      << err.str();
  EXPECT_EQ(listing(chosen.path()), "讲义.exe");
  EXPECT_TRUE(read_file(chosen.file("讲义.exe")) == read_file(by_cli.file("讲义.exe")));
  EXPECT_EQ(listing(w.dir.path()), "books-windows.ini books.ini");

  // A folder gone, or a file in its place, fails the build naming it, and nothing is
  // written anywhere else (as root, permissions would stop nothing).
  for (bool file_in_its_place : {false, true}) {
    fs::remove_all(chosen.path());
    if (file_in_its_place) write_file(chosen.path(), "");
    EXPECT_EQ(answering([&] { w.click(Role::build); }),
              "无法在文件夹“" + chosen.path() + "”中写入文件：文件或文件夹不存在。");
    EXPECT_EQ(listing(w.dir.path()), "books-windows.ini books.ini");
    EXPECT_EQ(listing(pdfs.path()), "第10讲.pdf 第2讲.pdf");
  }
  fs::remove(chosen.path());
}

// The remembered folder and readers while they are usable; otherwise quietly the first-time
// ones, which for an installed window is the documents folder (the home folder without one).
TEST(QtWindow, RecallsItsFolderAndReadersOrElseTheFirstTimeOnes) {
  TempDir installed, kept;
  fs::create_directories(installed.file("lib/tarvello"));
  for (const char* reader : {"lib/tarvello/books.ini", "lib/tarvello/books-windows.ini"})
    write_file(installed.file(reader), "STUB");
  fs::create_directories(installed.file("bin"));
  fs::create_directories(kept.file("一\n行"));
  write_file(kept.file("file"), "");
  const std::string home = qgetenv("HOME").toStdString(), documents = home + "/Documents";
  const auto recalled = [&](const Files& remembered) {
    remember_only(remembered);
    tarvello_qt::MainWindow window(installed.file("bin"), nullptr, 96);
    return window.state().out_dir +
           (window.state().readers == builder::System::windows ? " windows" : " linux");
  };
  EXPECT_EQ(recalled({}), home + " linux");
  fs::create_directories(documents);
  for (const auto& [folder, readers, expected] :
       {std::tuple{kept.path(), "windows", kept.path() + " windows"},
        {"", "", documents + " linux"},
        {".", "linux", documents + " linux"},
        {kept.file("一\n行"), "Windows", documents + " linux"},
        {kept.file("file"), "mac", documents + " linux"},
        {kept.file("gone"), "windows", documents + " windows"}}) {
    EXPECT_EQ(recalled({{"folder", folder}, {"readers", readers}}), expected) << folder;
  }
  fs::remove(documents);
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const testing_support::PrivateHome home;
  testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  return RUN_ALL_TESTS();
}
