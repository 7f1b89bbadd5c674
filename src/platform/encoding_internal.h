// The code page 936 table behind the portable walk of encoding.cc: generated into the
// program on Linux, the system's own on Windows.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform::detail {

// Code page 936. Only characters above U+007F and double-byte pairs come here; the single
// bytes, the euro sign and the places where the systems disagree are settled before.
class Cp936Codec {
 public:
  // False when the system has no code page 936 to convert with.
  static bool available();

  // The two bytes of `code_point`, or nullopt when code page 936 has no such character.
  static std::optional<std::string> encode(char32_t code_point);
  // The character of a double-byte pair, or nullopt when the pair stands for nothing.
  static std::optional<char32_t> decode(unsigned char lead, unsigned char trail);
};

}  // namespace platform::detail
