// Whole builds into a scratch folder: the bytes they write, and the failures that must
// leave the folder as it was and say what happened.
#include "builder/build.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "builder/input.h"
#include "container/extract.h"
#include "container/format.h"
#include "platform/faults.h"
#include "platform/text.h"
#include "support/temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace builder {
namespace {

using namespace container;
using platform::faults::Fault;
using testing_support::fs_path;
using testing_support::listing;
using testing_support::open_descriptors;
using testing_support::pattern_bytes;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

class Build : public ::testing::Test {
 protected:
  TempDir in;   // the reader and the PDFs
  TempDir out;  // where the e-book goes, and nothing else
  std::string reader = pattern_bytes(1000, 1);

  void SetUp() override { write_file(in.file("books.ini"), reader); }

  std::string pdf(const std::string& name, const std::string& bytes) {
    write_file(in.file(name), bytes);
    return in.file(name);
  }

  BuildRequest request(const std::string& name, std::vector<booklist::Entry> entries) {
    return {name, std::move(entries), out.path(), in.file("books.ini"), {}, nullptr};
  }

  // The build fails where and why it should, says so naming the file, leaves the output
  // folder exactly as it was, and closes every file it opened.
  void expect_clean_failure(const BuildRequest& req, Step step, Cause cause,
                            const std::string& said = "") {
    SCOPED_TRACE("the failure that says “" + said + "”");  // names a table's row
    const std::string before = listing(out.path());
    const long descriptors = open_descriptors();
    BuildResult r = write_ebook(req);
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failure.step, step) << message(r.failure);
    EXPECT_EQ(r.failure.cause, cause) << message(r.failure);
    EXPECT_NE(message(r.failure).find(said), std::string::npos) << message(r.failure);
    EXPECT_EQ(listing(out.path()), before);
  }
};

TEST_F(Build, TheBookByteForByte) {
  const std::string body = pattern_bytes(1000, 2);
  BuildResult r = write_ebook(request("ab", {{"x", pdf("x.pdf", body)}}));
  ASSERT_TRUE(r.ok) << message(r.failure);
  EXPECT_EQ(r.output_path, out.file("ab.exe"));
  EXPECT_EQ(listing(out.path()), "ab.exe");
  EXPECT_EQ(read_file(r.output_path), reader + std::string(kPayloadOffset - 1000, '\0') + body +
                                          std::string("ab\r\nx\xA1\xE1"
                                                      "590000\xA1\xE2"
                                                      "1000\r\n\x15\0\0\0",
                                                      25));
#ifndef _WIN32
  auto perms = std::filesystem::status(fs_path(r.output_path)).permissions();
  EXPECT_NE(perms & std::filesystem::perms::owner_exec, std::filesystem::perms::none);
#endif

  // A reader that fills its region, two PDFs back to back, a name with spaces kept and a
  // title in code page 936: read back as they went in.
  reader = pattern_bytes(kMaxReaderSize, 3);
  write_file(in.file("books.ini"), reader);
  const std::string a = pattern_bytes(10, 4), b = pattern_bytes(20, 5);
  r = write_ebook(request(" 书 ", {{"第一章", pdf("a.pdf", a)}, {"b", pdf("b.pdf", b)}}));
  ASSERT_TRUE(r.ok) << message(r.failure);
  EXPECT_EQ(read_file(r.output_path).substr(0, kPayloadOffset + 30), reader + a + b);
  ReadResult back = read_book(r.output_path);
  EXPECT_EQ(back.book->name, " 书 ");
  EXPECT_EQ(back.book->entries,
            (std::vector<IndexEntry>{{"第一章", 590000, 10}, {"b", 590010, 20}}));

  // A Linux reader (an ELF program) names its book for Linux; the Windows book beside it
  // of the same name is another file and stays.
  write_file(in.file("books.ini"), "\177ELF" + reader.substr(4));
  r = write_ebook(request(" 书 ", {{"b", pdf("b.pdf", b)}}));
  ASSERT_TRUE(r.ok) << message(r.failure);
  EXPECT_EQ(r.output_path, out.file(" 书 .run"));
  EXPECT_EQ(listing(out.path()), " 书 .exe  书 .run ab.exe");
}

