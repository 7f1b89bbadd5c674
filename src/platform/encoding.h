// Text conversions at the edges. Inside the program every string is UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// One step through UTF-8: a well-formed character (shortest form, no surrogates, at most
// U+10FFFF), or one bad byte (valid == false, length == 1) so a caller can go on with the
// next byte. `pos` must be inside `text`.
struct Utf8Char {
  char32_t code_point = 0;
  std::size_t length = 1;
  bool valid = false;
};
Utf8Char next_utf8(std::string_view text, std::size_t pos);

void append_utf8(std::string& out, char32_t code_point);

// True when `text` is well-formed UTF-8.
bool is_valid_utf8(std::string_view text);

// UTF-8 to code page 936 (GBK) bytes. Each character that code page 936 cannot hold
// becomes exactly one '?', and so does each byte of malformed UTF-8, so every platform
// writes the same bytes for the same text. nullopt only when the system cannot convert
// to code page 936 at all: a caller must then fail, never write '?' for a character
// that the code page holds.
std::optional<std::string> utf8_to_cp936(std::string_view utf8);

// Code page 936 bytes to UTF-8; nullopt when the bytes are not valid code page 936.
std::optional<std::string> cp936_to_utf8(std::string_view bytes);

#ifdef _WIN32
// UTF-8 to UTF-16 for the W calls. Malformed UTF-8 gives nullopt: a file name is never
// silently turned into another name.
std::optional<std::wstring> utf8_to_wide(std::string_view utf8);
// The same for text that is only shown: each malformed byte becomes U+FFFD.
std::wstring shown_wide(std::string_view utf8);
std::string wide_to_utf8(std::wstring_view wide);
#endif

}  // namespace platform
