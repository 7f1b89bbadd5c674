// The container's bytes and its reader, fed real, damaged and forged files, and taking
// PDFs out of it: names a hostile title cannot steer, nothing replaced, and a failure
// that leaves the folder as it was.
#include "container/extract.h"
#include "container/format.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace container {
namespace {

using testing_support::cp936;
using testing_support::forge_book;
using testing_support::listing;
using testing_support::pattern_bytes;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

// The example book: "ab", one PDF of 1000 bytes titled "x".
const std::string kExampleIndex(
    "ab\r\nx\xA1\xE1"
    "590000\xA1\xE2"
    "1000\r\n");

ReadResult read_bytes(const TempDir& dir, const std::string& bytes) {
  write_file(dir.file("book.exe"), bytes);
  return read_book(dir.file("book.exe"));
}

TEST(Index, ExampleBytesAndWhatTheReaderMakesOfThem) {
  EXPECT_EQ(cp936(index_text("ab", {{"x", 590000, 1000}})), kExampleIndex);
  // A line break in a name or title can never add or split a line.
  EXPECT_EQ(index_text("a\r\nb", {{"x\ny", 590000, 1}}), "a??b\r\nx?y♂590000♀1\r\n");
  for (const std::string& block : {kExampleIndex, kExampleIndex + "\r\n"}) {
    ReadResult r = parse_index(block, 590999, 590999 + block.size() + 4);
    ASSERT_EQ(r.error, ReadError::none) << describe(r);
    EXPECT_EQ(r.book->name, "ab");
    EXPECT_EQ(r.book->entries, (std::vector<IndexEntry>{{"x", 590000, 1000}}));
  }
  // The numbers hold no signs, so a title may hold both.
  const std::string signs = cp936("书\r\n♀a♂b♀♂590000♀5\r\n");
  EXPECT_EQ(parse_index(signs, 590004, 590004 + signs.size() + 4).book->entries[0].title, "♀a♂b♀");
}

// Each kind of damage has its own error, and the line it is on.
TEST(Index, DamagedBlocks) {
  // UTF-8 text, the error and its line; the index is taken to start at 589,999 + 1000.
  const std::tuple<const char*, ReadError, std::size_t> cases[] = {
      {"ab", ReadError::no_name_line, 1},
      {"\r\nx♂590000♀1000\r\n", ReadError::no_name_line, 1},
      {"a\nb\r\nx♂590000♀1000\r\n", ReadError::bad_line, 1},
      {"ab\r\n\r\n", ReadError::no_entries, 0},
      {"ab\r\nx♂590000♀1000", ReadError::bad_line, 2},
      {"ab\r\nx♂590000♀1000\r\njunk", ReadError::bad_line, 3},
      {"ab\r\nx\r♂590000♀1000\r\n", ReadError::bad_line, 2},
      {"ab\r\nx590000♀1000\r\n", ReadError::bad_line, 2},
      {"ab\r\nx♀1000♂590000\r\n", ReadError::bad_line, 2},
      {"ab\r\nx♂+590000♀1000\r\n", ReadError::bad_line, 2},
      {"ab\r\nx♂0590000♀1000\r\n", ReadError::bad_line, 2},
      {"ab\r\nx♂590000♀1e3\r\n", ReadError::bad_line, 2},
      {"ab\r\nx♂590000♀2147483648\r\n", ReadError::number_overflow, 2},
      {"ab\r\nx♂99999999999999999999999999♀1000\r\n", ReadError::number_overflow, 2},
      {"ab\r\nx♂589999♀1001\r\n", ReadError::entry_outside, 2},
      {"ab\r\nx♂590000♀1001\r\n", ReadError::entry_outside, 2},
      {"ab\r\nx♂590000♀999\r\n", ReadError::not_contiguous, 2},
      {"ab\r\nx♂590000♀0\r\ny♂590000♀1000\r\n", ReadError::not_contiguous, 2},
      {"ab\r\nx♂590000♀500\r\ny♂590400♀600\r\n", ReadError::not_contiguous, 3},
      {"ab\r\ny♂590500♀500\r\nx♂590000♀500\r\n", ReadError::not_contiguous, 2},
  };
  for (const auto& [text, error, line] : cases) {
    const std::string block = cp936(text);
    ReadResult r = parse_index(block, 590999, 590999 + block.size() + 4);
    EXPECT_EQ(std::tuple(r.error, r.line, r.book.has_value()), std::tuple(error, line, false))
        << text;
  }
  // Bytes that are no code page 936 text: 0xFF, and a lead byte before CR.
  for (const auto& [name, block] :
       {std::pair{"0xFF", "ab\r\nx\xFF\xA1\xE1"}, std::pair{"lead byte before CR", "ab\x81\r\n"}}) {
    EXPECT_EQ(parse_index(block, 590999, 591100).error, ReadError::index_not_cp936) << name;
  }
  // No book list holds more than kMaxEntries: a longer index is no book of ours, and is
  // refused instead of filling memory.
  std::string over = "ab\r\n";
  for (int i = 0; i <= kMaxEntries; ++i) {
    over += "t\xA1\xE1" + std::to_string(kPayloadPosition + i) +
            "\xA1\xE2"
            "1\r\n";
  }
  ReadResult r = parse_index(over, kPayloadOffset + kMaxEntries + 1,
                             kPayloadOffset + kMaxEntries + 1 + over.size() + kTrailerSize);
  EXPECT_EQ(r.error, ReadError::too_many_entries);
  EXPECT_EQ(r.line, static_cast<std::size_t>(kMaxEntries) + 2);
}

TEST(ReadBook, DamagedTrailersAndFilesOfTheWrongSize) {
  TempDir dir;
  const std::string good = forge_book("ab", {{"x", pattern_bytes(1000, 7)}});
  ASSERT_EQ(read_bytes(dir, good).error, ReadError::none);
  auto with_trailer = [&](std::string trailer) {
    return good.substr(0, good.size() - 4) + trailer;
  };
  for (const auto& [name, trailer] : {std::pair{"zero", std::string(4, '\0')},
                                      {"all ones", std::string("\xFF\xFF\xFF\xFF")},
                                      {"top bit", std::string("\x00\x00\x00\x80", 4)},
                                      {"into the reader", trailer_bytes(1026)}}) {
    EXPECT_EQ(read_bytes(dir, with_trailer(trailer)).error, ReadError::bad_trailer) << name;
  }
  EXPECT_EQ(read_bytes(dir, good.substr(0, kPayloadOffset + 4)).error, ReadError::too_small);
  // A signature table that would pass the end of the file.
  const std::string head = testing_support::minimal_pe({kPayloadOffset + 1000, 4096});
  EXPECT_EQ(read_bytes(dir, head + good.substr(head.size())).error, ReadError::bad_signature);
  EXPECT_EQ(read_book(dir.file("nothing.exe")).error, ReadError::io);

  // Sparse files: an index past the limit is refused unread, and a file longer than any
  // position can name is no e-book, whatever its index says.
  const auto path = testing_support::fs_path(dir.file("big.exe"));
  write_file(dir.file("big.exe"), "x");
  for (const auto& [name, size, trailer, error] :
       {std::tuple{"index too large", kMaxIndexSize + (8u << 20),
                   static_cast<std::uint32_t>(kMaxIndexSize + 1), ReadError::index_too_large},
        std::tuple{"file too large", kMaxContainerSize + 1, 21u, ReadError::too_large}}) {
    SCOPED_TRACE(name);
    std::filesystem::resize_file(path, size);
    {
      std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
      file.seekp(-4, std::ios::end);
      file << trailer_bytes(trailer);
    }
    EXPECT_EQ(read_book(dir.file("big.exe")).error, error);
  }
}

// Every cut of a real container through its payload, index and trailer, and junk behind
// one, gives an error and no crash. Shorter cuts all end in the same size test.
TEST(ReadBook, TruncatedOrExtendedContainersNeverPass) {
  TempDir dir;
  const std::string path = dir.file("book.exe");
  const std::string good = forge_book("ab", {{"x", pattern_bytes(1000, 7)}});
  write_file(path, good);
  for (std::size_t length = good.size() - 1; length + 1 > kPayloadOffset - 1; --length) {
    std::filesystem::resize_file(testing_support::fs_path(path), length);
    ASSERT_NE(read_book(path).error, ReadError::none) << "cut at " << length;
  }
  for (std::string junk : {std::string("\0", 1), std::string("\r\n"), trailer_bytes(21),
                           "\r\n" + kExampleIndex + trailer_bytes(21)}) {
    for (std::size_t n = 1; n <= junk.size(); ++n) {
      ASSERT_NE(read_bytes(dir, good + junk.substr(0, n)).error, ReadError::none)
          << n << " bytes of junk " << junk.size();
    }
  }
}

TEST(ExtractNames, HostileTitlesBecomePlainNamesInsideTheFolder) {
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {
      {"第一章", "001-第一章.pdf"},             {"../../evil", "001-_.._evil.pdf"},
      {"..\\..\\evil", "001-_.._evil.pdf"},     {"C:\\Windows\\x", "001-C__Windows_x.pdf"},
      {"<>:\"|?*", "001-_______.pdf"},         {"..", "001.pdf"},
      {" . . ", "001.pdf"},                   {"  .title. ", "001-title.pdf"},
      {"esc\x1b[2J", "001-esc_[2J.pdf"},       {"bad\xff\xfeutf8", "001-bad__utf8.pdf"},
      {"CON", "001-CON.pdf"},  // the number in front keeps it off every device name
      {"c1\xc2\x9b", "001-c1_.pdf"},          // U+009B, a terminal's escape
      {"txt.\u202Efdp", "001-txt._fdp.pdf"},  // no name that reads backwards
      {"cut\xe4\xb8", "001-cut__.pdf"},        // a character missing its last byte
  };
  // clang-format on
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