TEST_F(Build, ARebuildReplacesTheEarlierBookAndAFailedOneKeepsIt) {
  ASSERT_TRUE(write_ebook(request("ab", {{"a", pdf("a.pdf", "first")}})).ok);
  ASSERT_TRUE(write_ebook(request("ab", {{"a", pdf("a.pdf", "second")}})).ok);
  const std::string second = read_file(out.file("ab.exe"));
  EXPECT_EQ(second.substr(kPayloadOffset, 6), "second");
  EXPECT_EQ(listing(out.path()), "ab.exe");

  // Fails late, after the working file holds the reader and a PDF.
  auto req = request("ab", {{"a", pdf("a.pdf", "third")}, {"b", pdf("b.pdf", "b")}});
  req.progress = [&](std::uint64_t done, std::uint64_t) {
    if (done == 5) std::ofstream(fs_path(in.file("b.pdf")), std::ios::app) << "grown";
  };
  expect_clean_failure(req, Step::copy_pdf, Cause::size_changed, "在生成期间被改动");
  EXPECT_EQ(read_file(out.file("ab.exe")), second);

  // Stopped on request, at any piece: the same.
  std::atomic<bool> stop{false};
  req = request("ab", {{"a", pdf("a.pdf", pattern_bytes(3u << 20, 6))}});
  req.cancel = &stop;
  req.progress = [&](std::uint64_t done, std::uint64_t) { stop = done > 0; };
  expect_clean_failure(req, Step::copy_pdf, Cause::cancelled, "已停止");
  EXPECT_EQ(read_file(out.file("ab.exe")), second);

  // Rebuilt from itself: its chapter and a new PDF, the earlier book the source until the
  // new one replaces it. A chapter's book changed after it was read stops the build.
  Input chapters = read_input(out.file("ab.exe"), PdfNames::pattern);
  ASSERT_EQ(chapters.kind, Input::Kind::book);
  chapters.entries.push_back({"c", pdf("c.pdf", "added")});
  ASSERT_TRUE(write_ebook(request("ab", chapters.entries)).ok);
  EXPECT_EQ(read_book(out.file("ab.exe")).book->entries,
            (std::vector<IndexEntry>{{"a", 590000, 6}, {"c", 590006, 5}}));
  EXPECT_EQ(read_file(out.file("ab.exe")).substr(kPayloadOffset, 11), "secondadded");
  // Changed as it was read, here one title's letter: the same size, another index.
  chapters = read_input(out.file("ab.exe"), PdfNames::pattern);
  std::string changed = read_file(out.file("ab.exe"));
  changed[changed.rfind("c\xA1\xE1")] = 'C';
  write_file(out.file("ab.exe"), changed);
  expect_clean_failure(request("ab", chapters.entries), Step::index, Cause::book_changed,
                       "ab.exe”在加入列表之后被移动、改动或损坏了");
  EXPECT_EQ(read_file(out.file("ab.exe")), changed);

  // The earlier book taken away meanwhile: the new one is made all the same.
  req = request("ab", {{"a", pdf("a.pdf", "fourth")}});
  req.progress = [&](std::uint64_t, std::uint64_t) {
    platform::Error ignored;
    platform::delete_file(out.file("ab.exe"), ignored);
  };
  ASSERT_TRUE(write_ebook(req).ok);
  EXPECT_EQ(read_file(out.file("ab.exe")).substr(kPayloadOffset, 6), "fourth");
}

