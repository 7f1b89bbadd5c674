#include "reader/reader.h"

#include "platform/text.h"
#include "reader/texts.h"

namespace reader {

OpenBook open_book(const std::string& path) {
  OpenBook out;
  platform::Error err;
  auto file = platform::File::open_read(path, err);
  if (!file) {
    out.message = std::string(texts::kUnreadable) + platform::describe(err);
    return out;
  }
  container::ReadResult result = container::read_book(*file);
  out.verdict = result.verdict();
  // Past the reader's own region, what follows it was meant to be a book.
  if (out.verdict == container::Verdict::no_book && result.error != container::ReadError::too_small)
    out.verdict = container::Verdict::damaged;
  switch (out.verdict) {
    case container::Verdict::book:
      out.file = std::move(file);
      out.book = std::move(result.book);
      break;
    case container::Verdict::no_book:
      out.message = std::string(texts::kNoBook);
      break;
    case container::Verdict::damaged:
      out.message = platform::fill(texts::kDamaged, {container::describe(result)});
      break;
    case container::Verdict::unreadable:
      out.message = std::string(texts::kUnreadable) + platform::describe(result.system);
      break;
  }
  return out;
}

std::string shown_title(std::string_view title) {
  return title.empty() ? std::string(texts::kNoTitle) : platform::shown(title);
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

}  // namespace reader
