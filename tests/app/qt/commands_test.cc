// Every command through the window's own controls, answered by a scripted Desktop; the
// list must show the book list after each one.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include "app/messages.h"
#include "builder/build.h"
#include "links/code_list.h"
#include "window_fixture.h"

using namespace tarvello_qt_testing;

namespace {

QStringList q_list(std::initializer_list<const char*> items) {
  QStringList list;
  for (const char* item : items) list << QString::fromUtf8(item);
  return list;
}

// The list and the book list agree: the same titles in the same order, the same selection.
void expect_view_matches_model(const WindowFixture& f) {
  const auto& books = f.window->state().books;
  QStringList titles;
  for (const auto& entry : books.entries()) titles << QString::fromStdString(entry.title);
  QCOMPARE(f.titles(), titles);
  QCOMPARE(f.shown_selection(), books.selected());
}

QStringList folder_listing(const QString& dir) {
  return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

}  // namespace

class CommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void add_file_appends_what_the_dialog_picked_and_keeps_the_selection() {
    WindowFixture f;
    f.show();
    f.desktop.files = {app::PickedFile{"/docs/第一章.pdf", "第一章.pdf"},
                       app::PickedFile{"/docs/SCAN.PDF", "SCAN.PDF"}};
    f.click(Role::add_file);
    f.click(Role::add_file);
    QCOMPARE(f.titles(), q_list({"第一章", "SCAN"}));
    f.click_row(0);
    QCOMPARE(f.window->state().books.selected(), 0);

    // A refused ending and a cancel add nothing; the refused path still lands in the scratch.
    f.desktop.files = {app::PickedFile{"/docs/Notes.Pdf", "Notes.Pdf"}, std::nullopt};
    f.click(Role::add_file);
    f.click(Role::add_file);
    QCOMPARE(f.titles(), q_list({"第一章", "SCAN"}));
    QCOMPARE(f.window->state().books.at(1).path, std::string("/docs/SCAN.PDF"));
    QCOMPARE(f.window->state().scratch, std::string("/docs/Notes.Pdf"));
    QCOMPARE(
        f.desktop.initial_dirs,
        (std::vector<std::string>{"", "/docs/第一章.pdf", "/docs/SCAN.PDF", "/docs/Notes.Pdf"}));
    expect_view_matches_model(f);
    QCOMPARE(f.shown_selection(), 0);
    QVERIFY(f.desktop.events.empty());
  }

  void add_folder_appends_every_pdf_of_the_folder_in_listing_order() {
    WindowFixture f;
    f.show();
    QTemporaryDir books;
    for (const char* name : {"b.PDF", "A.pdf", "notes.txt", "my.pdfs.pdf", ".hidden.pdf"}) {
      write_file(books.filePath(QString::fromUtf8(name)).toStdString(), "%PDF");
    }
    QVERIFY(QDir(books.path()).mkdir(QStringLiteral("sub.pdf")));
    f.desktop.folders = {std::nullopt, books.path().toStdString()};
    f.click(Role::add_folder);
    QVERIFY(f.titles().isEmpty());
    f.click(Role::add_folder);
    QCOMPARE(f.titles(), q_list({"A", "b", "mys"}));
    QCOMPARE(f.window->state().books.at(1).path,
             books.filePath(QStringLiteral("b.PDF")).toStdString());
    QCOMPARE(f.window->state().scratch, std::string("mys"));
    expect_view_matches_model(f);
  }

