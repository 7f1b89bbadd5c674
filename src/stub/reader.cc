#include "stub/reader.h"

#include "platform/encoding.h"
#include "stub/texts.h"

namespace stub {
namespace {

// Length of the UTF-8 character at `text[i]`, 0 for a byte that starts none.
std::size_t character_length(std::string_view text, std::size_t i) {
  auto lead = static_cast<unsigned char>(text[i]);
  std::size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (n == 0 || i + n > text.size()) return 0;
  return platform::is_valid_utf8(text.substr(i, n)) ? n : 0;
}

// U+0080 to U+009F, and the marks and overrides that reorder what follows them
// (U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069): a title must not disguise itself
// or the text after it.
bool is_hidden_control(std::string_view c) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(c[i]); };
  if (c.size() == 1) return byte(0) < 0x20 || byte(0) == 0x7F;
  if (c.size() == 2) return byte(0) == 0xC2 && byte(1) < 0xA0;
  if (c.size() != 3 || byte(0) != 0xE2) return false;
  const unsigned code = (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);  // U+2000 + code
  return code == 0x0E || code == 0x0F || (code >= 0x2A && code <= 0x2E) ||
         (code >= 0x66 && code <= 0x69);
}

}  // namespace

OpenBook open_book(const std::string& path) {
  OpenBook out;
  platform::Error err;
  auto file = platform::File::open_read(path, err);
  if (!file) {
    out.message = std::string(texts::kUnreadable) + err.message;
    return out;
  }
  builder::ReadResult result = builder::read_book(*file);
  switch (result.error) {
    case builder::ReadError::none:
      out.file = std::move(file);
      out.book = std::move(result.book);
      return out;
    case builder::ReadError::too_small:
      // Shorter than the reader's own region: the reader alone, or what is left of a book
      // cut before its first PDF. Either way there is nothing to read.
      out.holds_no_book = true;
      out.message = std::string(texts::kNoBook);
      return out;
    case builder::ReadError::io:
      out.message = std::string(texts::kUnreadable) + result.system.message;
      return out;
    default:
      out.message = std::string(texts::kDamaged) + builder::describe(result) + "。";
      return out;
  }
}

bool write_entry(platform::File& book, const builder::IndexEntry& entry, const std::string& target,
                 platform::Error& err) {
  auto out = platform::File::create_new(target, err);
  if (!out) return false;
  bool ok = out->copy_from(book, entry.position - 1, entry.length, err);
  // Some file systems report a failed write only when the file is closed.
  ok = ok ? out->close(err) : (out->close(), false);
  if (!ok) {
    // Only the file made here goes; half a PDF is worse than none.
    platform::Error ignored;
    platform::delete_file(target, ignored);
  }
  return ok;
}

std::string shown(std::string_view text, std::size_t max_characters) {
  std::string out;
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++count) {
    if (count == max_characters) return out + "…";
    std::size_t n = character_length(text, i);
    std::string_view c = text.substr(i, n == 0 ? 1 : n);
    out += n == 0 || is_hidden_control(c) ? std::string_view("?") : c;
    i += c.size();
  }
  return out;
}

std::string shown_title(std::string_view title) {
  return title.empty() ? std::string(texts::kNoTitle) : shown(title);
}

std::string grouped(std::uint64_t number) {
  std::string digits = std::to_string(number);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string fill(std::string_view pattern, std::initializer_list<std::string_view> words) {
  std::string out;
  auto word = words.begin();
  for (std::size_t at = 0;;) {
    std::size_t hole = pattern.find("{}", at);
    if (hole == std::string_view::npos || word == words.end())
      return out.append(pattern.substr(at));
    out.append(pattern.substr(at, hole - at)).append(*word++);
    at = hole + 2;
  }
}

std::string quoted(std::string_view text) {
  return "“" + std::string(text) + "”";
}

}  // namespace stub
