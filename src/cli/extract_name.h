// The names extract gives the PDFs it writes. Titles come from e-books we did not make,
// so a title must never steer a file out of the target folder or onto a device.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace cli {

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

}  // namespace cli
