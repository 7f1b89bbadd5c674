// Feeds the e-book reader files it has never seen. The reader's whole input is the end of
// its own file, so each input stands for that end, in one of three forms picked by its
// first byte:
//   0  the bytes from offset 589,999 on: payload, index and trailer as they come;
//   1  three bytes of payload length, then an index block; the trailer is made to fit,
//      so the fuzzer spends its time inside the index rather than guessing lengths;
//   2  a title, for the names a PDF taken out of a book gets and the way it is shown.
// The reader's region in front is a hole, so every file costs next to nothing to make.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "container/extract.h"
#include "container/format.h"
#include "platform/encoding.h"
#include "platform/text.h"

namespace {

using container::kPayloadOffset;

void require(bool condition) {
  if (!condition) std::abort();
}

// What a title may turn into: one plain name, inside the folder, on no device.
void check_name(const std::string& name) {
  require(!name.empty() && name != "." && name != "..");
  require(platform::is_valid_utf8(name));
  require(!container::is_device_name(name));
  require(name.size() <= 20 + container::kMaxTitleBytes + 4);
  for (unsigned char c : name) {
    require(c >= 0x20 && c != 0x7F &&
            std::string_view("/\\<>:\"|?*").find(c) == std::string_view::npos);
  }
  require(name.front() != ' ' && name.front() != '.');
}

void check_names(std::string_view title) {
  check_name(container::extract_file_name(1, 1, title));
  check_name(container::extract_file_name(32767, 32767, title));
  check_name(container::single_file_name(title));
  // What a terminal or the window shows: whole characters, no control characters.
  std::string shown = platform::shown(title, 40);
  require(platform::is_valid_utf8(shown) && shown.size() <= 40 * 4 + 3);
  for (std::size_t i = 0; i < shown.size();) {
    const platform::Utf8Char c = platform::next_utf8(shown, i);
    require(c.valid && !platform::is_control_or_direction(c.code_point));
    i += c.length;
  }
}

// A book the reader accepts must hold together: the entries tile the payload, the index
// and the trailer fill the rest.
void check_book(const container::Book& book, std::uint64_t file_size) {
  require(book.file_size == file_size);
  require(!book.entries.empty() &&
          book.entries.size() <= static_cast<std::size_t>(container::kMaxEntries));
  require(!book.name.empty() && platform::is_valid_utf8(book.name));
  std::uint64_t position = container::kPayloadPosition;
  for (const auto& entry : book.entries) {
    require(entry.position == position && entry.length > 0);
    require(platform::is_valid_utf8(entry.title));
    position += entry.length;
    check_names(entry.title);
  }
  require(position - 1 == book.index_offset);
  require(book.index_offset + book.index_length + container::kTrailerSize == file_size);
}

void read_back(std::uint64_t offset, std::string_view tail) {
  // A file in memory: a hole up to `offset`, then `tail`.
  static const int fd = memfd_create("book", MFD_CLOEXEC);
  require(fd >= 0 && ftruncate(fd, 0) == 0 &&
          ftruncate(fd, static_cast<off_t>(offset + tail.size())) == 0 &&
          pwrite(fd, tail.data(), tail.size(), static_cast<off_t>(offset)) ==
              static_cast<ssize_t>(tail.size()));
  const container::ReadResult result = container::read_book("/proc/self/fd/" + std::to_string(fd));
  require(result.book.has_value() == (result.verdict() == container::Verdict::book));
  if (result.book) check_book(*result.book, offset + tail.size());
  require(!container::describe(result).empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0:
      read_back(kPayloadOffset, input);
      break;
    case 1: {
      if (input.size() < 3) return 0;
      std::uint64_t payload = static_cast<unsigned char>(input[0]) |
                              static_cast<unsigned char>(input[1]) << 8 |
                              static_cast<unsigned char>(input[2]) << 16;
      std::string tail(input.substr(3));
      tail += container::trailer_bytes(static_cast<std::uint32_t>(tail.size()));
      read_back(kPayloadOffset + payload, tail);
      break;
    }
    default:
      check_names(input);
      break;
  }
  return 0;
}
