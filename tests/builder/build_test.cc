// Whole builds into a scratch folder: the bytes they write, and the failures that must
// leave the folder as it was.
#include "builder/build.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "builder/container.h"
#include "support/temp_dir.h"

namespace builder {
namespace {

using testing_support::listing;
using testing_support::pattern_bytes;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

std::filesystem::path u8(const std::string& path) {
  return std::filesystem::u8path(path);
}

// How many files this process holds open; -1 where the system cannot say.
long open_descriptors() {
#ifdef __linux__
  std::error_code ec;
  auto it = std::filesystem::directory_iterator("/proc/self/fd", ec);
  if (ec) return -1;
  return static_cast<long>(std::distance(it, std::filesystem::directory_iterator()));
#else
  return -1;
#endif
}

void append_to(const std::string& path, const std::string& bytes) {
  std::ofstream(u8(path), std::ios::binary | std::ios::app) << bytes;
}

class Build : public ::testing::Test {
 protected:
  TempDir in;   // the stub and the PDFs
  TempDir out;  // where the e-book goes, and nothing else
  std::string stub = pattern_bytes(1000, 1);

  void SetUp() override { write_file(in.file("books.ini"), stub); }

  std::string pdf(const std::string& name, const std::string& bytes) {
    write_file(in.file(name), bytes);
    return in.file(name);
  }

  BuildRequest request(const std::string& name, std::vector<booklist::Entry> entries) {
    return {name, std::move(entries), out.path(), in.file("books.ini"), {}};
  }

