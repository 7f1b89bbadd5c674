// Code page 936 through glibc's iconv. No //TRANSLIT: a character the code page cannot
// hold must become '?', never a look-alike.
#include <iconv.h>

#include <cerrno>
#include <cstdint>

#include "platform/encoding_internal.h"

namespace platform::detail {
namespace {

const iconv_t kClosed = reinterpret_cast<iconv_t>(-1);

iconv_t as_iconv(void* p) {
  return static_cast<iconv_t>(p);
}

// Converts one character; false when the table has no counterpart.
bool convert(void* handle, const char* in, std::size_t in_size, char* out, std::size_t& out_size) {
  if (as_iconv(handle) == kClosed) return false;
  char* in_ptr = const_cast<char*>(in);
  char* out_ptr = out;
  std::size_t in_left = in_size;
  std::size_t out_left = out_size;
  std::size_t r = iconv(as_iconv(handle), &in_ptr, &in_left, &out_ptr, &out_left);
  // Back to the initial state whatever happened, for the next character.
  iconv(as_iconv(handle), nullptr, nullptr, nullptr, nullptr);
  if (r == static_cast<std::size_t>(-1) || in_left != 0) return false;
  out_size -= out_left;
  return true;
}

}  // namespace

// Each direction is opened when first needed; a failed open stays failed, and every
// character then counts as missing from the code page.
Cp936Codec::Cp936Codec() = default;

Cp936Codec::~Cp936Codec() {
  for (void* handle : {to_936_, from_936_})
    if (handle && as_iconv(handle) != kClosed) iconv_close(as_iconv(handle));
}

std::optional<std::string> Cp936Codec::encode(char32_t code_point) {
  std::string utf8;
  append_utf8(utf8, code_point);
  if (!to_936_) to_936_ = iconv_open("CP936", "UTF-8");
  char out[8];
  std::size_t size = sizeof out;
  if (!convert(to_936_, utf8.data(), utf8.size(), out, size)) return std::nullopt;
  return std::string(out, size);
}

std::optional<char32_t> Cp936Codec::decode(unsigned char lead, unsigned char trail) {
  if (!from_936_) from_936_ = iconv_open("UTF-8", "CP936");
  const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  char out[8];
  std::size_t size = sizeof out;
  if (!convert(from_936_, in, 2, out, size) || size == 0) return std::nullopt;
  auto c = next_utf8(std::string_view(out, size), 0);
  if (!c.valid || c.length != size) return std::nullopt;
  return c.code_point;
}

}  // namespace platform::detail