  void editing_buttons_move_delete_and_clear_what_the_list_shows() {
    WindowFixture f;
    f.show();
    QTemporaryDir books;
    for (const char* name : {"A.pdf", "B.pdf", "C.pdf"}) {
      write_file(books.filePath(QString::fromUtf8(name)).toStdString(), "%PDF");
    }
    f.desktop.folders = {books.path().toStdString()};
    f.click(Role::add_folder);

    // Without a selection the buttons change nothing.
    for (Role role : {Role::move_up, Role::move_down, Role::delete_file}) f.click(role);
    QCOMPARE(f.titles(), q_list({"A", "B", "C"}));

    f.click_row(1);
    QCOMPARE(f.window->state().books.selected(), 1);
    f.click(Role::move_up);
    QCOMPARE(f.titles(), q_list({"B", "A", "C"}));
    QCOMPARE(f.shown_selection(), 0);
    f.click(Role::move_up);  // already first
    QCOMPARE(f.titles(), q_list({"B", "A", "C"}));
    f.click(Role::move_down);
    f.click(Role::move_down);
    QCOMPARE(f.titles(), q_list({"A", "C", "B"}));
    QCOMPARE(f.shown_selection(), 2);
    f.click(Role::move_down);  // already last
    QCOMPARE(f.titles(), q_list({"A", "C", "B"}));
    QCOMPARE(f.window->state().books.at(2).path,
             books.filePath(QStringLiteral("B.pdf")).toStdString());
    expect_view_matches_model(f);

    // The keyboard moves the selection the commands read.
    QTest::keyClick(f.list(), Qt::Key_Up);
    QCOMPARE(f.window->state().books.selected(), 1);
    f.click(Role::delete_file);
    QCOMPARE(f.titles(), q_list({"A", "B"}));
    QCOMPARE(f.shown_selection(), -1);
    f.click(Role::delete_file);  // nothing selected any more
    QCOMPARE(f.titles(), q_list({"A", "B"}));

    // A double-click only selects.
    const QRect row = f.list()->visualRect(f.list()->model()->index(1, 0));
    QTest::mouseDClick(f.list()->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(f.titles(), q_list({"A", "B"}));
    QCOMPARE(f.window->state().books.selected(), 1);

    f.click(Role::clear);
    QVERIFY(f.titles().isEmpty());
    QCOMPARE(f.shown_selection(), -1);
    QCOMPARE(f.window->state().scratch, std::string("C"));
    expect_view_matches_model(f);
    QVERIFY(f.desktop.events.empty());
  }

  void the_list_keeps_its_scroll_place_when_entries_come_and_go() {
    WindowFixture f;
    f.show();
    for (int i = 0; i < 200; ++i) {
      f.desktop.files.push_back(
          app::PickedFile{"/b/" + std::to_string(i) + ".pdf", std::to_string(i) + ".pdf"});
      f.click(Role::add_file);
    }
    QCOMPARE(f.titles().size(), 200);
    // Adding, even with the selected entry out of sight, leaves the list where it was.
    f.click_row(0);
    f.list()->verticalScrollBar()->setValue(50);
    f.desktop.files = {app::PickedFile{"/b/x.pdf", "x.pdf"}};
    f.click(Role::add_file);
    QCOMPARE(f.list()->verticalScrollBar()->value(), 50);
    QCOMPARE(f.shown_selection(), 0);
    // A moved entry stays in sight.
    f.click_row(f.list()->indexAt(QPoint(5, 5)).row());
    const int selected = f.window->state().books.selected();
    QVERIFY(selected > 0);
    f.click(Role::move_up);
    QCOMPARE(f.shown_selection(), selected - 1);
    QVERIFY(f.list()->viewport()->rect().intersects(
        f.list()->visualRect(f.list()->model()->index(selected - 1, 0))));
  }

  void help_and_the_home_page_label_open_their_addresses_other_labels_nothing() {
    WindowFixture f;
    f.show();
    f.click(Role::help);
    QTest::mouseClick(f.widget(Role::home_page_link), Qt::LeftButton);
    f.click(Role::help);
    for (Role role : {Role::home_page_label, Role::product_title, Role::author, Role::contact,
                      Role::book_name_label}) {
      QTest::mouseClick(f.widget(role), Qt::LeftButton);
    }
    // A press that ends elsewhere is no click.
    QTest::mousePress(f.widget(Role::home_page_link), Qt::LeftButton);
    QTest::mouseRelease(f.widget(Role::home_page_link), Qt::LeftButton, {}, QPoint(-5, -5));
    QCOMPARE(f.desktop.events, (std::vector<std::string>{"open:" + links::help_address(),
                                                         "open:" + links::home_page_address(),
                                                         "open:" + links::help_address()}));
  }

  void build_asks_for_a_name_then_for_files_then_builds() {
    WindowFixture f;
    f.show();
    auto* name = static_cast<QLineEdit*>(f.widget(Role::book_name));
    const QStringList before = folder_listing(f.dir.path());
    f.click(Role::build);
    QTest::keyClicks(name, QStringLiteral("   "));
    f.click(Role::build);
    name->clear();
    type_text(name, QString::fromUtf8("示例书"));
    f.click(Role::build);
    QCOMPARE(f.desktop.events,
             (std::vector<std::string>{message(app::text::kNeedName), message(app::text::kNeedName),
                                       message(app::text::kNeedFiles)}));
    QCOMPARE(folder_listing(f.dir.path()), before);

    write_file(f.file("a.pdf"), "%PDF-1.4 a");
    f.desktop.files = {app::PickedFile{f.file("a.pdf"), "a.pdf"}};
    f.click(Role::add_file);
    f.desktop.events.clear();
    f.click(Role::build);
    QCOMPARE(f.desktop.events,
             (std::vector<std::string>{"busy", "idle", message(app::text::kBuilt)}));
    const std::string book = builder::finished_path(f.app_dir(), "示例书");
    QVERIFY(QFile::exists(QString::fromStdString(book)));
    QVERIFY(QFile(QString::fromStdString(book)).size() > 590000);
    QCOMPARE(f.titles(), q_list({"a"}));  // a build leaves the list as it was
  }

  void a_failed_build_shows_the_one_message_and_leaves_nothing_behind() {
    WindowFixture f;
    f.show();
    write_file(f.file("a.pdf"), "%PDF-1.4 a");
    write_file(f.file("empty.pdf"), "");
    write_file(f.file("gone.pdf"), "%PDF-1.4 gone");
    QTest::keyClicks(f.widget(Role::book_name), QStringLiteral("book"));
    f.desktop.files = {app::PickedFile{f.file("a.pdf"), "a.pdf"},
                       app::PickedFile{f.file("empty.pdf"), "empty.pdf"}};
    f.click(Role::add_file);
    f.click(Role::add_file);
    const QStringList before = folder_listing(f.dir.path());
    f.click(Role::build);
    QCOMPARE(f.desktop.events,
             (std::vector<std::string>{"busy", "idle", message(app::text::kBuildFailed)}));
    QCOMPARE(folder_listing(f.dir.path()), before);

    // An entry whose file went away after it was added.
    f.click_row(1);
    f.click(Role::delete_file);
    f.desktop.files = {app::PickedFile{f.file("gone.pdf"), "gone.pdf"}};
    f.click(Role::add_file);
    QVERIFY(QFile::remove(QString::fromStdString(f.file("gone.pdf"))));
    const QStringList without = folder_listing(f.dir.path());
    f.desktop.events.clear();
    f.click(Role::build);
    QCOMPARE(f.desktop.events,
             (std::vector<std::string>{"busy", "idle", message(app::text::kBuildFailed)}));
    QCOMPARE(folder_listing(f.dir.path()), without);
    QCOMPARE(f.titles(), q_list({"a", "gone"}));
  }

  void a_close_during_a_build_waits_for_nothing_and_ends_nothing() {
    // The busy pointer is the one moment a build lets window events through.
    struct ClosingDesktop : ScriptedDesktop {
      QWidget* window = nullptr;
      void set_busy(bool busy) override {
        ScriptedDesktop::set_busy(busy);
        if (busy) window->close();
      }
    };
    QTemporaryDir dir;
    const std::string app_dir = dir.path().toStdString();
    write_file(app_dir + "/books.ini", "STUB");
    write_file(app_dir + "/a.pdf", "%PDF-1.4 a");
    ClosingDesktop desktop;
    tarvello_qt::MainWindow window(app_dir, &desktop, 96);
    desktop.window = &window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    desktop.files = {app::PickedFile{app_dir + "/a.pdf", "a.pdf"}};
    QTest::mouseClick(window.widget(Role::add_file), Qt::LeftButton);
    type_text(window.widget(Role::book_name), QStringLiteral("book"));
    QTest::mouseClick(window.widget(Role::build), Qt::LeftButton);
    QCOMPARE(desktop.events,
             (std::vector<std::string>{"busy", "idle", message(app::text::kBuilt)}));
    QVERIFY(window.isVisible());
    QVERIFY(QFile::exists(QString::fromStdString(builder::finished_path(app_dir, "book"))));
  }

  void without_the_reader_stub_the_window_is_never_shown() {
    WindowFixture f(96, /*with_stub=*/false);
    QVERIFY(!f.window->start());
    QVERIFY(!f.window->isVisible());
    QCOMPARE(f.desktop.events,
             (std::vector<std::string>{message(app::text::kStubMissing),
                                       "open:" + links::home_page_address(), "end"}));
  }

  void with_the_stub_the_window_shows_centred_with_the_focus_on_the_book_name() {
    WindowFixture f;
    QVERIFY(f.window->start());
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    QVERIFY(f.desktop.events.empty());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    // The frame is the window manager's and unknown before the window is first shown, so
    // the window is placed by the size of its inside.
    QCOMPARE(f.window->pos(),
             screen.topLeft() + QPoint((screen.width() - f.window->width()) / 2,
                                       (screen.height() - f.window->height()) / 2));
    QCOMPARE(f.window->focusWidget(), f.widget(Role::book_name));
    QVERIFY(f.titles().isEmpty());
  }

  void closing_the_window_ends_the_process_even_with_a_full_list() {
    WindowFixture f;
    f.show();
    f.desktop.files = {app::PickedFile{"/b/a.pdf", "a.pdf"}};
    f.click(Role::add_file);
    QVERIFY(f.window->close());
    QCOMPARE(f.desktop.events, (std::vector<std::string>{"end"}));
  }
};

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