  // The build fails where it should, the output folder is exactly as it was, and every
  // file the build opened is closed again.
  void expect_clean_failure(const BuildRequest& req, Step step, Cause cause) {
    const std::string before = listing(out.path());
    const long descriptors = open_descriptors();
    BuildResult r = write_ebook(req);
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failure.step, step) << describe(r.failure);
    EXPECT_EQ(r.failure.cause, cause) << describe(r.failure);
    EXPECT_EQ(listing(out.path()), before);
  }
};

TEST_F(Build, ExampleBookByteForByte) {
  const std::string body = pattern_bytes(1000, 2);
  BuildResult r = write_ebook(request("ab", {{"x", pdf("x.pdf", body)}}));
  ASSERT_TRUE(r.ok) << describe(r.failure);
  EXPECT_EQ(r.output_path, out.file("ab.exe"));
  EXPECT_EQ(listing(out.path()), "ab.exe");

  const std::string book = read_file(r.output_path);
  ASSERT_EQ(book.size(), 591024u);
  EXPECT_EQ(book.substr(0, 1000), stub);
  EXPECT_EQ(book.substr(1000, kPayloadOffset - 1000), std::string(kPayloadOffset - 1000, '\0'));
  EXPECT_EQ(book.substr(kPayloadOffset, 1000), body);
  EXPECT_EQ(book.substr(590999), std::string("ab\r\nx\xA1\xE1"
                                             "590000\xA1\xE2"
                                             "1000\r\n\x15\0\0\0",
                                             25));
#ifndef _WIN32
  auto perms = std::filesystem::status(u8(r.output_path)).permissions();
  EXPECT_NE(perms & std::filesystem::perms::owner_exec, std::filesystem::perms::none);
#endif
}

TEST_F(Build, FullStubAndTwoPdfsBackToBack) {
  stub = pattern_bytes(kMaxStubSize, 3);
  write_file(in.file("books.ini"), stub);
  const std::string a = pattern_bytes(10, 4), b = pattern_bytes(20, 5);
  BuildResult r = write_ebook(request("ab", {{"a", pdf("a.pdf", a)}, {"b", pdf("b.pdf", b)}}));
  ASSERT_TRUE(r.ok) << describe(r.failure);

  const std::string book = read_file(r.output_path);
  const std::string index =
      "ab\r\na\xA1\xE1"
      "590000\xA1\xE2"
      "10\r\nb\xA1\xE1"
      "590010\xA1\xE2"
      "20\r\n";
  EXPECT_EQ(book, stub + a + b + index + trailer_bytes(static_cast<std::uint32_t>(index.size())));
  EXPECT_EQ(book.find(index), 590029u);
}

TEST_F(Build, ChineseNameAndTitlesAreCodePage936AndReadBack) {
  BuildResult r = write_ebook(request(" 书 ", {{"第一章", pdf("1.pdf", "%PDF")}}));
  ASSERT_TRUE(r.ok) << describe(r.failure);
  EXPECT_EQ(listing(out.path()), " 书 .exe");  // the name as typed, spaces and all
  const std::string book = read_file(r.output_path);
  const std::string index =
      " \xCA\xE9 \r\n\xB5\xDA\xD2\xBB\xD5\xC2\xA1\xE1"
      "590000\xA1\xE2"
      "4\r\n";
  EXPECT_EQ(book.substr(kPayloadOffset + 4),
            index + trailer_bytes(static_cast<std::uint32_t>(index.size())));

  ReadResult back = read_book(r.output_path);
  ASSERT_EQ(back.error, ReadError::none) << describe(back);
  EXPECT_EQ(back.book->name, " 书 ");
  EXPECT_EQ(back.book->entries, (std::vector<IndexEntry>{{"第一章", 590000, 4}}));
}

TEST_F(Build, LineBreaksInATitleCannotForgeEntries) {
  auto req = request("ab", {{"x\r\ny♂590000♀1", pdf("x.pdf", "12345")}});
  BuildResult r = write_ebook(req);
  ASSERT_TRUE(r.ok) << describe(r.failure);
  ReadResult back = read_book(r.output_path);
  ASSERT_EQ(back.error, ReadError::none) << describe(back);
  EXPECT_EQ(back.book->entries, (std::vector<IndexEntry>{{"x??y♂590000♀1", 590000, 5}}));
}

TEST_F(Build, SameInputsGiveTheSameBytes) {
  TempDir other;
  auto req = request("ab", {{"a", pdf("a.pdf", pattern_bytes(5000, 6))}, {"b", pdf("b.pdf", "b")}});
  ASSERT_TRUE(write_ebook(req).ok);
  req.out_dir = other.path();
  ASSERT_TRUE(write_ebook(req).ok);
  EXPECT_EQ(read_file(out.file("ab.exe")), read_file(other.file("ab.exe")));
}

TEST_F(Build, RebuildReplacesTheEarlierBookAndAFailedOneKeepsIt) {
  ASSERT_TRUE(write_ebook(request("ab", {{"a", pdf("a.pdf", "first")}})).ok);
  ASSERT_TRUE(write_ebook(request("ab", {{"a", pdf("a.pdf", "second")}})).ok);
  const std::string second = read_file(out.file("ab.exe"));
  EXPECT_EQ(second.substr(kPayloadOffset, 6), "second");
  EXPECT_EQ(listing(out.path()), "ab.exe");

  // Fails late, after the working file holds the stub and a PDF.
  auto req = request("ab", {{"a", pdf("a.pdf", "third")}, {"b", pdf("b.pdf", "b")}});
  req.progress = [&](std::uint64_t done, std::uint64_t) {
    if (done == 5) append_to(in.file("b.pdf"), "grown");
  };
  expect_clean_failure(req, Step::copy_pdf, Cause::size_changed);
  EXPECT_EQ(read_file(out.file("ab.exe")), second);
}

TEST_F(Build, InputFailuresLeaveTheFolderAsItWas) {
  const std::string a = pdf("a.pdf", "a");
  std::filesystem::create_directory(u8(in.file("folder.pdf")));
  expect_clean_failure(request("ab", {{"a", a}, {"m", in.file("gone.pdf")}}), Step::index,
                       Cause::missing);
  expect_clean_failure(request("ab", {{"a", a}, {"e", pdf("e.pdf", "")}}), Step::index,
                       Cause::empty);
  expect_clean_failure(request("ab", {{"f", in.file("folder.pdf")}}), Step::index, Cause::missing);
  expect_clean_failure(request("ab", {}), Step::check_name, Cause::no_files);
  // One more entry than a reader accepts: the book would not open, so it is not written.
  expect_clean_failure(request("ab", std::vector<booklist::Entry>(kMaxEntries + 1, {"a", a})),
                       Step::check_name, Cause::too_many_files);

  write_file(in.file("books.ini"), "");
  expect_clean_failure(request("ab", {{"a", a}}), Step::read_stub, Cause::empty);
  write_file(in.file("books.ini"), std::string(kMaxStubSize + 1, 'S'));
  expect_clean_failure(request("ab", {{"a", a}}), Step::read_stub, Cause::stub_too_large);
  std::filesystem::remove(u8(in.file("books.ini")));
  expect_clean_failure(request("ab", {{"a", a}}), Step::read_stub, Cause::missing);
  EXPECT_FALSE(std::filesystem::exists(u8(in.file("books.ini"))));  // never created
}

TEST_F(Build, FilesInTheWayAreNeverTouched) {
  const auto req = request("ab", {{"a", pdf("a.pdf", "a")}});
  const struct {
    const char* name;
    Step step;
    Cause cause;
  } cases[] = {{"ab.exe", Step::clean_up, Cause::not_an_ebook},
               {"clcboosk.txt", Step::write_index, Cause::file_in_the_way},
               {"ab.txt", Step::open_output, Cause::file_in_the_way}};
  for (const auto& c : cases) {
    write_file(out.file(c.name), "the user's own file");
    expect_clean_failure(req, c.step, c.cause);
    EXPECT_EQ(read_file(out.file(c.name)), "the user's own file");
    std::filesystem::remove(u8(out.file(c.name)));
  }
#ifndef _WIN32
  // A link planted at the working file's name is neither followed nor removed.
  write_file(in.file("target"), "target");
  std::filesystem::create_symlink(u8(in.file("target")), u8(out.file("ab.txt")));
  expect_clean_failure(req, Step::open_output, Cause::file_in_the_way);
  EXPECT_EQ(read_file(in.file("target")), "target");
  EXPECT_TRUE(std::filesystem::is_symlink(u8(out.file("ab.txt"))));
#endif
}

TEST_F(Build, AFileThatAppearsAtTheFinalNameStopsTheRename) {
  auto req = request("ab", {{"a", pdf("a.pdf", "a")}});
  req.progress = [&](std::uint64_t done, std::uint64_t) {
    if (done == 0) write_file(out.file("ab.exe"), "late");
  };
  BuildResult r = write_ebook(req);
  EXPECT_EQ(r.failure.step, Step::rename);
  EXPECT_EQ(r.failure.cause, Cause::file_in_the_way);
  EXPECT_EQ(listing(out.path()), "ab.exe");
  EXPECT_EQ(read_file(out.file("ab.exe")), "late");
}

TEST_F(Build, PdfsThatChangeWhileCopiedAreCaught) {
  const std::string a = pdf("a.pdf", pattern_bytes(3000, 7));
  const std::string b = pdf("b.pdf", "b");
  auto req = request("ab", {{"a", a}, {"b", b}});
  // Shrinks before its copy, grows during it.
  req.progress = [&](std::uint64_t done, std::uint64_t) {
    if (done == 0) std::filesystem::resize_file(u8(a), 100);
  };
  expect_clean_failure(req, Step::copy_pdf, Cause::size_changed);
  write_file(a, pattern_bytes(3000, 7));
  req.progress = [&](std::uint64_t done, std::uint64_t) {
    if (done > 0 && done <= 3000) append_to(a, "more");
  };
  expect_clean_failure(req, Step::copy_pdf, Cause::size_changed);
}

TEST_F(Build, ContainerMustStayWithinTwoGigabytes) {
  // Sparse files: only their sizes matter, nothing is copied before the limit is checked.
  const std::string big = pdf("big.pdf", "");
  // One byte too many: 589,999 + L + N + 4 = 2^31, with N the 27-byte index.
  const std::uint64_t length = kMaxContainerSize - kPayloadOffset - 27 - 4 + 1;
  ASSERT_EQ(index_text("ab", {{"x", kPayloadPosition, length}}).size(),
            27u + 2);  // signs: 3 bytes in UTF-8
  std::filesystem::resize_file(u8(big), length);
  expect_clean_failure(request("ab", {{"x", big}}), Step::index, Cause::too_large);

  // Many entries of the same huge file: the running sum stops before it could wrap.
  std::filesystem::resize_file(u8(big), kMaxContainerSize);
  std::vector<booklist::Entry> many(40, {"x", big});
  expect_clean_failure(request("ab", many), Step::index, Cause::too_large);
}

TEST(BookName, FileNameRules) {
  for (const char* name :
       {"",      ".",        "..",   "a/b",  "a\\b",  "a:b",    "a*b",      "a?b", "a<b",
        "a>b",   "a|b",      "a\"b", "a\tb", "a\x7f", "\xff",   "CON",      "con", "Con.txt",
        "NUL  ", "nul .pdf", "COM1", "lpt9", "COM¹",  "CONIN$", "conout$.x"}) {
    EXPECT_FALSE(is_valid_book_name(name)) << name;
  }
  EXPECT_FALSE(is_valid_book_name(std::string(252, 'a')));
  EXPECT_TRUE(is_valid_book_name(std::string(251, 'a')));
  for (const char* name :
       {"ab", " ab ", "书名", "a.b", "...a", "CONSOLE", "COM0", "COM10", " CON", "con_x", "LPT"}) {
    EXPECT_TRUE(is_valid_book_name(name)) << name;
  }
}

TEST_F(Build, AnInvalidNameCreatesNothing) {
  expect_clean_failure(request("a*", {{"a", pdf("a.pdf", "a")}}), Step::check_name,
                       Cause::invalid_name);
  EXPECT_EQ(listing(out.path()), "");
}

TEST(Describe, NamesStepFileAndCause) {
  Failure missing{Step::index, Cause::missing, "/a/b.pdf", {}};
  EXPECT_EQ(describe(missing), "无法读取 PDF 文件“/a/b.pdf”：文件不存在或不是普通文件");
  Failure refused{Step::open_output, Cause::system, "/a/ab.txt", {13, "Permission denied"}};
  EXPECT_EQ(describe(refused), "无法创建工作文件“/a/ab.txt”：Permission denied");
  Failure in_the_way{Step::rename, Cause::file_in_the_way, "/a/ab.exe", {17, "File exists"}};
  EXPECT_EQ(describe(in_the_way),
            "无法把工作文件改名为“/a/ab.exe”：该位置已有同名文件，未作任何改动（File exists）");
}

}  // namespace
}  // namespace builder
