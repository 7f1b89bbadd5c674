// Taking PDFs out of an e-book. Titles come from e-books we did not make, so a title must
// never steer a file out of the target folder or onto a device, and nothing that was
// there before is ever replaced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "container/format.h"
#include "platform/file.h"

namespace container {

// Longest title part of a name, in bytes, so the whole name stays well inside every
// file system's limit.
inline constexpr std::size_t kMaxTitleBytes = 150;

// `title` made fit for a file name: separators, control characters (C0, DEL, C1),
// < > : " | ? * and malformed UTF-8 become '_'; leading and trailing dots and spaces go;
// at most kMaxTitleBytes bytes, cut between characters. May be empty.
std::string safe_title(std::string_view title);

// "001-<safe title>.pdf" for entry `number` (1-based) of `count`, or "001.pdf" when
// nothing of the title is left. The number has at least three digits, more when the book
// has more entries, so the names sort in book order.
std::string extract_file_name(std::size_t number, std::size_t count, std::string_view title);

// "<safe title>.pdf" for one PDF taken out on its own (to open it, or as the name offered
// when saving it), or "未命名.pdf" when nothing of the title is left. A title that would
// name a Windows device gets a '_' in front.
std::string single_file_name(std::string_view title);

// True when Windows keeps `name` for a device whatever its extension: CON, PRN, AUX, NUL,
// COM1 to COM9, LPT1 to LPT9 (and their superscript digits), CONIN$, CONOUT$, in any case.
bool is_device_name(std::string_view name);

// True for a character no file name may hold: / \ < > : " | ? * and the controls and
// text-direction marks that would hide what a name says.
bool is_unsafe_in_name(char32_t c);

// Why taking a PDF out stopped.
struct ExtractFailure {
  enum class What {
    none,
    not_a_folder,  // the target folder is not there
    exists,        // a file of the name is there already; nothing was written
    create,        // the new file could not be made
    read,          // the e-book could not be read
    book_ended,    // the e-book is shorter than its index says: cut short
    write,         // the new file could not be written
    stopped,       // the caller asked to stop
  };
  What what = What::none;
  std::string file;  // the file concerned: the target, or the e-book for read/book_ended
  platform::Error system;
  explicit operator bool() const { return what != What::none; }
};

// Told of the bytes copied so far, of all; returning false stops.
using ExtractProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// Copies `entry` out of `book` into a new file at `target`. Never replaces anything; when
// it fails, the file it made is gone again.
ExtractFailure extract_entry(platform::File& book, const IndexEntry& entry,
                             const std::string& target, const ExtractProgress& progress = {});

// Every entry of `info` into `dir`, under extract_file_name(). Every name is checked
// before anything is written, and a failure removes every file this call made, so the
// folder is left as it was. `written` names the files made, in book order.
ExtractFailure extract_all(platform::File& book, const Book& info, const std::string& dir,
                           std::vector<std::string>& written, const ExtractProgress& progress = {});

// One Chinese sentence for the failure.
std::string describe(const ExtractFailure& failure);

}  // namespace container
