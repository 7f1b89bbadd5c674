#include "app/commands.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "app/messages.h"
#include "links/code_list.h"
#include "platform/file.h"
#include "support/scripted_desktop.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;
using testing_support::write_file;

using FakeDesktop = testing_support::ScriptedDesktop;
using testing_support::message;

TEST(Startup, MissingStubShowsTheMessageOpensTheHomePageAndEnds) {
  TempDir dir;
  FakeDesktop desktop;
  EXPECT_FALSE(app::startup_check(dir.path(), desktop));
  std::vector<std::string> expected = {message(app::text::kStubMissing),
                                       "open:" + links::home_page_address(), "end"};
  EXPECT_EQ(desktop.events, expected);

  // A folder of that name is no stub either.
  std::filesystem::create_directory(std::filesystem::path(dir.path()) / "books.ini");
  FakeDesktop again;
  EXPECT_FALSE(app::startup_check(dir.path(), again));
  EXPECT_EQ(again.events, expected);
}

TEST(Startup, PresentStubLetsTheWindowShow) {
  TempDir dir;
  write_file(dir.file("books.ini"), "stub");
  FakeDesktop desktop;
  EXPECT_TRUE(app::startup_check(dir.path(), desktop));
  EXPECT_TRUE(desktop.events.empty());
}

TEST(AddFile, AcceptsExactEndingsAndKeepsThePathInTheScratch) {
  FakeDesktop desktop;
  app::WindowState state;
  state.books.append({"Old", "/old.pdf"});
  state.books.select(0);
  desktop.files = {app::PickedFile{"  /docs/Report.pdf ", "Report.pdf"},
                   app::PickedFile{"/docs/SCAN.PDF", "SCAN.PDF"},
                   app::PickedFile{"/docs/Notes.Pdf", "Notes.Pdf"}, std::nullopt,
                   app::PickedFile{"/docs/SCAN.PDF", "SCAN.PDF"}};
  for (int i = 0; i < 5; ++i) app::add_file(state, desktop);

  ASSERT_EQ(state.books.count(), 4);
  EXPECT_EQ(state.books.at(1), (booklist::Entry{"Report", "/docs/Report.pdf"}));
  EXPECT_EQ(state.books.at(2), (booklist::Entry{"SCAN", "/docs/SCAN.PDF"}));
  EXPECT_EQ(state.books.at(3), state.books.at(2));  // the same file twice: two entries
  EXPECT_EQ(state.books.selected(), 0);
  // Each dialog starts where the last chosen path was; a refused file still lands there,
  // and a cancelled dialog changes nothing.
  std::vector<std::string> dirs = {"", "/docs/Report.pdf", "/docs/SCAN.PDF", "/docs/Notes.Pdf",
                                   "/docs/Notes.Pdf"};
  EXPECT_EQ(desktop.initial_dirs, dirs);
  EXPECT_EQ(state.scratch, "/docs/SCAN.PDF");
  EXPECT_TRUE(desktop.events.empty());  // no command of these shows a message
}

TEST(AddFolder, AppendsEveryPdfInOrderWithTheLastTitleInTheScratch) {
  TempDir dir;
  for (const char* name : {"b.PDF", "A.pdf", "notes.txt", "my.pdfs.pdf"}) {
    write_file(dir.file(name), "%PDF");
  }
  TempDir empty;
  FakeDesktop desktop;
  app::WindowState state;
  state.scratch = "before";
  desktop.folders = {std::nullopt, empty.path(), dir.path(), dir.path()};
  app::add_folder(state, desktop);
  app::add_folder(state, desktop);
  EXPECT_TRUE(state.books.empty());
  EXPECT_EQ(state.scratch, "before");

  app::add_folder(state, desktop);
  app::add_folder(state, desktop);
  ASSERT_EQ(state.books.count(), 6);
  const char* titles[] = {"A", "b", "mys"};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(state.books.at(i).title, titles[i % 3]);
  }
  EXPECT_EQ(state.books.at(1).path, dir.file("b.PDF"));
  EXPECT_EQ(state.scratch, "mys");
  EXPECT_TRUE(desktop.events.empty());
}