// One row per way a build can be refused before it writes: each names its cause.
TEST_F(Build, RefusedInputsLeaveTheFolderAsItWas) {
  const std::string a = pdf("a.pdf", "a"), gone = in.file("gone.pdf"), folder = in.file("f.pdf");
  std::filesystem::create_directory(fs_path(folder));
  const std::tuple<std::string, std::vector<booklist::Entry>, Step, Cause, std::string> rows[] = {
      {" \u3000 ", {{"a", a}}, Step::check, Cause::need_name, "请首先输入书名"},
      {"ab", {}, Step::check, Cause::no_files, "请首先添加文件"},
      {"ab", std::vector<booklist::Entry>(kMaxEntries + 1, {"a", a}), Step::check,
       Cause::too_many_files, "32767"},
      {"a/b?", {{"a", a}}, Step::check, Cause::invalid_name, "不能含有这些字符：/ ?"},
      {"a\u202Eexe.txt", {{"a", a}}, Step::check, Cause::invalid_name, "U+202E"},
      {"a\u0085", {{"a", a}}, Step::check, Cause::invalid_name, "U+0085"},
      {"nul .pdf", {{"a", a}}, Step::check, Cause::invalid_name, "设备名"},
      {"..", {{"a", a}}, Step::check, Cause::invalid_name, "不能是“.”或“..”"},
      {std::string(252, 'a'), {{"a", a}}, Step::check, Cause::invalid_name, "太长"},
      {"ab", {{"a", a}, {"m", gone}}, Step::index, Cause::missing, "找不到 PDF 文件"},
      {"ab", {{"e", pdf("e.pdf", "")}}, Step::index, Cause::empty, "是空的（0 字节）"},
      {"ab", {{"f", folder}}, Step::index, Cause::not_ordinary, "不是普通文件"},
  };
  for (const auto& [name, entries, step, cause, said] : rows) {
    expect_clean_failure(request(name, entries), step, cause, said);
  }
  for (const auto& [bytes, cause, said] :
       {std::tuple{std::string(), Cause::empty, "阅读器文件"},
        std::tuple{std::string(kMaxReaderSize + 1, 'S'), Cause::reader_too_large, "589999"}}) {
    write_file(in.file("books.ini"), bytes);
    expect_clean_failure(request("ab", {{"a", a}}), Step::read_reader, cause, said);
  }
  std::filesystem::remove(fs_path(in.file("books.ini")));
  expect_clean_failure(request("ab", {{"a", a}}), Step::read_reader, Cause::missing,
                       "请把 books.ini 放回");
  EXPECT_FALSE(std::filesystem::exists(fs_path(in.file("books.ini"))));  // never created
  // The reader asked back is the one missing, whichever system's it is.
  auto other = request("ab", {{"a", a}});
  other.reader_file = in.file("books-windows.ini");
  expect_clean_failure(other, Step::read_reader, Cause::missing, "请把 books-windows.ini 放回");
  EXPECT_EQ(book_name_problem(std::string(251, 'a')), "");
  EXPECT_EQ(book_name_problem("CONSOLE"), "");
}

