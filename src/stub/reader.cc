#include "stub/reader.h"

#include "platform/text.h"
#include "stub/texts.h"

namespace stub {

OpenBook open_book(const std::string& path) {
  OpenBook out;
  platform::Error err;
  auto file = platform::File::open_read(path, err);
  if (!file) {
    out.message = std::string(texts::kUnreadable) + platform::describe(err);
    return out;
  }
  container::ReadResult result = container::read_book(*file);
  if (result.error == container::ReadError::none) {
    out.file = std::move(file);
    out.book = std::move(result.book);
  } else if (container::holds_no_book(result)) {
    // Shorter than the reader's own region: the reader alone, or what is left of a book
    // cut before its first PDF. Either way there is nothing to read.
    out.holds_no_book = true;
    out.message = std::string(texts::kNoBook);
  } else if (result.error == container::ReadError::io) {
    out.message = std::string(texts::kUnreadable) + platform::describe(result.system);
  } else {
    out.message = platform::fill(texts::kDamaged, {container::describe(result)});
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

}  // namespace stub
