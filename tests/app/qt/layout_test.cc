// The window against the layout table: places, sizes, faces, colours, focus order, the
// separator and the banner.
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "app/messages.h"
#include "app/qt/widgets.h"
#include "window_fixture.h"

using app::layout::Control;
using app::layout::Kind;
using app::layout::to_pixels;
using namespace tarvello_qt_testing;

namespace {

QRect table_box(const Control& c, int dpi) {
  const int left = to_pixels(c.left, dpi);
  const int top = to_pixels(c.top, dpi);
  return QRect(left, top, to_pixels(c.left + c.width, dpi) - left,
               to_pixels(c.top + c.height, dpi) - top);
}

bool shown(const Control& c) {
  return c.visible && c.kind != Kind::line;
}

QString name_of(const Control& c) {
  return QString::fromUtf8(c.name.data(), static_cast<qsizetype>(c.name.size()));
}

}  // namespace

class LayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void dpi_data() {
    QTest::addColumn<int>("dpi");
    QTest::newRow("96 dpi") << 96;
    QTest::newRow("120 dpi") << 120;
    QTest::newRow("144 dpi") << 144;
  }

  void every_shown_control_stands_at_its_table_box_data() { dpi_data(); }
  void every_shown_control_stands_at_its_table_box() {
    QFETCH(int, dpi);
    WindowFixture f(dpi);
    f.show();
    const QSize client(to_pixels(app::layout::kClientWidth, dpi),
                       to_pixels(app::layout::kClientHeight, dpi));
    QCOMPARE(f.window->size(), client);
    QCOMPARE(f.window->minimumSize(), client);
    QCOMPARE(f.window->maximumSize(), client);

    std::vector<QWidget*> widgets;
    for (const Control& c : app::layout::controls()) {
      QWidget* w = f.widget(c.role);
      if (!shown(c)) {
        // Lines are painted; List2, File1 and Text4 are state, never widgets.
        QVERIFY2(w == nullptr, c.name.data());
        QVERIFY(f.window->findChild<QWidget*>(name_of(c)) == nullptr);
        continue;
      }
      QVERIFY2(w && w->isVisible(), c.name.data());
      const QRect box = table_box(c, dpi);
      if (c.kind == Kind::label) {
        // A caption in a Linux face may need more room than the table's, never less.
        QCOMPARE(w->pos(), box.topLeft());
        QVERIFY2(w->width() >= box.width() && w->height() >= box.height(), c.name.data());
        QVERIFY2(w->width() >= w->sizeHint().width(), c.name.data());
        QVERIFY2(w->height() >= w->sizeHint().height(), c.name.data());
      } else {
        QCOMPARE(w->geometry(), box);
      }
      QVERIFY2(f.window->rect().contains(w->geometry()), c.name.data());
      widgets.push_back(w);
    }
    // A widened caption must not run into its neighbours.
    for (std::size_t i = 0; i < widgets.size(); ++i) {
      for (std::size_t j = i + 1; j < widgets.size(); ++j) {
        QVERIFY2(!widgets[i]->geometry().intersects(widgets[j]->geometry()),
                 qPrintable(widgets[i]->objectName() + " / " + widgets[j]->objectName()));
      }
    }
  }

  void faces_weights_colours_and_pointers_follow_the_table_data() { dpi_data(); }
  void faces_weights_colours_and_pointers_follow_the_table() {
    QFETCH(int, dpi);
    WindowFixture f(dpi);
    const QColor plain = f.window->palette().color(QPalette::WindowText);
    for (const Control& c : app::layout::controls()) {
      if (!shown(c)) continue;
      QWidget* w = f.widget(c.role);
      const QFont font = w->font();
      QCOMPARE(font.families().first(),
               QString::fromUtf8(c.font->face.data(), static_cast<qsizetype>(c.font->face.size())));
      QCOMPARE(font.pixelSize(), to_pixels(c.font->points * 20, dpi));
      QCOMPARE(font.bold(), c.font->weight >= 700);
      const QColor text = w->palette().color(QPalette::WindowText);
      QCOMPARE(text, c.colour ? QColor(c.colour->r, c.colour->g, c.colour->b) : plain);
      // Only the home-page link has a pointer of its own among the labels.
      if (c.kind == Kind::label) QCOMPARE(w->testAttribute(Qt::WA_SetCursor), c.hand_pointer);
    }
    QCOMPARE(f.widget(Role::home_page_link)->cursor().shape(), Qt::PointingHandCursor);
  }

  void captions_are_shown_as_written_and_no_button_is_default() {
    WindowFixture f;
    QCOMPARE(f.window->windowTitle(), QString::fromUtf8(app::text::kCaption.data()));
    QVERIFY(!(f.window->windowFlags() & Qt::WindowMaximizeButtonHint));
    for (const Control& c : app::layout::controls()) {
      if (!shown(c)) continue;
      const QString caption =
          QString::fromUtf8(c.text.data(), static_cast<qsizetype>(c.text.size()));
      if (auto* button = qobject_cast<QPushButton*>(f.widget(c.role))) {
        QCOMPARE(button->text(), caption);
        QVERIFY(!button->autoDefault());
        QVERIFY(!button->isDefault());
      } else if (auto* label = qobject_cast<QLabel*>(f.widget(c.role))) {
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->textFormat(), Qt::PlainText);
      }
    }
    QVERIFY(!f.window->windowIcon().isNull());
    QVERIFY(f.window->windowIcon().availableSizes().contains(QSize(48, 48)));
  }

  void tab_and_backtab_visit_the_focusable_controls_in_table_order() {
    WindowFixture f;
    f.show();
    QApplication::setActiveWindow(f.window.get());
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    QStringList expected;
    for (const Control& c : app::layout::controls()) {
      if (app::layout::takes_focus(c)) expected << name_of(c);
    }
    QCOMPARE(expected.size(), 11);
    QTRY_COMPARE(QApplication::focusWidget(), f.widget(Role::book_name));

    QStringList forward;
    for (int i = 0; i < expected.size(); ++i) {
      forward << QApplication::focusWidget()->objectName();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(forward, expected);
    QCOMPARE(QApplication::focusWidget(), f.widget(Role::book_name));  // and round again

    QStringList backward;
    for (int i = 0; i < expected.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
      backward.prepend(QApplication::focusWidget()->objectName());
    }
    QCOMPARE(backward, expected);
  }

  void enter_in_the_book_name_and_escape_start_nothing() {
    WindowFixture f;
    f.show();
    QApplication::setActiveWindow(f.window.get());
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    auto* name = static_cast<QLineEdit*>(f.widget(Role::book_name));
    name->setFocus();
    type_text(name, QString::fromUtf8("书"));
    QTest::keyClick(name, Qt::Key_Return);
    QTest::keyClick(name, Qt::Key_Enter);
    QTest::keyClick(name, Qt::Key_Escape);
    QTest::keyClick(f.window.get(), Qt::Key_Escape);
    QVERIFY(f.desktop.events.empty());  // no build, no message, no end
    QVERIFY(f.window->isVisible());
    QCOMPARE(f.window->state().book_name, std::string("书"));
  }

  void the_separator_is_grey_above_white_across_the_window_data() { dpi_data(); }
  void the_separator_is_grey_above_white_across_the_window() {
    QFETCH(int, dpi);
    WindowFixture f(dpi);
    f.show();
    const QImage shot = f.window->grab().toImage();
    const Control& grey = app::layout::control(Role::separator_shadow);
    const Control& white = app::layout::control(Role::separator_light);
    const int grey_y = to_pixels(grey.top, dpi);
    const int white_y = to_pixels(white.top, dpi);
    QVERIFY(white_y - grey_y >= 2);
    const QColor background = f.window->palette().color(QPalette::Window);
    for (int x : {0, shot.width() / 2, shot.width() - 1}) {
      QCOMPARE(shot.pixelColor(x, grey_y), QColor(192, 192, 192));
      QCOMPARE(shot.pixelColor(x, white_y), QColor(255, 255, 255));
      QCOMPARE(shot.pixelColor(x, grey_y + 1), background);
    }
  }

  void the_banner_is_drawn_unscaled_inside_a_sunken_frame_and_cut_there() {
    WindowFixture f;
    f.show();
    auto* banner = qobject_cast<tarvello_qt::BannerBox*>(f.widget(Role::banner));
    QVERIFY(banner);
    const QImage& image = banner->image();
    QVERIFY(!image.isNull());
    // Two pixels of frame all round, and the picture is larger than what is left.
    const QRect inside = banner->contentsRect();
    QCOMPARE(inside, banner->rect().adjusted(2, 2, -2, -2));
    QCOMPARE(inside.size(), QSize(193, 220));
    QVERIFY(image.width() > inside.width() && image.height() > inside.height());

    const QImage shot = banner->grab().toImage();
    for (QPoint p :
         {QPoint(0, 0), QPoint(100, 100), QPoint(inside.width() - 1, inside.height() - 1)}) {
      QCOMPARE(shot.pixelColor(inside.topLeft() + p), image.pixelColor(p));
    }
    // Nothing of the picture spills over the frame: its right and lower edges keep one
    // colour each all along.
    for (int edge : {shot.width() - 1, shot.width() - 2}) {
      for (int y = 2; y < shot.height() - 2; ++y) {
        QCOMPARE(shot.pixelColor(edge, y), shot.pixelColor(edge, 2));
      }
    }
    for (int edge : {shot.height() - 1, shot.height() - 2}) {
      for (int x = 2; x < shot.width() - 2; ++x) {
        QCOMPARE(shot.pixelColor(x, edge), shot.pixelColor(2, edge));
      }
    }

    QCOMPARE(banner->focusPolicy(), Qt::StrongFocus);
    QCOMPARE(f.window->childAt(inside.center() + banner->pos()), banner);
    // It takes the focus but reacts to nothing.
    QTest::mouseClick(banner, Qt::LeftButton);
    QTest::mouseDClick(banner, Qt::LeftButton);
    QTest::keyClick(banner, Qt::Key_Return);
    QTest::keyClick(banner, Qt::Key_Space);
    QVERIFY(f.desktop.events.empty());
    QVERIFY(f.window->state().books.empty());
  }
};

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
