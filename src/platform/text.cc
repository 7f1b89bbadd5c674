#include "platform/text.h"

#include <cerrno>
#include <cstdio>

#include "platform/encoding.h"

namespace platform {

bool is_control_or_direction(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string shown(std::string_view text, std::size_t max_characters) {
  std::string out;
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++count) {
    if (count == max_characters) return out + "…";
    const Utf8Char c = next_utf8(text, i);
    if (!c.valid || is_control_or_direction(c.code_point)) {
      out += '?';
    } else {
      out.append(text, i, c.length);
    }
    i += c.length;
  }
  return out;
}

std::string quoted(std::string_view text) {
  return "“" + shown(text) + "”";
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

std::string describe(const Error& error) {
  switch (error.kind) {
    case ErrorKind::not_found:
      return std::string(texts::kNotFound);
    case ErrorKind::no_permission:
      return std::string(texts::kNoPermission);
    case ErrorKind::read_only:
      return std::string(texts::kReadOnly);
    case ErrorKind::disk_full:
      return std::string(texts::kDiskFull);
    case ErrorKind::name_too_long:
      return std::string(texts::kNameTooLong);
    case ErrorKind::too_large:
      return std::string(texts::kFileTooLarge);
    case ErrorKind::not_ordinary:
      return std::string(texts::kNotOrdinary);
    case ErrorKind::io:
      return std::string(texts::kDiskError);
    case ErrorKind::cancelled:
      return std::string(texts::kCancelled);
    case ErrorKind::other:
      break;
  }
  return error.message.empty() ? std::string(texts::kRefused) : error.message;
}

#ifndef _WIN32
bool close_standard_output(Error& err) {
  errno = 0;
  bool ok = std::fflush(stdout) == 0 && !std::ferror(stdout);
  int code = ok ? 0 : errno;
  if (std::fclose(stdout) != 0) {
    ok = false;
    if (code == 0) code = errno;
  }
  if (ok) return true;
  err = system_error(static_cast<unsigned long>(code != 0 ? code : EIO));
  return false;
}
#endif

}  // namespace platform
