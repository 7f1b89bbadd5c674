// qt_freeze_bench [--inline] [MEGABYTES [RUNS]]: how long the window's event loop goes
// without answering while it builds an e-book of MEGABYTES (default 2000, at most 2047)
// from 20 sparse PDFs. They cost no disk to make; the e-book itself is written in full.
//
// The real window with its own Desktop. From just before the click on 生成PDF电子书 until the
// build's message shows, a timer on the window's thread ticks every 2 ms and asks the window
// to repaint: the longest gap between two ticks is the longest the window went without
// answering. Per run it prints the build's time, the longest gap, the 99th percentile and
// the median of the gaps, the progress captions shown, and the window's paints; for the
// longest gap also how long the thread ran in it and how long it waited for a processor.
//
// --inline runs the same build on the window's thread instead, as a window without a
// worker would, for comparison.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/qt/main_window.h"
#include "builder/build.h"
#include "qt/dialog_answerer.h"
#include "qt/private_home.h"

using app::layout::Role;

namespace {

constexpr int kPdfs = 20;

class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// A tick of the timer: when, and how long this thread had run and had waited for a
// processor by then (Linux's schedstat), to tell a busy or starved window from a blocked one.
struct Tick {
  qint64 at = 0;
  qint64 running = 0;
  qint64 waiting = 0;
};

Tick now(const QElapsedTimer& clock) {
  Tick tick{clock.nsecsElapsed()};
  if (std::FILE* stat = std::fopen("/proc/thread-self/schedstat", "r")) {
    if (std::fscanf(stat, "%lld %lld", &tick.running, &tick.waiting) != 2) tick = {tick.at};
    std::fclose(stat);
  }
  return tick;
}

struct Run {
  double seconds;
  std::vector<double> gaps_ms;  // sorted
  Tick longest;                 // the longest gap: its length, what the thread did in it
  double longest_ended;         // seconds after the click
  int captions;
  int paints;
};

Run measure(const QString& app_dir, const QString& pdfs, bool on_the_window_thread) {
  tarvello_qt::MainWindow window(app_dir.toStdString(), nullptr, 96);
  if (!window.start() || !QTest::qWaitForWindowExposed(&window)) std::exit(1);
  window.drop({pdfs.toStdString()});
  static_cast<QLineEdit*>(window.widget(Role::book_name))->setText(QStringLiteral("bench"));
  QTest::qWait(100);
  int captions = 0;
  QObject::connect(&window, &QWidget::windowTitleChanged, [&] { ++captions; });
  PaintCounter painted;
  window.installEventFilter(&painted);

  QElapsedTimer clock;
  std::vector<Tick> ticks;
  bool done = false;
  clock.start();
  ticks.push_back(now(clock));
  testing_support::DialogAnswerer ticks_until_the_message(
      2,
      [&](QDialog& box) {
        done = true;
        if (testing_support::message_of(box) != QString::fromUtf8("已成功生成PDF电子书！")) {
          std::fprintf(stderr, "the build failed: %s\n",
                       qPrintable(testing_support::message_of(box)));
          std::exit(1);
        }
        box.accept();
      },
      [&] {
        if (done) return;
        ticks.push_back(now(clock));
        window.update();
      });
  if (on_the_window_thread) {
    QTimer::singleShot(0, [&] {
      const builder::BuildResult result =
          builder::write_ebook({"bench",
                                window.state().books.entries(),
                                app_dir.toStdString(),
                                builder::reader_path(app_dir.toStdString(), builder::kThisSystem),
                                {},
                                nullptr});
      ticks.push_back(now(clock));
      done = true;
      if (!result.ok) std::exit(1);
    });
  } else {
    QTest::mouseClick(window.widget(Role::build), Qt::LeftButton);
  }
  while (!done) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  ticks_until_the_message.stop();

  Run run{static_cast<double>(ticks.back().at) / 1e9, {}, {}, 0, captions, painted.paints};
  for (std::size_t i = 1; i < ticks.size(); ++i) {
    const Tick gap{ticks[i].at - ticks[i - 1].at, ticks[i].running - ticks[i - 1].running,
                   ticks[i].waiting - ticks[i - 1].waiting};
    run.gaps_ms.push_back(static_cast<double>(gap.at) / 1e6);
    if (gap.at > run.longest.at) {
      run.longest = gap;
      run.longest_ended = static_cast<double>(ticks[i].at) / 1e9;
    }
  }
  std::sort(run.gaps_ms.begin(), run.gaps_ms.end());
  QFile::remove(QString::fromStdString(
      builder::finished_path(app_dir.toStdString(), "bench", builder::System::windows)));
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  const testing_support::PrivateHome home;  // the books go beside the window, as at first
  QApplication application(argc, argv);
  const bool on_the_window_thread = argc > 1 && std::strcmp(argv[1], "--inline") == 0;
  const int first = on_the_window_thread ? 2 : 1;
  const long long megabytes = argc > first ? std::atoll(argv[first]) : 2000;
  const int runs = argc > first + 1 ? std::atoi(argv[first + 1]) : 5;
  if (megabytes < 1 || megabytes > 2047 || runs < 1) {
    std::fprintf(stderr, "usage: %s [--inline] [MEGABYTES (1-2047) [RUNS]]\n", argv[0]);
    return 2;
  }

  QTemporaryDir app_dir, pdfs;
  QFile reader(app_dir.filePath(QStringLiteral("books.ini")));
  if (!reader.open(QIODevice::WriteOnly) || reader.write(QByteArray(4271, 's')) != 4271) return 1;
  reader.close();
  const qint64 each = megabytes * 1'000'000 / kPdfs;
  for (int i = 0; i < kPdfs; ++i) {
    QFile pdf(QDir(pdfs.path()).filePath(QStringLiteral("第%1章.pdf").arg(i + 1)));
    if (!pdf.open(QIODevice::WriteOnly) || pdf.write("%PDF-1.4\n") != 9 || !pdf.resize(each)) {
      return 1;
    }
  }
  std::printf("%s: %d sparse PDFs, %lld MB together, %s\n",
              on_the_window_thread ? "inline" : "window", kPdfs, megabytes,
              qPrintable(QGuiApplication::platformName()));
  for (int i = 0; i < runs; ++i) {
    const Run r = measure(app_dir.path(), pdfs.path(), on_the_window_thread);
    const auto& g = r.gaps_ms;
    std::printf(
        "run %d: build %5.2f s   longest gap %7.1f ms to %5.2f s (ran %6.1f, waited for a CPU "
        "%5.1f)   99th %5.1f ms   median %4.1f ms   %3d captions   %4d paints\n",
        i + 1, r.seconds, g.back(), r.longest_ended, static_cast<double>(r.longest.running) / 1e6,
        static_cast<double>(r.longest.waiting) / 1e6, g[g.size() * 99 / 100], g[g.size() / 2],
        r.captions, r.paints);
    std::fflush(stdout);
  }
  return 0;
}
