// The window's commands through the one dispatcher both windows call, with a scripted
// Desktop standing in for the dialogs, the message boxes and the event loop.
#include "app/commands.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

#include "app/texts.h"
#include "links/code_list.h"
#include "platform/file.h"
#include "support/temp_dir.h"

namespace {

using app::layout::Role;
using testing_support::forge_book;
using testing_support::listing;
using testing_support::write_file;

std::string message(std::string_view text) {
  return "message:" + std::string(text);
}

// The dialogs answered from a script (an unscripted one counts as cancelled), what the
// commands asked for written down, and posted tasks queued until the test runs them, as
// a window's event loop would.
struct ScriptedDesktop : app::Desktop {
  std::deque<std::optional<app::PickedFile>> files;
  std::deque<std::optional<std::string>> folders;
  std::vector<std::string> events, captions, initial_dirs;  // events: messages, busy, opened
  std::mutex guard;
  std::deque<std::function<void()>> tasks;

  template <typename T>
  static std::optional<T> next(std::deque<std::optional<T>>& script) {
    std::optional<T> answer = script.empty() ? std::nullopt : script.front();
    if (!script.empty()) script.pop_front();
    return answer;
  }
  void show_message(const std::string& text) override { events.push_back(message(text)); }
  void set_busy(bool busy) override { events.push_back(busy ? "busy" : "idle"); }
  void show_progress(const std::string& caption, int) override { captions.push_back(caption); }
  std::optional<app::PickedFile> pick_pdf_file(const std::string& initial_dir) override {
    initial_dirs.push_back(initial_dir);
    return next(files);
  }
  std::optional<std::string> pick_folder() override { return next(folders); }
  void open_address(const std::string& address) override { events.push_back("open:" + address); }
  void end_process() override { events.push_back("end"); }
  void post(std::function<void()> task) override {
    std::lock_guard lock(guard);
    tasks.push_back(std::move(task));
  }
  // Runs what was posted, in order, until `done` holds (at most ten seconds).
  bool pump_until(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      std::function<void()> task = [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      };
      {
        std::lock_guard lock(guard);
        if (!tasks.empty()) task = std::move(tasks.front()), tasks.pop_front();
      }
      task();
    }
    return done();
  }
};

struct Window {
  Window() { write_file(dir.file("books.ini"), "reader"); }
  app::Changes run(Role role) { return app::run_command(role, state, desktop); }
  std::string titles() const {
    std::string out;
    for (const auto& e : state.books.entries()) out += e.title + " ";
    return out;
  }
  testing_support::TempDir dir;
  ScriptedDesktop desktop;
  app::WindowState state{dir.path()};
};

TEST(Commands, EachControlRunsItsCommandAndSaysWhatChanged) {
  Window w;
  const std::string docs = w.dir.file("docs");
  std::filesystem::create_directory(testing_support::fs_path(docs));
  for (const char* name : {"第2讲.pdf", "第11讲.PDF", "notes.txt"})
    write_file(docs + "/" + name, "%PDF");
  // A picked file is kept as the next dialog's starting place, even one that is refused;
  // a folder leaves its last title there.
  w.desktop.files = {app::PickedFile{" " + docs + "/第2讲.pdf ", "第2讲.pdf"},
                     app::PickedFile{docs + "/Notes.Pdf", "Notes.Pdf"}, std::nullopt};
  EXPECT_TRUE(w.run(Role::add_file).titles);
  EXPECT_FALSE(w.run(Role::add_file).titles);
  EXPECT_FALSE(w.run(Role::add_file).titles);
  EXPECT_EQ(w.desktop.initial_dirs,
            (std::vector<std::string>{"", docs + "/第2讲.pdf", docs + "/Notes.Pdf"}));
  w.desktop.folders = {docs};
  EXPECT_TRUE(w.run(Role::add_folder).titles);
  EXPECT_EQ(w.titles(), "第2讲 第2讲 第11讲 ");
  EXPECT_EQ(w.state.scratch, "第11讲");

  w.state.books.select(2);
  const app::Changes moved = w.run(Role::move_up);
  EXPECT_TRUE(moved.titles && moved.selection);
  EXPECT_EQ(w.titles(), "第2讲 第11讲 第2讲 ");
  EXPECT_TRUE(w.run(Role::delete_file).selection);
  EXPECT_FALSE(w.run(Role::delete_file).titles);  // nothing selected any more
  EXPECT_FALSE(w.run(Role::help).titles);
  EXPECT_EQ(w.desktop.events, std::vector<std::string>{"open:" + links::help_address()});
}

