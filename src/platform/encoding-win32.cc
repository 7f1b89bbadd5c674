// Code page 936 and the other conversions through the Windows API. WC_NO_BEST_FIT_CHARS
// everywhere: a character the code page lacks becomes '?', never a look-alike that
// could name another file.
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

namespace {

// UTF-16 with one '?' for each byte of malformed UTF-8, as utf8_to_cp936 does. An ANSI
// code page holds nothing outside the BMP, and Windows would write a surrogate pair as
// two '?': such a character becomes one '?' here already.
std::wstring to_wide_for_ansi(std::string_view utf8, bool keep_astral) {
  std::wstring out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    auto c = next_utf8(utf8, pos);
    pos += c.length;
    if (!c.valid || (c.code_point > 0xFFFF && !keep_astral)) {
      out += L'?';
    } else if (c.code_point > 0xFFFF) {
      const char32_t v = c.code_point - 0x10000;
      out += static_cast<wchar_t>(0xD800 + (v >> 10));
      out += static_cast<wchar_t>(0xDC00 + (v & 0x3FF));
    } else {
      out += static_cast<wchar_t>(c.code_point);
    }
  }
  return out;
}

std::string narrow(std::wstring_view wide, UINT code_page, DWORD flags) {
  if (wide.empty()) return {};
  const int in_size = static_cast<int>(wide.size());
  int n = WideCharToMultiByte(code_page, flags, wide.data(), in_size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(code_page, flags, wide.data(), in_size, out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring widen(std::string_view bytes, UINT code_page, DWORD flags) {
  if (bytes.empty()) return {};
  const int in_size = static_cast<int>(bytes.size());
  int n = MultiByteToWideChar(code_page, flags, bytes.data(), in_size, nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(code_page, flags, bytes.data(), in_size, out.data(), n);
  return out;
}

}  // namespace

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
  return narrow(wide, CP_UTF8, 0);
}

std::string utf8_to_ansi(std::string_view utf8) {
  const UINT acp = GetACP();
  if (acp == 936) return utf8_to_cp936(utf8).value_or("");  // the index block's bytes
  if (acp == CP_UTF8) return wide_to_utf8(to_wide_for_ansi(utf8, true));
  const std::wstring wide = to_wide_for_ansi(utf8, false);
  std::string out = narrow(wide, CP_ACP, WC_NO_BEST_FIT_CHARS);
  // A few code pages take no flags at all.
  if (out.empty() && !wide.empty()) out = narrow(wide, CP_ACP, 0);
  return out;
}

std::string ansi_to_utf8(std::string_view ansi) {
  return wide_to_utf8(widen(ansi, CP_ACP, 0));
}

}  // namespace platform
