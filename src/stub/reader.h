// What the reader's two faces share: finding the book behind the program, judging it,
// and taking one PDF out of it. The book comes from anywhere, so everything it says is
// checked (builder::read_book) before it is shown or written anywhere.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "builder/container.h"
#include "platform/file.h"

namespace stub {

// The book behind this program, open for reading its entries, or the sentence that says
// why there is none.
struct OpenBook {
  std::optional<platform::File> file;
  std::optional<builder::Book> book;
  bool holds_no_book = false;  // the reader on its own, nothing behind it
  std::string message;         // when there is no book, in Chinese
};

// Reads the trailer and index of the file at `path`, never its payload.
OpenBook open_book(const std::string& path);

// Copies `entry` out of `book` into a new file at `target`. Never replaces anything;
// when it fails, nothing it created is left behind.
bool write_entry(platform::File& book, const builder::IndexEntry& entry, const std::string& target,
                 platform::Error& err);

// A title or name fit for showing: control characters (C0, DEL, C1) and the characters
// that turn text around on screen become '?', and anything past `max_characters`
// becomes "…". The index is valid UTF-8 by then; malformed bytes would become '?' too.
std::string shown(std::string_view text, std::size_t max_characters = 200);

// shown(title), or "（无标题）" for a title with nothing in it.
std::string shown_title(std::string_view title);

// 1234567 as "1,234,567".
std::string grouped(std::uint64_t number);

// `pattern` with each "{}" replaced by the next of `words`, in turn.
std::string fill(std::string_view pattern, std::initializer_list<std::string_view> words);

// "“text”": the quotes the messages put around names.
std::string quoted(std::string_view text);

}  // namespace stub