// What stands at the names a build writes is never touched, unless this program left it.
TEST_F(Build, FilesInTheWayAreNeverTouched) {
  const auto req = request("ab", {{"a", pdf("a.pdf", "a")}});
  for (const auto& [name, step, cause] :
       {std::tuple{"ab.exe", Step::clean_up, Cause::not_an_ebook},
        {"clcboosk.txt", Step::write_index, Cause::file_in_the_way},
        {"ab.txt", Step::open_output, Cause::file_in_the_way}}) {
    SCOPED_TRACE(name);
    // Longer than the reader, so only its bytes tell it from a working file of ours.
    const std::string mine = "the user's own file" + pattern_bytes(5000, 9);
    write_file(out.file(name), mine);
    expect_clean_failure(req, step, cause, name);
    EXPECT_EQ(read_file(out.file(name)), mine);
    std::filesystem::remove(fs_path(out.file(name)));
  }
#ifndef _WIN32
  // A pipe or a dangling link at the book's name is no e-book, and never waited on.
  for (int kind : {0, 1}) {
    SCOPED_TRACE(kind == 0 ? "a pipe" : "a dangling link");
    if (kind == 0) mkfifo(out.file("ab.exe").c_str(), 0644);
    if (kind == 1)
      std::filesystem::create_symlink(fs_path(in.file("nowhere")), fs_path(out.file("ab.exe")));
    expect_clean_failure(req, Step::clean_up, Cause::not_an_ebook, "不是电子书");
    std::filesystem::remove(fs_path(out.file("ab.exe")));
  }
  EXPECT_FALSE(std::filesystem::exists(fs_path(in.file("nowhere"))));
#endif

  // A working file an interrupted build left starts with this very reader, and a
  // temporary index file holds an index block: they are ours, and replaced.
  write_file(out.file("ab.txt"), reader + "half a book");
  write_file(out.file("clcboosk.txt"),
             testing_support::cp936(index_text("旧", {{"x", 590000, 5}})));
  ASSERT_TRUE(write_ebook(req).ok);
  EXPECT_EQ(listing(out.path()), "ab.exe");
}

TEST_F(Build, SizesStayWithinTheFormat) {
  // PDFs that shrink before their copy or grow during it.
  const std::string a = pdf("a.pdf", pattern_bytes(3000, 7));
  auto req = request("ab", {{"a", a}, {"b", pdf("b.pdf", "b")}});
  req.progress = [&](std::uint64_t done, std::uint64_t) {
    if (done == 0) std::filesystem::resize_file(fs_path(a), 100);
  };
  expect_clean_failure(req, Step::copy_pdf, Cause::size_changed, "a.pdf");

  // Sparse files: only their sizes matter, nothing is copied before the limit is checked.
  // One byte too many: 589,999 + L + N + 4 = 2^31, with N the 27-byte index. The index
  // pushes it over, so it is the book that is too large, not the PDF.
  const std::uint64_t length = kMaxContainerSize - kPayloadOffset - 27 - 4 + 1;
  std::filesystem::resize_file(fs_path(a), length);
  expect_clean_failure(request("ab", {{"x", a}}), Step::index, Cause::too_large,
                       "由于文件太大，无法生成电子书！");
  // Many entries of the same huge file: the running sum stops before it could wrap.
  std::filesystem::resize_file(fs_path(a), kMaxContainerSize);
  expect_clean_failure(request("ab", std::vector<booklist::Entry>(40, {"x", a})), Step::index,
                       Cause::too_large);
}

// Every file-system call of a build, and of taking PDFs out of a book, fails once in
// turn, as a user's disk could fail: nothing is ever lost or left behind, every file is
// closed again, and the message names the file that failed.
// Runs `attempt` with the 1st, 2nd, 3rd … call failing, until a run meets no armed call;
// `check` judges each run, told the file the failed call was about. Returns how many
// calls could fail.
int each_call_fails(Fault fault, const std::function<bool()>& attempt,
                    const std::function<void(bool ok, const std::string& file)>& check) {
  for (int n = 1;; ++n) {
    const long descriptors = open_descriptors();
    platform::faults::arm(static_cast<std::uint64_t>(n), fault);
    const bool ok = attempt();
    const bool fired = platform::faults::fired();
    const std::string file = platform::faults::fired_path();
    platform::faults::disarm();
    EXPECT_EQ(open_descriptors(), descriptors) << "call " << n;
    check(ok, file);
    if (!fired) return n - 1;
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "with call " << n << " failing";
      return n;
    }
  }
}

