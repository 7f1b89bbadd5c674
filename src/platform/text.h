// What every program of the family says the same way: the exit codes, the caption of its
// messages, the usage error, and how a name from a file is shown to a person.
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
inline constexpr std::string_view kMessageTitle = "提示";
// The same, ready for a W call where nothing may be allocated (out of memory).
inline constexpr wchar_t kMessageTitleWide[] = L"提示";
// Each "{}" is filled in turn: what was wrong, then the program's name.
inline constexpr std::string_view kUsageError = "用法错误：{}\n请运行“{} --help”查看用法。\n";
// Before the reason, when what a program printed could not be written out.
inline constexpr std::string_view kOutputFailed = "无法输出结果：";
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
