#include "container/format.h"

#include <algorithm>
#include <utility>

#include "container/texts.h"
#include "platform/encoding.h"
#include "platform/text.h"

namespace container {
namespace {

using platform::fill;

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kPositionSign = "♂";  // U+2642, A1 E1 in code page 936
constexpr std::string_view kLengthSign = "♀";    // U+2640, A1 E2 in code page 936
constexpr std::uint64_t kMaxNumber = kMaxContainerSize;

// A line break inside a name or title would add or split an index line.
void append_one_line(std::string& out, std::string_view text) {
  for (char c : text) out += (c == '\r' || c == '\n') ? '?' : c;
}

// Plain decimal digits, no sign, no leading zero (a lone "0" is allowed and caught by the
// length check). Values past 2,147,483,647 are reported apart: they are well-formed but
// cannot be a position in a file the format allows.
enum class Number { ok, malformed, overflow };

Number parse_number(std::string_view text, std::uint64_t& value) {
  if (text.empty() || (text.size() > 1 && text[0] == '0')) return Number::malformed;
  value = 0;
  bool overflow = false;
  for (char c : text) {
    if (c < '0' || c > '9') return Number::malformed;
    if (!overflow) {
      value = value * 10 + static_cast<std::uint64_t>(c - '0');
      overflow = value > kMaxNumber;  // stops before 64 bits could wrap
    }
  }
  return overflow ? Number::overflow : Number::ok;
}

ReadResult fail(ReadError error, std::size_t line = 0) {
  ReadResult result;
  result.error = error;
  result.line = line;
  return result;
}

}  // namespace

std::string index_text(std::string_view book_name, const std::vector<IndexEntry>& entries) {
  std::string out;
  append_one_line(out, book_name);
  out += kCrLf;
  for (const auto& entry : entries) {
    append_one_line(out, entry.title);
    out += kPositionSign;
    out += std::to_string(entry.position);
    out += kLengthSign;
    out += std::to_string(entry.length);
    out += kCrLf;
  }
  return out;
}

std::string trailer_bytes(std::uint32_t index_length) {
  std::string out(4, '\0');
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((index_length >> (8 * i)) & 0xff);
  return out;
}

namespace {

// One entry line: the title, then the last "♂" and the last "♀" after it around the two
// numbers. The numbers never hold the signs, but a title may hold either.
ReadError parse_entry_line(std::string_view line, IndexEntry& entry) {
  const std::size_t position_sign = line.rfind(kPositionSign);
  if (position_sign == std::string_view::npos) return ReadError::bad_line;
  const std::size_t numbers = position_sign + kPositionSign.size();
  const std::size_t length_sign = line.rfind(kLengthSign);
  if (length_sign == std::string_view::npos || length_sign < numbers) return ReadError::bad_line;
  entry.title = std::string(line.substr(0, position_sign));
  for (auto [field, value] :
       {std::pair{line.substr(numbers, length_sign - numbers), &entry.position},
        std::pair{line.substr(length_sign + kLengthSign.size()), &entry.length}}) {
    switch (parse_number(field, *value)) {
      case Number::ok:
        break;
      case Number::malformed:
        return ReadError::bad_line;
      case Number::overflow:
        return ReadError::number_overflow;
    }
  }
  return ReadError::none;
}

// The entries must lie back to back from position 590,000 and end before the index.
ReadError place_entry(const IndexEntry& entry, std::uint64_t index_offset, std::uint64_t expected) {
  // Every value is at most 2^31 - 1 here, so none of these sums can wrap.
  if (entry.position < kPayloadPosition || entry.position - 1 >= index_offset ||
      entry.position - 1 + entry.length > index_offset) {
    return ReadError::entry_outside;
  }
  if (entry.position != expected || entry.length == 0) return ReadError::not_contiguous;
  return ReadError::none;
}

}  // namespace

ReadResult parse_index(std::string_view index_bytes, std::uint64_t index_offset,
                       std::uint64_t file_size) {
  if (index_bytes.size() > kMaxIndexSize) return fail(ReadError::index_too_large);
  if (index_offset > file_size || index_bytes.size() > file_size - index_offset) {
    return fail(ReadError::bad_trailer);
  }
  auto decoded = platform::cp936_to_utf8(index_bytes);
  if (!decoded) return fail(ReadError::index_not_cp936);
  std::string_view text = *decoded;

  Book book;
  book.index_offset = index_offset;
  book.index_length = static_cast<std::uint32_t>(index_bytes.size());
  book.file_size = file_size;

  // UTF-8 never holds CR or LF inside a character, so splitting after decoding is safe.
  std::uint64_t expected = kPayloadPosition;
  std::size_t line_number = 0, last_entry_line = 0;
  for (std::size_t start = 0; start < text.size();) {
    ++line_number;
    const std::size_t end = text.find(kCrLf, start);
    // The last line lacks its CR LF: the block was cut short or has junk at its end.
    if (end == std::string_view::npos)
      return fail(line_number == 1 ? ReadError::no_name_line : ReadError::bad_line, line_number);
    const std::string_view line = text.substr(start, end - start);
    start = end + kCrLf.size();
    if (line.find_first_of("\r\n") != std::string_view::npos)
      return fail(ReadError::bad_line, line_number);
    if (line_number == 1) {
      if (line.empty()) return fail(ReadError::no_name_line, 1);
      book.name = std::string(line);
      continue;
    }
    if (line.empty()) continue;  // the writer may end the block with one empty line
    if (book.entries.size() == static_cast<std::size_t>(kMaxEntries))
      return fail(ReadError::too_many_entries, line_number);
    IndexEntry entry;
    if (ReadError e = parse_entry_line(line, entry); e != ReadError::none)
      return fail(e, line_number);
    if (ReadError e = place_entry(entry, index_offset, expected); e != ReadError::none)
      return fail(e, line_number);
    expected = entry.position + entry.length;
    last_entry_line = line_number;
    book.entries.push_back(std::move(entry));
  }
  if (line_number == 0) return fail(ReadError::no_name_line);
  if (book.entries.empty()) return fail(ReadError::no_entries);
  // A gap between the last PDF and the index would be bytes no entry accounts for.
  if (expected - 1 != index_offset) return fail(ReadError::not_contiguous, last_entry_line);

  ReadResult result;
  result.book = std::move(book);
  return result;
}

bool is_index_block(std::string_view bytes) {
  // The last entry says where the PDFs end, so where such a block would begin.
  const auto text = platform::cp936_to_utf8(bytes);
  if (!text || bytes.size() > kMaxIndexSize || !text->ends_with(kCrLf)) return false;
  std::string_view last(*text);
  last.remove_suffix(kCrLf.size());
  const std::size_t before = last.rfind(kCrLf);
  last = last.substr(before == std::string_view::npos ? 0 : before + kCrLf.size());
  IndexEntry entry;
  if (parse_entry_line(last, entry) != ReadError::none) return false;
  const std::uint64_t offset = entry.position - 1 + entry.length;
  return parse_index(bytes, offset, offset + bytes.size() + kTrailerSize).error == ReadError::none;
}

namespace {

std::uint32_t little_endian(const unsigned char* bytes, int n) {
  std::uint32_t value = 0;
  for (int i = n - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

// Where a signed program's certificate table begins: the security directory (data
// directory 4) of a PE image whose table ends exactly at the end of the file; 0 when the
// file carries none. A table that claims to pass the end of the file is damage.
struct Signature {
  ReadError error = ReadError::none;
  std::uint64_t table_offset = 0;
};

Signature find_signature(platform::File& file, std::uint64_t size, platform::Error& err) {
  Signature out;
  unsigned char dos[64];
  if (size < sizeof dos) return out;
  if (!file.read_exact_at(0, dos, sizeof dos, err)) return {ReadError::io, 0};
  if (dos[0] != 'M' || dos[1] != 'Z') return out;
  // The signature, the file header and the optional header up to its 16th directory.
  constexpr std::size_t kHeaders = 4 + 20 + 112 + 16 * 8;
  const std::uint64_t pe = little_endian(dos + 0x3c, 4);
  unsigned char h[kHeaders];
  if (pe > size || size - pe < kHeaders) return out;
  if (!file.read_exact_at(pe, h, sizeof h, err)) return {ReadError::io, 0};
  if (h[0] != 'P' || h[1] != 'E' || h[2] != 0 || h[3] != 0) return out;
  const std::uint32_t optional_size = little_endian(h + 4 + 16, 2);
  const unsigned char* optional = h + 24;
  const std::uint32_t magic = little_endian(optional, 2);
  // Where the data directories start: in a PE32 header, or a PE32+ one.
  const std::size_t directories = magic == 0x10b ? 96 : magic == 0x20b ? 112 : 0;
  if (directories == 0) return out;
  const std::uint32_t count = little_endian(optional + directories - 4, 4);
  constexpr std::size_t kSecurity = 4;
  if (count <= kSecurity || optional_size < directories + (kSecurity + 1) * 8) return out;
  const std::uint64_t offset = little_endian(optional + directories + kSecurity * 8, 4);
  const std::uint64_t length = little_endian(optional + directories + kSecurity * 8 + 4, 4);
  if (offset == 0 || length == 0) return out;
  if (offset > size || length > size - offset) return {ReadError::bad_signature, 0};
  if (offset + length == size) out.table_offset = offset;
  return out;
}

// Trailer and index of a book whose own bytes end at `end` (the file's end, or where
// its signature begins).
ReadResult read_tail(platform::File& file, std::uint64_t end) {
  ReadResult result;
  // The reader's region, at least one PDF byte and the trailer.
  if (end < kPayloadOffset + 1 + kTrailerSize) return fail(ReadError::too_small);
  // No position in a longer file could be written down.
  if (end > kMaxContainerSize) return fail(ReadError::too_large);

  unsigned char trailer[kTrailerSize];
  if (!file.read_exact_at(end - kTrailerSize, trailer, sizeof trailer, result.system)) {
    result.error = ReadError::io;
    return result;
  }
  const std::uint32_t raw = little_endian(trailer, kTrailerSize);
  // Stored as a signed 32-bit integer: the top bit set means a negative length.
  if (raw == 0 || raw > kMaxNumber || raw > end - kTrailerSize - kPayloadOffset) {
    return fail(ReadError::bad_trailer);
  }
  if (raw > kMaxIndexSize) return fail(ReadError::index_too_large);

  std::uint64_t index_offset = end - kTrailerSize - raw;
  std::string index(raw, '\0');
  if (!file.read_exact_at(index_offset, index.data(), index.size(), result.system)) {
    result.error = ReadError::io;
    return result;
  }
  result = parse_index(index, index_offset, end);
  if (result.book) result.book->index_block = std::move(index);
  return result;
}

}  // namespace

ReadResult read_book(platform::File& file) {
  ReadResult result;
  auto size = file.size(result.system);
  if (!size) {
    result.error = ReadError::io;
    return result;
  }
  const Signature signature = find_signature(file, *size, result.system);
  if (signature.error != ReadError::none) return fail(signature.error);
  if (signature.table_offset == 0) {
    result = read_tail(file, *size);
  } else {
    // The signer padded the book with zero bytes up to a multiple of 8 before the table.
    // The trailer may end in zero bytes itself, so each possible padding is tried, the
    // shortest first; any other byte before the table is not ours, and nor is a tail that
    // reads as no index, or as a damaged one, under every padding.
    constexpr std::uint64_t kMaxPadding = 7;
    const std::uint64_t table = signature.table_offset;
    const std::uint64_t n = std::min(table, kMaxPadding);
    unsigned char padding[kMaxPadding];
    if (!file.read_exact_at(table - n, padding, n, result.system)) {
      result.error = ReadError::io;
      return result;
    }
    result = fail(ReadError::junk_before_signature);
    for (std::uint64_t pad = 0; pad <= n; ++pad) {
      if (pad > 0 && padding[n - pad] != 0) break;
      ReadResult tried = read_tail(file, table - pad);
      if (tried.error == ReadError::none || tried.error == ReadError::io ||
          tried.error == ReadError::too_small || tried.error == ReadError::too_large) {
        result = std::move(tried);
        break;
      }
    }
    if (result.error == ReadError::junk_before_signature) return result;
  }
  if (result.book) result.book->file_size = *size;
  return result;
}

ReadResult read_book(const std::string& path, std::optional<platform::File>* keep) {
  ReadResult result;
  auto file = platform::File::open_read(path, result.system);
  if (!file) {
    result.error = result.system.kind == platform::ErrorKind::not_ordinary ? ReadError::not_ordinary
                                                                           : ReadError::io;
    return result;
  }
  result = read_book(*file);
  if (keep && result.error == ReadError::none) *keep = std::move(file);
  return result;
}

namespace {

std::string line_of(const ReadResult& result) {
  return result.line ? fill(texts::kIndexLine, {std::to_string(result.line)})
                     : std::string(texts::kIndex);
}

}  // namespace

std::string describe(const ReadResult& result) {
  switch (result.error) {
    case ReadError::none:
      return std::string(texts::kIntact);
    case ReadError::too_small:
      return std::string(texts::kTooSmall);
    case ReadError::not_ordinary:
      return std::string(texts::kNotOrdinary);
    case ReadError::too_large:
      return fill(texts::kTooLarge, {std::to_string(kMaxContainerSize)});
    case ReadError::io:
      return fill(texts::kCannotRead, {platform::describe(result.system)});
    case ReadError::bad_trailer:
      return std::string(texts::kBadTrailer);
    case ReadError::index_too_large:
      return std::string(texts::kIndexTooLarge);
    case ReadError::index_not_cp936:
      return std::string(texts::kIndexNotGbk);
    case ReadError::no_name_line:
      return std::string(texts::kNoNameLine);
    case ReadError::bad_line:
      return fill(texts::kBadLine, {line_of(result)});
    case ReadError::number_overflow:
      return fill(texts::kNumberOverflow, {line_of(result), std::to_string(kMaxContainerSize)});
    case ReadError::no_entries:
      return std::string(texts::kNoEntries);
    case ReadError::entry_outside:
      return fill(texts::kEntryOutside, {line_of(result)});
    case ReadError::not_contiguous:
      return fill(texts::kNotContiguous, {line_of(result)});
    case ReadError::bad_signature:
      return std::string(texts::kBadSignature);
    case ReadError::junk_before_signature:
      return std::string(texts::kJunkBeforeSignature);
    case ReadError::too_many_entries:
      return fill(texts::kTooManyEntries, {std::to_string(kMaxEntries)});
  }
  return std::string(texts::kDamaged);
}

std::string unreadable(const std::string& path, const ReadResult& result) {
  return fill(texts::kUnreadableBook, {platform::quoted(path), describe(result)});
}

Verdict ReadResult::verdict() const {
  switch (error) {
    case ReadError::none:
      return Verdict::book;
    case ReadError::io:
      // A file that is not there holds no book; one the disk fails to read may.
      return system.kind == platform::ErrorKind::not_found ? Verdict::no_book : Verdict::unreadable;
    case ReadError::too_small:  // the reader on its own, or a book cut before its first PDF
    case ReadError::not_ordinary:
    case ReadError::too_large:
    case ReadError::bad_trailer:  // these four: no index ends here
    case ReadError::index_too_large:
    case ReadError::index_not_cp936:
    case ReadError::no_name_line:
    case ReadError::junk_before_signature:  // a signed program that carries no book of ours
      return Verdict::no_book;
    case ReadError::bad_line:
    case ReadError::number_overflow:
    case ReadError::no_entries:
    case ReadError::entry_outside:
    case ReadError::not_contiguous:
    case ReadError::too_many_entries:
    case ReadError::bad_signature:
      return Verdict::damaged;
  }
  return Verdict::damaged;
}

}  // namespace container
