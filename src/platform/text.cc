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
      return "文件或文件夹不存在";
    case ErrorKind::no_permission:
      return "没有权限";
    case ErrorKind::read_only:
      return "磁盘或文件夹是只读的";
    case ErrorKind::disk_full:
      return "磁盘空间不足";
    case ErrorKind::name_too_long:
      return "文件名或路径太长";
    case ErrorKind::too_large:
      return "文件超过了系统允许的大小";
    case ErrorKind::not_ordinary:
      return "不是普通文件";
    case ErrorKind::io:
      return "读写磁盘时出错";
    case ErrorKind::cancelled:
      return "操作已取消";
    case ErrorKind::other:
      break;
  }
  return error.message.empty() ? "系统拒绝了这一操作" : error.message;
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
