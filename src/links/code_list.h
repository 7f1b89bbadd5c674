// The stored addresses and the e-book suffix are kept as code lists: decimal numbers,
// one per character, each the character's code page 936 byte exclusive-or a fixed key.
#pragma once

#include <string>
#include <string_view>

namespace links {

inline constexpr unsigned char kKey = 0x5A;

// The three stored code lists.
extern const std::string_view kHelpAddressCodes;      // 41 characters
extern const std::string_view kHomePageAddressCodes;  // 21 characters, the head of the help address
extern const std::string_view kOutputSuffixCodes;     // 4 characters

// Decodes a code list: split at commas, each number exclusive-or kKey is one byte of code
// page 936 text. Returns UTF-8. An empty list gives an empty text; a piece that is not a
// number from 0 to 255 gives '?'.
std::string DecodeCodeList(std::string_view codes);

std::string help_address();
std::string home_page_address();
std::string output_suffix();

}  // namespace links
