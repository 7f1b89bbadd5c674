// Taking PDFs out of a book: names a hostile title cannot steer, nothing replaced, and a
// failure that leaves the folder as it was.
#include "container/extract.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace container {
namespace {

using testing_support::forge_book;
using testing_support::listing;
using testing_support::pattern_bytes;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

TEST(ExtractNames, HostileTitlesBecomePlainNamesInsideTheFolder) {
  const std::pair<const char*, const char*> cases[] = {
      {"第一章", "001-第一章.pdf"},
      {"../../evil", "001-_.._evil.pdf"},
      {"..\\..\\evil", "001-_.._evil.pdf"},
      {"C:\\Windows\\x", "001-C__Windows_x.pdf"},
      {"<>:\"|?*", "001-_______.pdf"},
      {"CON", "001-CON.pdf"},  // the number in front keeps it off every device name
      {"..", "001.pdf"},
      {" . . ", "001.pdf"},
      {"  .title. ", "001-title.pdf"},
      {"esc\x1b[2J", "001-esc_[2J.pdf"},
      {"c1\xc2\x9b", "001-c1_.pdf"},          // U+009B, a terminal's escape
      {"txt.\u202Efdp", "001-txt._fdp.pdf"},  // no name that reads backwards
      {"bad\xff\xfeutf8", "001-bad__utf8.pdf"},
      {"cut\xe4\xb8", "001-cut__.pdf"},  // a character missing its last byte
  };
  for (const auto& [title, name] : cases) EXPECT_EQ(extract_file_name(1, 1, title), name) << title;
  // Wide enough to sort in book order; long titles cut between characters.
  EXPECT_EQ(extract_file_name(42, 1000, ""), "0042.pdf");
  std::string chinese;
  for (int i = 0; i < 100; ++i) chinese += "中";
  EXPECT_EQ(safe_title("a" + chinese), "a" + chinese.substr(0, 147));
  // One PDF on its own keeps its plain title, but never a device's name.
  EXPECT_EQ(single_file_name("../a:b"), "_a_b.pdf");
  EXPECT_EQ(single_file_name(" .. "), "未命名.pdf");
  for (const char* device : {"CON", "nul", "Com1", "aux.x", "CON ", "COM¹", "conout$"}) {
    EXPECT_EQ(single_file_name(device).front(), '_') << device;
  }
  for (const char* plain : {"CONX", "COM0", "COM10", "LPT", "第CON"}) {
    EXPECT_FALSE(is_device_name(std::string(plain) + ".pdf")) << plain;
  }
}

TEST(Extract, EveryPdfOnceNeverOverATakenNameAndAllOrNothing) {
  TempDir dir, out;
  const std::string a = pattern_bytes(5000, 1), b = pattern_bytes(3, 2);
  write_file(dir.file("book.exe"), forge_book("书", {{"第一章", a}, {"../第二章", b}}));
  platform::Error err;
  auto book_file = platform::File::open_read(dir.file("book.exe"), err);
  ReadResult read = read_book(*book_file);
  ASSERT_TRUE(read.book);

  std::vector<std::string> written;
  ASSERT_FALSE(extract_all(*book_file, *read.book, out.path(), written));
  EXPECT_EQ(listing(out.path()), "001-第一章.pdf 002-_第二章.pdf");
  EXPECT_EQ(read_file(written[0]), a);
  EXPECT_EQ(read_file(written[1]), b);

  // Into the same folder again: refused before anything is written.
  ExtractFailure again = extract_all(*book_file, *read.book, out.path(), written);
  EXPECT_EQ(again.what, ExtractFailure::What::exists);

  // A book cut short inside its second PDF: the first one written is taken back too.
  TempDir other;
  const std::string cut = dir.file("cut.exe");
  write_file(cut, read_file(dir.file("book.exe")).substr(0, kPayloadOffset + 5001));
  auto cut_file = platform::File::open_read(cut, err);
  ExtractFailure failure = extract_all(*cut_file, *read.book, other.path(), written);
  EXPECT_EQ(failure.what, ExtractFailure::What::book_ended);
  EXPECT_EQ(failure.file, cut);
  EXPECT_EQ(listing(other.path()), "");
  EXPECT_TRUE(written.empty());
  EXPECT_EQ(extract_all(*book_file, *read.book, other.file("missing"), written).what,
            ExtractFailure::What::not_a_folder);
}

}  // namespace
}  // namespace container
