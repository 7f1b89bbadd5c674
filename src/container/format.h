// The e-book container, byte by byte (offsets 0-based, positions 1-based, integers
// little-endian):
//
//   offset 0        the reader (books.ini), S <= 589,999 bytes; the rest of the
//                   reader's region up to offset 589,998 is never written
//   offset 589,999  PDF 1 (position 590,000), then every further PDF directly behind
//                   the one before, no padding
//   after the last  the index block, N bytes of code page 936 text:
//   PDF               <book name> CR LF
//                     then per PDF: <title> "♂" <position> "♀" <length> CR LF
//                   positions and lengths in plain decimal; "♂" is A1 E1, "♀" A1 E2
//   last 4 bytes    N as a signed 32-bit little-endian integer
//
// Nothing in the container may pass 2,147,483,647 bytes. There is no magic number and
// no count: the entries are the index lines. A reader takes the last "♂" and "♀" of a
// line as the separators, since the numbers never hold them, and ignores empty lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"

namespace container {

inline constexpr std::uint64_t kPayloadPosition = 590000;  // 1-based
inline constexpr std::uint64_t kPayloadOffset = kPayloadPosition - 1;
inline constexpr std::uint64_t kMaxReaderSize = kPayloadOffset;  // 589,999
// Every position, length and the whole file stay within a signed 32-bit integer.
inline constexpr std::uint64_t kMaxContainerSize = 2147483647;
inline constexpr std::uint64_t kTrailerSize = 4;
// A reader never loads more index than this; a real one holds far less.
inline constexpr std::uint64_t kMaxIndexSize = 64u << 20;
// The most PDFs an e-book holds: a book list's positions are signed 16-bit. A reader
// refuses more rather than fill memory and a window with millions of entries.
inline constexpr int kMaxEntries = 32767;

struct IndexEntry {
  std::string title;           // UTF-8
  std::uint64_t position = 0;  // 1-based
  std::uint64_t length = 0;
  // Where the PDF starts in the file, 0-based, as every file operation counts.
  std::uint64_t offset() const { return position - 1; }
  bool operator==(const IndexEntry&) const = default;
};

// The index text in UTF-8 (name line, entry lines, CR LF after each, no final empty
// line). CR and LF inside the name or a title become '?', so they can never add or
// split a line.
std::string index_text(std::string_view book_name, const std::vector<IndexEntry>& entries);

// Little-endian bytes of the trailer.
std::string trailer_bytes(std::uint32_t index_length);

enum class ReadError {
  none,
  too_small,              // shorter than the reader's region, a PDF byte and the trailer
  not_ordinary,           // a folder, pipe or device, not a file
  too_large,              // longer than kMaxContainerSize
  io,                     // the system failed to read
  bad_trailer,            // index length zero, negative, or larger than the file allows
  index_too_large,        // beyond kMaxIndexSize
  index_not_cp936,        // the index bytes are not code page 936 text
  no_name_line,           // the index does not start with a name line ending in CR LF
  bad_line,               // a line without the two signs, a number not in plain digits, a lone
                          // CR or LF, or a last line without its CR LF
  number_overflow,        // a position or length beyond 2,147,483,647
  no_entries,             // a name line and nothing else
  entry_outside,          // an entry outside the payload area
  not_contiguous,         // entries overlap, leave gaps, are empty or out of order
  too_many_entries,       // more than kMaxEntries entry lines
  bad_signature,          // a certificate table that passes the end of the file
  junk_before_signature,  // bytes other than the signer's zero padding before the table
};

struct Book {
  std::string name;  // UTF-8
  std::vector<IndexEntry> entries;
  std::uint64_t index_offset = 0;  // 0-based offset of the index block
  std::uint32_t index_length = 0;
  std::uint64_t file_size = 0;  // the whole file, a signature included
  std::string index_block;      // the index bytes as read, code page 936
};

// What a file is as an e-book: the one answer every reader of a book acts on. The
// ReadError behind it says why, for describe().
enum class Verdict {
  book,        // a whole e-book
  no_book,     // none is there: too short to hold one (the reader on its own), no index
               // ends it, no ordinary file, or no file at all
  damaged,     // an index or a signature is there, and it is damaged
  unreadable,  // the system failed to read it (ReadResult::system says why)
};

struct ReadResult {
  ReadError error = ReadError::none;
  std::size_t line = 0;    // 1-based index line where the damage is, when it is in a line
  platform::Error system;  // for ReadError::io
  std::optional<Book> book;
  Verdict verdict() const;
};

// Parses an index block for a file of `file_size` bytes whose index starts at
// `index_offset`. Checks every entry against the payload area: the entries must lie
// back to back from position 590,000 and end where the index begins.
ReadResult parse_index(std::string_view index_bytes, std::uint64_t index_offset,
                       std::uint64_t file_size);

// True when `bytes` are an index block that stands on its own, as the temporary index
// file holds one: it parses as the index of a book whose PDFs end where it begins.
bool is_index_block(std::string_view bytes);

// Reads a container's tail only (trailer and index), never its payload. A signed book
// (a PE whose security directory names a certificate table ending at the end of the
// file) is read as if it ended where the table begins, less the signer's zero padding
// of at most 7 bytes. Reading never writes, so a signature stays valid.
ReadResult read_book(platform::File& file);
// The same for the file at `path`; the file is handed to `keep`, if given, when it holds
// a book.
ReadResult read_book(const std::string& path, std::optional<platform::File>* keep = nullptr);

// A short Chinese description of a read error, for messages.
std::string describe(const ReadResult& result);
// The sentence for a book at `path` that cannot be read: 无法读取电子书“…”：<describe>。
std::string unreadable(const std::string& path, const ReadResult& result);

}  // namespace container
