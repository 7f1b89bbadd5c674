// The names the PDFs taken out of an e-book get. Titles come from e-books we did not
// make, so a title must never steer a file out of the target folder or onto a device.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace builder {

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

}  // namespace builder
