// What every program of the family does the same way: the exit codes, the system's
// errors in words, and how a name from a file is shown to a person. The sentences of each
// program are in its own texts.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace platform {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;  // 128 + SIGINT, as shells report it

namespace texts {
// What went wrong, as describe() says it.
inline constexpr std::string_view kNotFound = "文件或文件夹不存在";
inline constexpr std::string_view kNoPermission = "没有权限";
inline constexpr std::string_view kReadOnly = "磁盘或文件夹是只读的";
inline constexpr std::string_view kDiskFull = "磁盘空间不足";
inline constexpr std::string_view kNameTooLong = "文件名或路径太长";
inline constexpr std::string_view kFileTooLarge = "文件超过了系统允许的大小";
inline constexpr std::string_view kNotOrdinary = "不是普通文件";
inline constexpr std::string_view kDiskError = "读写磁盘时出错";
inline constexpr std::string_view kCancelled = "操作已取消";
// When the system gave no text of its own.
inline constexpr std::string_view kRefused = "系统拒绝了这一操作";
}  // namespace texts

// Characters that must never reach a screen or a terminal from a file: C0 and C1
// controls, DEL, and the marks and overrides that turn text around (a title could
// otherwise disguise itself or the text after it).
bool is_control_or_direction(char32_t c);

// `text` fit for showing: those characters and malformed bytes become '?', and anything
// past `max_characters` becomes "…".
std::string shown(std::string_view text, std::size_t max_characters = 200);

// "“text”", shown(): the quotes every message puts around a name.
std::string quoted(std::string_view text);

// `pattern` with each "{}" replaced by the next of `words`, in turn.
std::string fill(std::string_view pattern, std::initializer_list<std::string_view> words);

// What went wrong, in Chinese, for the errors a user can do something about; the
// system's own text otherwise.
std::string describe(const Error& error);

#ifndef _WIN32
// Flushes and closes the standard output; false, with the reason, when what was printed
// did not all arrive (a full disk, a closed pipe).
bool close_standard_output(Error& err);
#endif

}  // namespace platform