TEST(Commands, BuildsOffTheWindowsThreadAndStopsWhenItCloses) {
  Window w;
  write_file(w.dir.file("a.pdf"), std::string(3u << 20, 'a'));
  auto build = [&] {
    w.desktop.events.clear();
    w.run(Role::build);
    EXPECT_TRUE(w.desktop.pump_until([&] { return !app::building(w.state); }));
  };
  build();  // no name yet: no thread, no busy pointer
  EXPECT_EQ(w.desktop.events, std::vector<std::string>{message("请首先输入书名")});
  w.state.book_name = "书";
  w.state.books.append({"a", w.dir.file("a.pdf")});
  build();
  EXPECT_EQ(w.desktop.events,
            (std::vector<std::string>{"busy", "idle", message(app::texts::kBuilt)}));
  EXPECT_EQ(w.desktop.captions.front(), std::string(app::texts::kCaption) + " - 正在生成 0%");
  EXPECT_EQ(w.desktop.captions.back(), app::texts::kCaption);

  // Closed mid-build: nothing else starts, the build stops and removes its files, and
  // only then the process ends.
  std::filesystem::resize_file(testing_support::fs_path(w.dir.file("a.pdf")), 512u << 20);
  w.state.book_name = "另一本";
  w.desktop.events.clear();
  w.run(Role::build);
  app::close_window(w.state, w.desktop);
  EXPECT_FALSE(w.run(Role::clear).titles);
  EXPECT_TRUE(w.desktop.pump_until([&] { return !app::building(w.state); }));
  EXPECT_EQ(w.desktop.events, (std::vector<std::string>{"busy", "idle", "end"}));
  EXPECT_EQ(listing(w.dir.path()), "a.pdf books.ini 书.exe");
}

TEST(Commands, DroppedFilesFoldersAndBooksAreAddedInNaturalOrder) {
  Window w;
  const std::string folder = w.dir.file("节");
  std::filesystem::create_directory(testing_support::fs_path(folder));
  for (const char* name :
       {"第10章.pdf", "第9章.PDF", "Notes.Pdf", "notes.docx", "节/第二节.Pdf", "节/第一节.pdf"})
    write_file(w.dir.file(name), "%PDF");
  // An e-book by its content, whatever its name; a damaged one adds nothing and says why.
  write_file(w.dir.file("第11章.bin"), forge_book("书", {{"甲", "1"}, {"乙\x1b", "22"}}));
  std::string damaged = forge_book("书", {{"丙", "3"}});
  damaged.replace(damaged.find("590000"), 6, "590001");
  write_file(w.dir.file("第12章.exe"), damaged);
  w.state.scratch = "kept";
  // Files by the add-file rule, the folder by the add-folder rule, all by name; a file
  // that is neither an e-book nor taken by the rule is named.
  EXPECT_TRUE(app::drop_paths({w.dir.file("第10章.pdf"), w.dir.file("Notes.Pdf"), folder,
                               w.dir.file("第9章.PDF"), w.dir.file("第12章.exe"),
                               w.dir.file("第11章.bin"), w.dir.file("notes.docx")},
                              w.state, w.desktop)
                  .titles);
  EXPECT_EQ(w.titles(), "第9章 第10章 甲 乙\x1b 第一节 第二节 ");
  EXPECT_EQ(w.state.books.at(3).offset, 590000u);
  EXPECT_EQ(w.state.books.at(3).length, 2u);
  const auto left_out = [&](const char* name) {
    return "“" + w.dir.file(name) + "”既不是电子书，名字也不以 .pdf 或 .PDF 结尾，没有加入。\n";
  };
  EXPECT_EQ(w.desktop.events,
            std::vector<std::string>{message(left_out("notes.docx") + left_out("Notes.Pdf") +
                                             "无法读取电子书“" + w.dir.file("第12章.exe") +
                                             "”：索引第 2 行所指的文件超出了内容区。")});
  EXPECT_EQ(w.state.scratch, "kept");
  // A full list takes what fits and says how much did not.
  w.desktop.events.clear();
  while (w.state.books.count() < w.state.books.kMaxEntries - 1) w.state.books.append({"t", "p"});
  EXPECT_TRUE(app::drop_paths({w.dir.file("第11章.bin")}, w.state, w.desktop).titles);
  EXPECT_EQ(w.state.books.at(w.state.books.count() - 1).title, "甲");
  EXPECT_EQ(
      w.desktop.events,
      std::vector<std::string>{message("列表已满（最多 32767 个文件），还有 1 个文件没有加入。")});
  EXPECT_FALSE(app::drop_paths({w.dir.file("第9章.PDF")}, w.state, w.desktop).titles);
}

}  // namespace
