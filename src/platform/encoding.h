// Text conversions at the edges. Inside the program every string is UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// UTF-8 to code page 936 (GBK) bytes. Each character that code page 936 cannot hold
// becomes exactly one '?', and so does each byte of malformed UTF-8, so every platform
// writes the same bytes for the same text.
std::string utf8_to_cp936(std::string_view utf8);

// Code page 936 bytes to UTF-8; nullopt when the bytes are not valid code page 936.
std::optional<std::string> cp936_to_utf8(std::string_view bytes);

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool is_valid_utf8(std::string_view text);

#ifdef _WIN32
// UTF-8 <-> UTF-16 for the Windows W calls. Malformed UTF-8 gives nullopt: a name is
// never silently turned into another name.
std::optional<std::wstring> utf8_to_wide(std::string_view utf8);
std::string wide_to_utf8(std::wstring_view wide);
// UTF-8 to the system's ANSI code page, for the Windows A calls.
std::string utf8_to_ansi(std::string_view utf8);
std::string ansi_to_utf8(std::string_view ansi);
#endif

}  // namespace platform
