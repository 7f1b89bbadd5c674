#include "container/format.h"

#include <utility>

#include "platform/encoding.h"
#include "platform/text.h"

namespace container {
namespace {

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
  std::size_t line_number = 0;
  std::size_t last_entry_line = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    ++line_number;
    std::size_t end = text.find(kCrLf, start);
    if (end == std::string_view::npos) {
      // The last line lacks its CR LF: the block was cut short or has junk at its end.
      return fail(line_number == 1 ? ReadError::no_name_line : ReadError::bad_line, line_number);
    }
    std::string_view line = text.substr(start, end - start);
    start = end + kCrLf.size();
    if (line.find_first_of("\r\n") != std::string_view::npos) {
      return fail(ReadError::bad_line, line_number);
    }
    if (line_number == 1) {
      if (line.empty()) return fail(ReadError::no_name_line, 1);
      book.name = std::string(line);
      continue;
    }
    if (line.empty()) continue;  // the writer may end the block with one empty line
    if (book.entries.size() == static_cast<std::size_t>(kMaxEntries))
      return fail(ReadError::too_many_entries, line_number);

    // The numbers never hold the signs, so the last of each delimits them; a title may
    // hold either sign itself.
    std::size_t position_sign = line.rfind(kPositionSign);
    if (position_sign == std::string_view::npos) return fail(ReadError::bad_line, line_number);
    std::size_t numbers = position_sign + kPositionSign.size();
    std::size_t length_sign = line.rfind(kLengthSign);
    if (length_sign == std::string_view::npos || length_sign < numbers) {
      return fail(ReadError::bad_line, line_number);
    }
    IndexEntry entry;
    entry.title = std::string(line.substr(0, position_sign));
    for (auto [field, value] :
         {std::pair{line.substr(numbers, length_sign - numbers), &entry.position},
          std::pair{line.substr(length_sign + kLengthSign.size()), &entry.length}}) {
      switch (parse_number(field, *value)) {
        case Number::ok:
          break;
        case Number::malformed:
          return fail(ReadError::bad_line, line_number);
        case Number::overflow:
          return fail(ReadError::number_overflow, line_number);
      }
    }

    // Every value is at most 2^31 - 1 here, so none of these sums can wrap.
    if (entry.position < kPayloadPosition || entry.position - 1 >= index_offset ||
        entry.position - 1 + entry.length > index_offset) {
      return fail(ReadError::entry_outside, line_number);
    }
    if (entry.position != expected || entry.length == 0) {
      return fail(ReadError::not_contiguous, line_number);
    }
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
  last = last.substr(last.rfind(kCrLf) == std::string_view::npos ? 0 : last.rfind(kCrLf) + 2);
  const std::size_t position_sign = last.rfind(kPositionSign),
                    length_sign = last.rfind(kLengthSign);
  std::uint64_t position = 0, length = 0;
  if (position_sign == std::string_view::npos || length_sign == std::string_view::npos ||
      length_sign < position_sign ||
      parse_number(last.substr(position_sign + kPositionSign.size(),
                               length_sign - position_sign - kPositionSign.size()),
                   position) != Number::ok ||
      parse_number(last.substr(length_sign + kLengthSign.size()), length) != Number::ok) {
    return false;
  }
  const std::uint64_t offset = position - 1 + length;
  return parse_index(bytes, offset, offset + bytes.size() + kTrailerSize).error == ReadError::none;
}

ReadResult read_book(platform::File& file) {
  ReadResult result;
  auto size = file.size(result.system);
  if (!size) {
    result.error = ReadError::io;
    return result;
  }
  // The stub region, at least one PDF byte and the trailer.
  if (*size < kPayloadOffset + 1 + kTrailerSize) return fail(ReadError::too_small);
  // No position in a longer file could be written down.
  if (*size > kMaxContainerSize) return fail(ReadError::too_large);

  unsigned char trailer[kTrailerSize];
  if (!file.read_exact_at(*size - kTrailerSize, trailer, sizeof trailer, result.system)) {
    result.error = ReadError::io;
    return result;
  }
  std::uint32_t raw = 0;
  for (int i = 3; i >= 0; --i) raw = (raw << 8) | trailer[i];
  // Stored as a signed 32-bit integer: the top bit set means a negative length.
  if (raw == 0 || raw > kMaxNumber || raw > *size - kTrailerSize - kPayloadOffset) {
    return fail(ReadError::bad_trailer);
  }
  if (raw > kMaxIndexSize) return fail(ReadError::index_too_large);

  std::uint64_t index_offset = *size - kTrailerSize - raw;
  std::string index(raw, '\0');
  if (!file.read_exact_at(index_offset, index.data(), index.size(), result.system)) {
    result.error = ReadError::io;
    return result;
  }
  return parse_index(index, index_offset, *size);
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
  return result.line ? "索引第 " + std::to_string(result.line) + " 行" : std::string("索引");
}

}  // namespace

std::string describe(const ReadResult& result) {
  switch (result.error) {
    case ReadError::none:
      return "结构完整";
    case ReadError::too_small:
      return "文件太短，不是电子书";
    case ReadError::not_ordinary:
      return "这不是普通文件，不是电子书";
    case ReadError::too_large:
      return "文件超过 " + std::to_string(kMaxContainerSize) + " 字节，不是电子书或已损坏";
    case ReadError::io:
      return "无法读取文件：" + platform::describe(result.system);
    case ReadError::bad_trailer:
      return "文件末尾记录的索引长度无效，不是电子书或已损坏";
    case ReadError::index_too_large:
      return "文件末尾记录的索引长度过大";
    case ReadError::index_not_cp936:
      return "索引不是有效的 GBK 文本";
    case ReadError::no_name_line:
      return "索引缺少以回车换行结尾的书名行";
    case ReadError::bad_line:
      return line_of(result) + "格式错误";
    case ReadError::number_overflow:
      return line_of(result) + "的数字超过 " + std::to_string(kMaxContainerSize);
    case ReadError::no_entries:
      return "索引中没有任何文件";
    case ReadError::entry_outside:
      return line_of(result) + "所指的文件超出了内容区";
    case ReadError::not_contiguous:
      return line_of(result) + "所指的文件与前后文件不相接";
    case ReadError::too_many_entries:
      return "索引中的文件超过 " + std::to_string(kMaxEntries) + " 个";
  }
  return "文件已损坏";
}

}  // namespace container
