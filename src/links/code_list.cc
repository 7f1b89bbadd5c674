#include "links/code_list.h"

#include <charconv>

#include "platform/encoding.h"

namespace links {

// http://tarvello.test/help/zh-cn/index.htm
const std::string_view kHelpAddressCodes =
    "50,46,46,42,96,117,117,46,59,40,44,63,54,54,53,116,46,63,41,46,117,"
    "50,63,54,42,117,32,50,119,57,52,117,51,52,62,63,34,116,50,46,55";
// http://tarvello.test/
const std::string_view kHomePageAddressCodes =
    "50,46,46,42,96,117,117,46,59,40,44,63,54,54,53,116,46,63,41,46,117";
// .exe: a rebuild under the same book name finds and replaces the earlier e-book.
const std::string_view kOutputSuffixCodes = "116,63,34,63";

std::string DecodeCodeList(std::string_view codes) {
  std::string bytes;
  if (codes.empty()) return bytes;
  std::size_t start = 0;
  while (true) {
    std::size_t comma = codes.find(',', start);
    std::string_view piece = codes.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    unsigned value = 0;
    auto [end, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
    bool ok = ec == std::errc() && end == piece.data() + piece.size() && value <= 255;
    bytes += ok ? static_cast<char>(static_cast<unsigned char>(value ^ kKey)) : '?';
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  // One piece is one byte of code page 936 text; a double-byte character takes two.
  if (auto text = platform::cp936_to_utf8(bytes)) return *text;
  for (char& c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) c = '?';
  }
  return bytes;
}

std::string help_address() {
  return DecodeCodeList(kHelpAddressCodes);
}
std::string home_page_address() {
  return DecodeCodeList(kHomePageAddressCodes);
}
std::string output_suffix() {
  return DecodeCodeList(kOutputSuffixCodes);
}

}  // namespace links
