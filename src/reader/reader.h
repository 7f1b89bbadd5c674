// What the reader's two faces share: finding the book behind the program and judging
// it. The book comes from anywhere, so everything it says is checked
// (container::read_book) before it is shown or written anywhere.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "container/format.h"
#include "platform/file.h"

namespace reader {

// The book behind this program, open for reading its entries, or the sentence that says
// why there is none.
struct OpenBook {
  std::optional<platform::File> file;
  std::optional<container::Book> book;
  // The reader's own file starts with the reader, so it holds no book only when nothing
  // is behind the reader; anything else there that is no book is a damaged one.
  container::Verdict verdict = container::Verdict::unreadable;
  std::string message;  // when there is no book, in Chinese
};

// Reads the trailer and index of the file at `path`, never its payload.
OpenBook open_book(const std::string& path);

// platform::shown(title), or "（无标题）" for a title with nothing in it.
std::string shown_title(std::string_view title);

// 1234567 as "1,234,567".
std::string grouped(std::uint64_t number);

}  // namespace reader
