// The container's bytes and its reader, fed real and damaged files.
#include "builder/container.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/encoding.h"
#include "support/temp_dir.h"

namespace builder {
namespace {

using testing_support::pattern_bytes;
using testing_support::TempDir;
using testing_support::write_file;

// The example book: "ab", one PDF of 1000 bytes titled "x".
const std::string kExampleIndex(
    "ab\r\nx\xA1\xE1"
    "590000\xA1\xE2"
    "1000\r\n");

// A container laid out by hand, not by the writer: stub, zero gap, PDFs, index, trailer.
std::string hand_made(const std::string& index, std::uint64_t payload) {
  std::string out = "stub";
  out.resize(kPayloadOffset, '\0');
  out += pattern_bytes(payload, 7);
  out += index;
  out += trailer_bytes(static_cast<std::uint32_t>(index.size()));
  return out;
}

ReadResult read_bytes(const TempDir& dir, const std::string& bytes) {
  write_file(dir.file("book.exe"), bytes);
  return read_book(dir.file("book.exe"));
}

TEST(IndexText, ExampleBookIsTwentyOneBytesWithItsTrailer) {
  std::string bytes = platform::utf8_to_cp936(index_text("ab", {{"x", 590000, 1000}}));
  EXPECT_EQ(bytes, kExampleIndex);
  EXPECT_EQ(bytes.size(), 21u);
  EXPECT_EQ(trailer_bytes(21), std::string("\x15\0\0\0", 4));
  EXPECT_EQ(trailer_bytes(0x01020304), "\x04\x03\x02\x01");
}

TEST(IndexText, LineBreaksInNameOrTitleCannotAddLines) {
  std::string text = index_text("a\r\nb", {{"x\ny\rz", 590000, 1}});
  EXPECT_EQ(text, "a??b\r\nx?y?z♂590000♀1\r\n");
}

TEST(ParseIndex, ReadsTheExampleWithOrWithoutAFinalEmptyLine) {
  for (const std::string& block : {kExampleIndex, kExampleIndex + "\r\n"}) {
    ReadResult r = parse_index(block, 590999, 590999 + block.size() + 4);
    ASSERT_EQ(r.error, ReadError::none) << describe(r);
    EXPECT_EQ(r.book->name, "ab");
    EXPECT_EQ(r.book->entries, (std::vector<IndexEntry>{{"x", 590000, 1000}}));
  }
}

TEST(ParseIndex, TitlesMayHoldBothSigns) {
  std::string block = platform::utf8_to_cp936("书\r\n♀a♂b♀♂590000♀5\r\n");
  ReadResult r = parse_index(block, 590004, 590004 + block.size() + 4);
  ASSERT_EQ(r.error, ReadError::none) << describe(r);
  EXPECT_EQ(r.book->name, "书");
  EXPECT_EQ(r.book->entries[0].title, "♀a♂b♀");
}

// Each kind of damage has its own error, and the line it is on.
TEST(ParseIndex, DamagedBlocks) {
  struct Case {
    const char* text;  // UTF-8; the index is taken to start at 589,999 + 1000
    ReadError error;
    std::size_t line;
  };
  const Case cases[] = {
      {"ab", ReadError::no_name_line, 1},
      {"\r\nx♂590000♀1000\r\n", ReadError::no_name_line, 1},
      {"a\nb\r\nx♂590000♀1000\r\n", ReadError::bad_line, 1},
      {"ab\r\n", ReadError::no_entries, 0},
      {"ab\r\n\r\n", ReadError::no_entries, 0},
      {"ab\r\nx♂590000♀1000", ReadError::bad_line, 2},
      {"ab\r\nx♂590000♀1000\r\njunk", ReadError::bad_line, 3},
      {"ab\r\nx\r♂590000♀1000\r\n", ReadError::bad_line, 2},
      {"ab\r\nx590000♀1000\r\n", ReadError::bad_line, 2},
      {"ab\r\nx♂5900001000\r\n", ReadError::bad_line, 2},
      {"ab\r\nx♀1000♂590000\r\n", ReadError::bad_line, 2},
      {"ab\r\nx♂+590000♀1000\r\n", ReadError::bad_line, 2},
      {"ab\r\nx♂590000♀ 1000\r\n", ReadError::bad_line, 2},
      {"ab\r\nx♂♀1000\r\n", ReadError::bad_line, 2},
      {"ab\r\nx♂0590000♀1000\r\n", ReadError::bad_line, 2},
      {"ab\r\nx♂590000♀1e3\r\n", ReadError::bad_line, 2},
      {"ab\r\nx♂590000♀2147483648\r\n", ReadError::number_overflow, 2},
      {"ab\r\nx♂99999999999999999999999999♀1000\r\n", ReadError::number_overflow, 2},
      {"ab\r\nx♂589999♀1001\r\n", ReadError::entry_outside, 2},
      {"ab\r\nx♂590000♀1001\r\n", ReadError::entry_outside, 2},
      {"ab\r\nx♂591000♀1\r\n", ReadError::entry_outside, 2},
      {"ab\r\nx♂590000♀999\r\n", ReadError::not_contiguous, 2},
      {"ab\r\nx♂590001♀999\r\n", ReadError::not_contiguous, 2},
      {"ab\r\nx♂590000♀0\r\ny♂590000♀1000\r\n", ReadError::not_contiguous, 2},
      {"ab\r\nx♂590000♀500\r\ny♂590400♀600\r\n", ReadError::not_contiguous, 3},
      {"ab\r\nx♂590000♀400\r\ny♂590500♀500\r\n", ReadError::not_contiguous, 3},
      {"ab\r\ny♂590500♀500\r\nx♂590000♀500\r\n", ReadError::not_contiguous, 2},
  };
  for (const auto& c : cases) {
    std::string block = platform::utf8_to_cp936(c.text);
    ReadResult r = parse_index(block, 590999, 590999 + block.size() + 4);
    EXPECT_EQ(r.error, c.error) << c.text;
    EXPECT_EQ(r.line, c.line) << c.text;
    EXPECT_FALSE(r.book) << c.text;
  }
  // Bytes that are no code page 936 text: 0xFF, and a lead byte before CR.
  for (std::string block : {"ab\r\nx\xFF\xA1\xE1", "ab\x81\r\n"}) {
    EXPECT_EQ(parse_index(block, 590999, 591100).error, ReadError::index_not_cp936);
  }
}

// A book list holds at most 32,767 PDFs, so a longer index is no book of ours; a reader
// stops there instead of filling memory with millions of entries.
TEST(ParseIndex, RefusesMoreEntriesThanABookListHolds) {
  auto block_of = [](std::size_t count) {
    std::string text = "ab\r\n";
    for (std::size_t i = 0; i < count; ++i) {
      text += "t\xA1\xE1" + std::to_string(kPayloadPosition + i) +
              "\xA1\xE2"
              "1\r\n";
    }
    return text;
  };
  std::string full = block_of(kMaxEntries);
  ReadResult r = parse_index(full, kPayloadOffset + kMaxEntries,
                             kPayloadOffset + kMaxEntries + full.size() + kTrailerSize);
  ASSERT_EQ(r.error, ReadError::none) << describe(r);
  EXPECT_EQ(r.book->entries.size(), kMaxEntries);

  std::string over = block_of(kMaxEntries + 1);
  r = parse_index(over, kPayloadOffset + kMaxEntries + 1,
                  kPayloadOffset + kMaxEntries + 1 + over.size() + kTrailerSize);
  EXPECT_EQ(r.error, ReadError::too_many_entries);
  EXPECT_EQ(r.line, kMaxEntries + 2);
  EXPECT_EQ(describe(r), "索引中的文件超过 32767 个");
}

TEST(ReadBook, ReadsAHandMadeContainer) {
  TempDir dir;
  std::string index =
      platform::utf8_to_cp936("书 名\r\n第一章♂590000♀10\r\n第二章♂590010♀20\r\n\r\n");
  ReadResult r = read_bytes(dir, hand_made(index, 30));
  ASSERT_EQ(r.error, ReadError::none) << describe(r);
  EXPECT_EQ(r.book->name, "书 名");
  EXPECT_EQ(r.book->entries,
            (std::vector<IndexEntry>{{"第一章", 590000, 10}, {"第二章", 590010, 20}}));
  EXPECT_EQ(r.book->index_offset, 590029u);
  EXPECT_EQ(r.book->index_length, index.size());
}

TEST(ReadBook, DamagedTrailers) {
  TempDir dir;
  std::string good = hand_made(kExampleIndex, 1000);
  auto with_trailer = [&](std::string trailer) {
    return good.substr(0, good.size() - 4) + trailer;
  };
  EXPECT_EQ(read_bytes(dir, with_trailer(std::string(4, '\0'))).error, ReadError::bad_trailer);
  EXPECT_EQ(read_bytes(dir, with_trailer("\xFF\xFF\xFF\xFF")).error, ReadError::bad_trailer);
  EXPECT_EQ(read_bytes(dir, with_trailer("\x00\x00\x00\x80")).error, ReadError::bad_trailer);
  // Reaching into the stub region.
  EXPECT_EQ(read_bytes(dir, with_trailer(trailer_bytes(1026))).error, ReadError::bad_trailer);
  EXPECT_EQ(read_bytes(dir, good.substr(0, kPayloadOffset + 4)).error, ReadError::too_small);

  ReadResult missing = read_book(dir.file("nothing.exe"));
  EXPECT_EQ(missing.error, ReadError::io);
  EXPECT_FALSE(missing.system.message.empty());
}

TEST(ReadBook, RefusesAnIndexPastTheLimitWithoutLoadingIt) {
  TempDir dir;
  const std::string path = dir.file("big.exe");
  write_file(path, "x");
  const auto fs_path = std::filesystem::u8path(path);
  std::filesystem::resize_file(fs_path, kMaxIndexSize + (8u << 20));  // sparse
  {
    std::fstream file(fs_path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(-4, std::ios::end);
    file << trailer_bytes(static_cast<std::uint32_t>(kMaxIndexSize + 1));
  }
  EXPECT_EQ(read_book(path).error, ReadError::index_too_large);
}

// Every cut of a real container through its payload, index and trailer, and junk behind
// one, gives an error and no crash. Shorter cuts all end in the same size test, so a few
// of them stand for the rest.
TEST(ReadBook, TruncatedOrExtendedContainersNeverPass) {
  TempDir dir;
  const std::string path = dir.file("book.exe");
  const std::string good = hand_made(kExampleIndex, 1000);
  ASSERT_EQ(read_bytes(dir, good).error, ReadError::none);
  std::vector<std::size_t> lengths = {0, 1, 4, 5, 1000, kPayloadOffset - 1};
  for (std::size_t length = kPayloadOffset; length < good.size(); ++length) {
    lengths.push_back(length);
  }
  for (auto length = lengths.rbegin(); length != lengths.rend(); ++length) {
    std::filesystem::resize_file(std::filesystem::u8path(path), *length);
    ReadResult r = read_book(path);
    ASSERT_NE(r.error, ReadError::none) << "cut at " << *length;
    if (*length < kPayloadOffset + 5) {
      ASSERT_EQ(r.error, ReadError::too_small);
    }
  }
  for (std::string junk : {std::string("\0", 1), std::string("\r\n"), trailer_bytes(21),
                           pattern_bytes(100, 3), "\r\n" + kExampleIndex + trailer_bytes(21)}) {
    for (std::size_t n = 1; n <= junk.size(); ++n) {
      ReadResult r = read_bytes(dir, good + junk.substr(0, n));
      ASSERT_NE(r.error, ReadError::none) << "junk of " << n;
    }
  }
}

}  // namespace
}  // namespace builder
