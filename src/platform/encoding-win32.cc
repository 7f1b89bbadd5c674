// Code page 936 through the Windows API, and UTF-16 for the W calls. WC_NO_BEST_FIT_CHARS:
// a character the code page lacks becomes '?', never a look-alike that could name
// another file.
#include <windows.h>

#include "platform/encoding.h"
#include "platform/encoding_internal.h"

namespace platform {
namespace detail {

bool Cp936Codec::available() {
  return IsValidCodePage(936) != 0;
}

std::optional<std::string> Cp936Codec::encode(char32_t code_point) {
  if (code_point > 0xFFFF) return std::nullopt;
  const wchar_t wide = static_cast<wchar_t>(code_point);
  char out[4];
  BOOL used_default = FALSE;
  int n = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, &wide, 1, out, sizeof out, nullptr,
                              &used_default);
  if (n <= 0 || used_default) return std::nullopt;
  return std::string(out, static_cast<std::size_t>(n));
}

std::optional<char32_t> Cp936Codec::decode(unsigned char lead, unsigned char trail) {
  const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  wchar_t out[2];
  if (MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, in, 2, out, 2) != 1) return std::nullopt;
  return static_cast<char32_t>(out[0]);
}

}  // namespace detail

std::optional<std::wstring> utf8_to_wide(std::string_view utf8) {
  // Our own check, so Windows rejects exactly what Linux rejects.
  if (!is_valid_utf8(utf8)) return std::nullopt;
  return shown_wide(utf8);
}

std::wstring shown_wide(std::string_view utf8) {
  std::wstring out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    auto c = next_utf8(utf8, pos);
    pos += c.length;
    const char32_t cp = c.valid ? c.code_point : 0xFFFD;
    if (cp > 0xFFFF) {
      out += static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<wchar_t>(cp);
    }
  }
  return out;
}

std::string wide_to_utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int in_size = static_cast<int>(wide.size());
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), in_size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), in_size, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace platform
