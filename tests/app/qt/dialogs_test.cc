// The window with its real Qt dialogs: the message box, the file and folder dialogs and
// the busy pointer. Each dialog is answered from a timer while its exec() runs.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/messages.h"
#include "app/qt/main_window.h"
#include "app/qt/qt_desktop.h"
#include "builder/build.h"
#include "scripted_desktop.h"

using app::layout::Role;
using tarvello_qt_testing::write_file;

namespace {

QString q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Waits for the next modal dialog and hands it to `answer`, which must close it. A dialog
// that never comes fails the test instead of hanging it.
class ModalAnswer {
 public:
  explicit ModalAnswer(std::function<void(QWidget*)> answer) : answer_(std::move(answer)) {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
  }
  bool answered() const { return answered_; }

 private:
  void poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) {
      if (++waited_ > 3000) timer_.stop();  // 30 s, for a loaded machine
      return;
    }
    timer_.stop();
    answered_ = true;
    answer_(modal);
    // An answer that failed half-way must still let the command go on.
    if (modal->isVisible()) {
      if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialog->reject();
      } else {
        modal->close();
      }
    }
  }
  std::function<void(QWidget*)> answer_;
  QTimer timer_;
  int waited_ = 0;
  bool answered_ = false;
};

struct RealWindow {
  RealWindow() {
    write_file(file("books.ini"), "STUB");
    window = std::make_unique<tarvello_qt::MainWindow>(dir.path().toStdString());
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) std::abort();
  }
  std::string file(const char* name) const {
    return dir.filePath(QString::fromUtf8(name)).toStdString();
  }
  void click(Role role) const { QTest::mouseClick(window->widget(role), Qt::LeftButton); }

  QTemporaryDir dir;
  std::unique_ptr<tarvello_qt::MainWindow> window;
};

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

  void messages_are_titled_with_one_ok_button_modal_to_the_window() {
    RealWindow w;
    QString title, text;
    QWidget* parent = nullptr;
    int buttons = 0;
    ModalAnswer answer([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box);
      title = box->windowTitle();
      text = box->text();
      parent = box->parentWidget();
      buttons = static_cast<int>(box->buttons().size());
      QVERIFY(box->button(QMessageBox::Ok));
      box->button(QMessageBox::Ok)->click();
    });
    w.click(Role::build);
    QVERIFY(answer.answered());
    QCOMPARE(title, q(app::text::kMessageTitle));
    QCOMPARE(text, q(app::text::kNeedName));
    QCOMPARE(parent, w.window.get());
    QCOMPARE(buttons, 1);
  }

  void the_file_dialog_offers_pdfs_starts_at_the_last_pick_and_returns_path_and_name() {
    RealWindow w;
    QTemporaryDir books;
    const std::string first = books.filePath(QStringLiteral("第一章.pdf")).toStdString();
    write_file(first, "%PDF");
    write_file(books.filePath(QStringLiteral("SCAN.PDF")).toStdString(), "%PDF");

    QFileDialog* seen = nullptr;
    QString caption;
    QStringList filters;
    ModalAnswer pick([&](QWidget* modal) {
      seen = qobject_cast<QFileDialog*>(modal);
      QVERIFY(seen);
      caption = seen->windowTitle();
      filters = seen->nameFilters();
      QCOMPARE(seen->fileMode(), QFileDialog::ExistingFile);
      QCOMPARE(seen->acceptMode(), QFileDialog::AcceptOpen);
      QCOMPARE(seen->parentWidget(), w.window.get());
      seen->selectFile(QString::fromStdString(first));
      static_cast<QDialog*>(seen)->accept();  // the file dialog's own checks run
    });
    w.click(Role::add_file);
    QVERIFY(pick.answered());
    QCOMPARE(caption, q(app::text::kOpenDialogTitle));
    QCOMPARE(filters, QStringList{q(app::text::kPdfFilterLabel)});
    const auto& books_now = w.window->state().books;
    QCOMPARE(books_now.count(), 1);
    QCOMPARE(books_now.at(0).path, first);
    QCOMPARE(books_now.at(0).title, std::string("第一章"));

    // The next dialog opens where the last pick was; cancelling it changes nothing.
    QString directory;
    ModalAnswer cancel([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      QVERIFY(dialog);
      directory = dialog->directory().absolutePath();
      dialog->reject();
    });
    w.click(Role::add_file);
    QVERIFY(cancel.answered());
    QCOMPARE(directory, books.path());
    QCOMPARE(w.window->state().books.count(), 1);
    QCOMPARE(w.window->state().scratch, first);
  }

  void the_folder_dialog_picks_directories_only() {
    RealWindow w;
    QTemporaryDir books;
    for (const char* name : {"b.pdf", "a.PDF"}) {
      write_file(books.filePath(QString::fromUtf8(name)).toStdString(), "%PDF");
    }
    ModalAnswer pick([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      QVERIFY(dialog);
      QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
      QVERIFY(dialog->testOption(QFileDialog::ShowDirsOnly));
      dialog->setDirectory(books.path());
      dialog->selectFile(books.path());
      static_cast<QDialog*>(dialog)->accept();
    });
    w.click(Role::add_folder);
    QVERIFY(pick.answered());
    const auto& list = w.window->state().books;
    QCOMPARE(list.count(), 2);
    QCOMPARE(list.at(0).title, std::string("a"));
    QCOMPARE(list.at(1).path, books.filePath(QStringLiteral("b.pdf")).toStdString());
  }

  void the_busy_pointer_is_gone_before_the_success_message() {
    RealWindow w;
    write_file(w.file("a.pdf"), "%PDF-1.4");
    ModalAnswer pick([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      QVERIFY(dialog);
      dialog->selectFile(QString::fromStdString(w.file("a.pdf")));
      static_cast<QDialog*>(dialog)->accept();
    });
    w.click(Role::add_file);
    QVERIFY(pick.answered());
    QTest::keyClicks(w.window->widget(Role::book_name), QStringLiteral("book"));

    QString text;
    bool busy_during_message = true;
    ModalAnswer done([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box);
      text = box->text();
      busy_during_message = QApplication::overrideCursor() != nullptr;
      box->accept();
    });
    w.click(Role::build);
    QVERIFY(done.answered());
    QCOMPARE(text, q(app::text::kBuilt));
    QVERIFY(!busy_during_message);
    QVERIFY(QFile::exists(
        QString::fromStdString(builder::finished_path(w.dir.path().toStdString(), "book"))));

    tarvello_qt::QtDesktop desktop(w.window.get());
    desktop.set_busy(true);
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    desktop.set_busy(false);
    QVERIFY(!QApplication::overrideCursor());
  }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
