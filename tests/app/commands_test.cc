// The window's commands through the one dispatcher both windows call, with a scripted
// Desktop standing in for the dialogs, the message boxes and the event loop.
#include "app/commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "app/messages.h"
#include "links/code_list.h"
#include "platform/file.h"
#include "support/scripted_desktop.h"
#include "support/temp_dir.h"

namespace {

using app::layout::Role;
using testing_support::listing;
using testing_support::message;
using testing_support::ScriptedDesktop;
using testing_support::TempDir;
using testing_support::write_file;

std::string titles(const app::WindowState& state) {
  std::string out;
  for (const auto& e : state.books.entries()) out += e.title + " ";
  return out;
}

TEST(Window, StartsOnlyBesideItsReader) {
  TempDir dir;
  ScriptedDesktop desktop;
  app::WindowState state(dir.path());
  EXPECT_FALSE(app::startup_check(state, desktop));
  EXPECT_EQ(desktop.events, (std::vector<std::string>{message(app::text::kStubMissing),
                                                      "open:http://tarvello.test/", "end"}));
  write_file(dir.file("books.ini"), "reader");
  EXPECT_TRUE(app::startup_check(state, desktop));
  // The stored addresses decode to their texts, and encoding is the inverse.
  EXPECT_EQ(links::help_address(), "http://tarvello.test/help/zh-cn/index.htm");
  EXPECT_EQ(links::output_suffix(), ".exe");
  EXPECT_EQ(links::encode_code_list(links::home_page_address()), links::kHomePageAddressCodes);
  // Every control once, with its own id.
  std::set<int> ids;
  for (const auto& c : app::layout::controls()) ids.insert(c.id);
  EXPECT_EQ(ids.size(), app::layout::kControls.size());
}

TEST(Window, EachControlRunsItsCommandAndSaysWhatChanged) {
  TempDir dir, docs;
  write_file(dir.file("books.ini"), "reader");
  for (const char* name : {"第2讲.pdf", "第11讲.PDF", "notes.txt"})
    write_file(docs.file(name), "%PDF");
  ScriptedDesktop desktop;
  app::WindowState state(dir.path());
  auto run = [&](Role role) { return app::run_command(role, state, desktop); };

  desktop.files = {app::PickedFile{" " + docs.file("第2讲.pdf") + " ", "第2讲.pdf"},
                   app::PickedFile{docs.file("Notes.Pdf"), "Notes.Pdf"}, std::nullopt};
  EXPECT_TRUE(run(Role::add_file).titles);
  EXPECT_FALSE(run(Role::add_file).titles);  // refused, yet kept as the next starting place
  EXPECT_FALSE(run(Role::add_file).titles);  // cancelled
  EXPECT_EQ(desktop.initial_dirs,
            (std::vector<std::string>{"", docs.file("第2讲.pdf"), docs.file("Notes.Pdf")}));
  desktop.folders = {docs.path()};
  EXPECT_TRUE(run(Role::add_folder).titles);
  EXPECT_EQ(titles(state), "第2讲 第2讲 第11讲 ");
  EXPECT_EQ(state.scratch, "第11讲");  // the last title the folder added
  EXPECT_EQ(state.books.at(2).path, platform::join(docs.path(), "第11讲.PDF"));

  state.books.select(2);
  const app::Changes moved = run(Role::move_up);
  EXPECT_TRUE(moved.titles && moved.selection);
  EXPECT_EQ(titles(state), "第2讲 第11讲 第2讲 ");
  EXPECT_EQ(state.books.selected(), 1);
  run(Role::delete_file);
  EXPECT_EQ(state.books.selected(), -1);
  EXPECT_FALSE(run(Role::delete_file).titles);  // nothing selected any more
  EXPECT_FALSE(run(Role::help).titles);
  run(Role::home_page_link);
  EXPECT_EQ(desktop.events, (std::vector<std::string>{"open:" + links::help_address(),
                                                      "open:" + links::home_page_address()}));
}

TEST(Window, BuildsOffItsThreadShowingProgressAndTheOutcome) {
  TempDir dir;
  write_file(dir.file("books.ini"), "reader");
  write_file(dir.file("a.pdf"), std::string(3u << 20, 'a'));
  ScriptedDesktop desktop;
  app::WindowState state(dir.path());
  auto build = [&] {
    desktop.events.clear();
    desktop.captions.clear();
    app::run_command(Role::build, state, desktop);
    EXPECT_TRUE(desktop.pump_until([&] { return !app::building(state); }));
  };

  build();  // no name yet: no thread, no busy pointer
  EXPECT_EQ(desktop.events, (std::vector<std::string>{message("请首先输入书名")}));
  state.book_name = "书";
  build();
  EXPECT_EQ(desktop.events, (std::vector<std::string>{message("请首先添加文件")}));

  state.books.append({"a", dir.file("a.pdf")});
  build();
  EXPECT_EQ(desktop.events, (std::vector<std::string>{"busy", "idle", message(app::text::kBuilt)}));
  EXPECT_EQ(desktop.captions.front(), std::string(app::text::kCaption) + " - 正在生成 0%");
  EXPECT_EQ(desktop.captions[desktop.captions.size() - 2],
            std::string(app::text::kCaption) + " - 正在生成 100%");
  EXPECT_EQ(desktop.captions.back(), app::text::kCaption);
  EXPECT_EQ(listing(dir.path()), "a.pdf books.ini 书.exe");

  // A failure says what went wrong, naming the file.
  state.books.append({"gone", dir.file("gone.pdf")});
  build();
  EXPECT_EQ(desktop.events.back(),
            message("找不到 PDF 文件" + platform::quoted(dir.file("gone.pdf")) +
                    "，它可能已被移动、改名或删除。请把它从列表中删除后重新添加。"));

  // Closed mid-build: the build stops, removes its files, and only then the process ends.
  state.books.clear();
  std::filesystem::resize_file(std::filesystem::u8path(dir.file("a.pdf")), 512u << 20);
  state.books.append({"a", dir.file("a.pdf")});
  state.book_name = "另一本";
  desktop.events.clear();
  app::run_command(Role::build, state, desktop);
  app::close_window(state, desktop);
  EXPECT_EQ(app::run_command(Role::clear, state, desktop).titles, false);  // nothing else starts
  EXPECT_TRUE(desktop.pump_until([&] { return !app::building(state); }));
  EXPECT_EQ(desktop.events, (std::vector<std::string>{"busy", "idle", "end"}));
  EXPECT_EQ(listing(dir.path()), "a.pdf books.ini 书.exe");
}

TEST(Window, DroppedFilesAndFoldersAreAddedInNaturalOrder) {
  TempDir dir, folder;
  for (const char* name : {"第10章.pdf", "第9章.PDF", "Notes.Pdf", "readme.txt"})
    write_file(dir.file(name), "%PDF");
  write_file(folder.file("第一节.pdf"), "%PDF");
  write_file(folder.file("第二节.Pdf"), "%PDF");
  app::WindowState state(dir.path());
  state.scratch = "kept";
  const app::Changes changes =
      app::drop_paths({dir.file("第10章.pdf"), dir.file("Notes.Pdf"), folder.path(),
                       dir.file("readme.txt"), dir.file("第9章.PDF")},
                      state);
  EXPECT_TRUE(changes.titles);
  // Files by the add-file rule, the folder by the add-folder rule, all by name (the
  // folder's, "tarvello-test-…", comes first).
  EXPECT_EQ(titles(state), "第一节 第二节 第9章 第10章 ");
  EXPECT_EQ(state.scratch, "kept");

  for (int i = state.books.count(); i < booklist::BookList::kMaxEntries; ++i)
    state.books.append({"t", "p"});
  EXPECT_FALSE(app::drop_paths({dir.file("第9章.PDF")}, state).titles);  // full
}

}  // namespace
