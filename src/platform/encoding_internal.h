// Pieces shared by the two halves of the text conversions: the portable walk over the
// text lives in encoding.cc, the system's own code page 936 tables behind Cp936Codec.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform::detail {

// One step through UTF-8: a well-formed character, or one bad byte (valid == false,
// length == 1) so the caller can go on with the next byte.
struct Utf8Char {
  char32_t code_point = 0;
  std::size_t length = 1;
  bool valid = false;
};
Utf8Char next_utf8(std::string_view text, std::size_t pos);

void append_utf8(std::string& out, char32_t code_point);

// Code page 936 through the system's tables, opened once per string and not once per
// character. Only characters above U+007F and double-byte pairs come here; the single
// bytes, the euro sign and the places where the systems disagree are settled before.
class Cp936Codec {
 public:
  Cp936Codec();
  ~Cp936Codec();
  Cp936Codec(const Cp936Codec&) = delete;
  Cp936Codec& operator=(const Cp936Codec&) = delete;

  // The two bytes of `code_point`, or nullopt when code page 936 has no such character.
  std::optional<std::string> encode(char32_t code_point);
  // The character of a double-byte pair, or nullopt when the pair stands for nothing.
  std::optional<char32_t> decode(unsigned char lead, unsigned char trail);

 private:
  void* to_936_ = nullptr;
  void* from_936_ = nullptr;
};

}  // namespace platform::detail