TEST(AddFolder, StopsAtTheCapWithEveryEntryPaired) {
  TempDir dir;
  write_file(dir.file("x.pdf"), "%PDF");
  write_file(dir.file("y.pdf"), "%PDF");
  FakeDesktop desktop;
  app::WindowState state;
  for (int i = 0; i < booklist::BookList::kMaxEntries - 1; ++i) state.books.append({"t", "p"});
  desktop.folders = {dir.path()};
  app::add_folder(state, desktop);
  EXPECT_EQ(state.books.count(), booklist::BookList::kMaxEntries);
  EXPECT_EQ(state.books.at(state.books.count() - 1), (booklist::Entry{"x", dir.file("x.pdf")}));
  EXPECT_EQ(state.scratch, "x");
}

TEST(Links, EachClickOpensItsDecodedAddressOnce) {
  FakeDesktop desktop;
  app::open_help(desktop);
  app::open_home_page(desktop);
  app::open_help(desktop);
  std::vector<std::string> expected = {"open:" + links::help_address(),
                                       "open:" + links::home_page_address(),
                                       "open:" + links::help_address()};
  EXPECT_EQ(desktop.events, expected);
}

class BuildCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir.file("books.ini"), "STUB");
    write_file(dir.file("a.pdf"), "%PDF-a");
    books.append({"第一章", dir.file("a.pdf")});
  }
  app::BuildReport build(const std::string& name, const booklist::BookList& list) {
    return app::build(name, list, dir.path(), dir.file("books.ini"), desktop);
  }
  TempDir dir;
  FakeDesktop desktop;
  booklist::BookList books;
};

TEST_F(BuildCommand, BlankNameOrEmptyListStopsWithItsMessageAndWritesNothing) {
  std::string before = testing_support::listing(dir.path());
  for (std::string name : {"", "   ", "\u3000 "}) {
    EXPECT_EQ(build(name, books).outcome, app::BuildOutcome::need_name);
  }
  EXPECT_EQ(build("", booklist::BookList{}).outcome, app::BuildOutcome::need_name);
  EXPECT_EQ(build("书", booklist::BookList{}).outcome, app::BuildOutcome::need_files);
  std::vector<std::string> expected(4, message(app::text::kNeedName));
  expected.push_back(message(app::text::kNeedFiles));
  EXPECT_EQ(desktop.events, expected);
  EXPECT_EQ(testing_support::listing(dir.path()), before);
}

TEST_F(BuildCommand, SuccessRestoresThePointerBeforeItsMessage) {
  auto report = build(" 书 ", books);
  ASSERT_EQ(report.outcome, app::BuildOutcome::built) << builder::describe(report.result.failure);
  std::vector<std::string> expected = {"busy", "idle", message(app::text::kBuilt)};
  EXPECT_EQ(desktop.events, expected);
  EXPECT_EQ(report.result.output_path, dir.file(" 书 .exe"));
  EXPECT_TRUE(platform::is_ordinary_file(report.result.output_path));
  EXPECT_EQ(books.count(), 1);
}

TEST_F(BuildCommand, FailureShowsTheOneMessageAndRestoresThePointer) {
  write_file(dir.file("empty.pdf"), "");
  books.append({"空", dir.file("empty.pdf")});
  std::string before = testing_support::listing(dir.path());
  auto report = build("书", books);
  EXPECT_EQ(report.outcome, app::BuildOutcome::failed);
  EXPECT_EQ(report.result.failure.cause, builder::Cause::empty);
  std::vector<std::string> expected = {"busy", "idle", message(app::text::kBuildFailed)};
  EXPECT_EQ(desktop.events, expected);
  EXPECT_EQ(testing_support::listing(dir.path()), before);
}

}  // namespace