TEST(Faults, NoFailedCallLosesABookOrLeavesAFile) {
  for (const auto& [fault, failing] : {std::pair{Fault::disk_full, "a full disk"},
                                       {Fault::io, "an I/O error"},
                                       {Fault::no_permission, "no permission"},
                                       {Fault::interrupted, "an interrupted call"}}) {
    for (bool rebuild : {false, true}) {
      SCOPED_TRACE(std::string(rebuild ? "rebuild" : "first build") + " with " + failing);
      TempDir in, out;
      write_file(in.file("books.ini"), "reader");
      write_file(in.file("a.pdf"), pattern_bytes(3000, 1));
      write_file(in.file("b.pdf"), pattern_bytes(5, 2));
      builder::BuildRequest request{"书",       {{"a", in.file("a.pdf")}, {"b", in.file("b.pdf")}},
                                    out.path(), in.file("books.ini"),
                                    {},         nullptr};
      ASSERT_TRUE(builder::write_ebook(request).ok);
      const std::string book = read_file(out.file("书.exe"));
      // The new book takes the chapters of an e-book and a PDF: of the earlier book
      // itself when rebuilt, of a copy elsewhere otherwise.
      write_file(in.file("b.pdf"), pattern_bytes(7, 3));
      write_file(in.file("旧.exe"), book);
      request.entries =
          read_input(rebuild ? out.file("书.exe") : in.file("旧.exe"), PdfNames::pattern).entries;
      request.entries.push_back({"b", in.file("b.pdf")});
      if (!rebuild) {
        platform::Error ignored;
        platform::delete_file(out.file("书.exe"), ignored);
      }
      const std::string before = listing(out.path());
      builder::BuildResult result;
      const int calls = each_call_fails(
          fault, [&] { return (result = builder::write_ebook(request)).ok; },
          [&](bool ok, const std::string& file) {
            if (ok) {
              // Built in spite of it (the failed call did not matter): whole and right.
              EXPECT_EQ(listing(out.path()), "书.exe");
              auto back = container::read_book(out.file("书.exe"));
              EXPECT_EQ(back.error, container::ReadError::none);
              EXPECT_EQ(back.book->entries.size(), 3u);
              EXPECT_EQ(back.book->entries.back().length, 7u);
              // As it was for the next run.
              platform::Error ignored;
              platform::delete_file(out.file("书.exe"), ignored);
              if (rebuild) write_file(out.file("书.exe"), book);
            } else {
              EXPECT_EQ(listing(out.path()), before);
              if (rebuild) {
                EXPECT_EQ(read_file(out.file("书.exe")), book);
              }
              const std::string said = builder::message(result.failure);
              // The file, or for a folder that refuses new files, the folder.
              const bool names_it = said.find(platform::quoted(file)) != std::string::npos ||
                                    said.find(platform::quoted(out.path())) != std::string::npos;
              EXPECT_TRUE(names_it) << said << " (" << file << ")";
            }
          });
      EXPECT_GT(calls, 30);
    }
  }
}

TEST(Faults, TakingPdfsOutLeavesNoPartOfOne) {
  TempDir dir, out;
  write_file(dir.file("book.exe"),
             testing_support::forge_book("书", {{"a", pattern_bytes(3u << 20, 1)}, {"b", "b"}}));
  write_file(out.file("mine.pdf"), "the user's");
  platform::Error err;
  auto file = platform::File::open_read(dir.file("book.exe"), err);
  auto info = container::read_book(*file).book.value();
  std::vector<std::string> written;
  container::ExtractFailure failure;
  const int calls = each_call_fails(
      Fault::io,
      [&] { return !(failure = container::extract_all(*file, info, out.path(), written)); },
      [&](bool ok, const std::string& failed_file) {
        if (ok) {
          EXPECT_EQ(listing(out.path()), "001-a.pdf 002-b.pdf mine.pdf");
          for (const auto& made : written) platform::delete_file(made, err);
        } else {
          EXPECT_EQ(listing(out.path()), "mine.pdf");
          EXPECT_NE(container::describe(failure).find(platform::quoted(failed_file)),
                    std::string::npos)
              << container::describe(failure);
        }
        EXPECT_EQ(read_file(out.file("mine.pdf")), "the user's");
      });
  EXPECT_GT(calls, 5);
}

}  // namespace
}  // namespace builder
