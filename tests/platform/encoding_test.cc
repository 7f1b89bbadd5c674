#include "platform/encoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>

#ifndef _WIN32
#include <iconv.h>
#endif

namespace {

using platform::cp936_to_utf8;
using platform::is_valid_utf8;

std::string utf8_to_cp936(const std::string& text) {
  return platform::utf8_to_cp936(text).value();
}

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::uint64_t fnv1a(const std::string& bytes) {
  std::uint64_t h = 0xcbf29ce484222325u;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 0x100000001b3u;
  }
  return h;
}

// The same table on every platform: these are the bytes Windows writes for code page 936.
struct Vector {
  const char* name;
  std::string utf8;
  std::string cp936;
};

const Vector kVectors[] = {
    {"ascii", "Book 1.pdf ~!@#$%^&*()", "Book 1.pdf ~!@#$%^&*()"},
    {"male sign", "\u2642", "\xA1\xE1"},
    {"female sign", "\u2640", "\xA1\xE2"},
    {"hanzi", "\u4E66", "\xCA\xE9"},
    {"euro", "\u20AC", "\x80"},
    {"middle dot", "\u00B7", "\xA1\xA4"},
    {"em dash", "\u2014", "\xA1\xAA"},
    {"horizontal bar", "\u2015", "\xA8\x44"},
    {"fullwidth tilde", "\uFF5E", "\xA1\xAB"},
    {"parallel to", "\u2225", "\xA1\xCE"},
    {"ideographic space", "\u3000", "\xA1\xA1"},
    {"fullwidth yen", "\uFFE5", "\xA3\xA4"},
    {"private use, rule", "\uE000\uE4C6\uE5E5", "\xAA\xA1\xA1\x40\xA3\xA0"},
    {"private use, run", "\uE766\uE864", "\xA2\xAB\xFE\xA0"},
    {"index line",
     "\u7B2C"
     "1"
     "\u7AE0\u2642"
     "590000"
     "\u2640"
     "12\r\n",
     "\xB5\xDA"
     "1"
     "\xD5\xC2\xA1\xE1"
     "590000"
     "\xA1\xE2"
     "12\r\n"},
};

// Characters that code page 936 cannot hold: one '?' each, never a look-alike.
const Vector kMissing[] = {
    {"emoji", "\U0001F600", "?"},
    {"emoji in text", "a\U0001F4DAb", "a?b"},
    {"katakana middle dot", "\u30FB", "?"},
    {"no-break space", "\u00A0", "?"},
    {"wave dash", "\u301C", "?"},
    {"minus sign", "\u2212", "?"},
    {"micro sign", "\u00B5", "?"},
    {"hangul", "\uD55C\uAE00", "??"},
    {"private use past the table", "\uE865\uF8F5", "??"},
    {"mixed", "\u4E66\u00A0\U0001F600\u4E66", "\xCA\xE9??\xCA\xE9"},
};

// Malformed UTF-8: one '?' per bad byte.
const Vector kMalformed[] = {
    {"stray continuation",
     "a\x80"
     "b",
     "a?b"},
    {"truncated at the end", "\xE4\xB9", "??"},
    {"truncated before text",
     "\xE4\xB9"
     "x\xE4\xB9\xA6",
     "??x\xCA\xE9"},
    {"overlong slash", "\xC0\xAF", "??"},
    {"overlong three bytes", "\xE0\x80\xAF", "???"},
    {"surrogate", "\xED\xA0\x80", "???"},
    {"past U+10FFFF", "\xF4\x90\x80\x80", "????"},
    {"never valid", "\xFE\xFF", "??"},
    {"truncated emoji", "\xF0\x9F\x98", "???"},
};

TEST(Cp936, WritesTheWindowsBytes) {
  for (const auto& v : kVectors) {
    EXPECT_EQ(hex(utf8_to_cp936(v.utf8)), hex(v.cp936)) << v.name;
    auto back = cp936_to_utf8(v.cp936);
    ASSERT_TRUE(back.has_value()) << v.name;
    EXPECT_EQ(*back, v.utf8) << v.name;
  }
  for (const auto& v : kMissing) EXPECT_EQ(hex(utf8_to_cp936(v.utf8)), hex(v.cp936)) << v.name;
  for (const auto& v : kMalformed) EXPECT_EQ(hex(utf8_to_cp936(v.utf8)), hex(v.cp936)) << v.name;
}

TEST(Cp936, RejectsBytesThatAreNotCodePage936) {
  const std::string bad[] = {
      "\xCA",      // lead byte at the very end
      "abc\xCA",   // the same after text
      "\xCA\x7F",  // 0x7F is no trail byte
      "\xCA\x20",  // nor is anything below 0x40
      "\x81\xFF",  // nor 0xFF
      "\xFF",      // 0xFF is nothing on its own
      "a\xFF"
      "b",
  };
  for (const auto& b : bad) EXPECT_FALSE(cp936_to_utf8(b).has_value()) << hex(b);

  EXPECT_EQ(cp936_to_utf8(""), std::string());
  EXPECT_EQ(cp936_to_utf8("\x80"), "\u20AC");
  // A trail byte in the ASCII range belongs to its lead, not to the text after it.
  EXPECT_EQ(cp936_to_utf8("\x81\x40"), "\u4E02");
}

TEST(Cp936, EveryDoubleByteCellReadsBackToItself) {
  std::string all;
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead)
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail)
      if (trail != 0x7F) {
        all += static_cast<char>(lead);
        all += static_cast<char>(trail);
      }
  auto text = cp936_to_utf8(all);
  ASSERT_TRUE(text.has_value());
  EXPECT_TRUE(is_valid_utf8(*text));
  EXPECT_EQ(hex(utf8_to_cp936(*text)), hex(all));
}

// The whole Basic Multilingual Plane at once: a checksum of the bytes Windows writes for
// each character, so a single character that one platform converts differently shows.
TEST(Cp936, WholeTableMatchesWindows) {
  std::string text;
  for (char32_t cp = 0x80; cp <= 0xFFFF; ++cp)
    if (cp < 0xD800 || cp > 0xDFFF) platform::append_utf8(text, cp);
  const std::string bytes = utf8_to_cp936(text);
  std::size_t held = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '?') continue;
    ++held;
    if (static_cast<unsigned char>(bytes[i]) != 0x80) ++i;
  }
  EXPECT_EQ(held, 23941u);  // every double-byte cell, and the euro sign
  EXPECT_EQ(bytes.size(), 87300u);
  EXPECT_EQ(fnv1a(bytes), 0xb5a24903bb445036u);
}

TEST(Utf8, Validation) {
  EXPECT_TRUE(is_valid_utf8(""));
  EXPECT_TRUE(is_valid_utf8("plain"));
  EXPECT_TRUE(is_valid_utf8("\u4E66\u00B7\U0001F600\U0010FFFF"));
  EXPECT_TRUE(is_valid_utf8(std::string("a\0b", 3)));
  EXPECT_FALSE(is_valid_utf8("\xC0\x80"));          // overlong NUL
  EXPECT_FALSE(is_valid_utf8("\xED\xBF\xBF"));      // surrogate
  EXPECT_FALSE(is_valid_utf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(is_valid_utf8("\xE4\xB9"));          // cut short
  EXPECT_FALSE(is_valid_utf8("\xA6"));
}

#ifdef _WIN32
TEST(Utf16, NamesNeverTurnIntoOtherNames) {
  auto wide = platform::utf8_to_wide("\u4E66.pdf \U0001F600");
  ASSERT_TRUE(wide.has_value());
  EXPECT_EQ(*wide, L"\u4E66.pdf \U0001F600");
  EXPECT_EQ(platform::wide_to_utf8(*wide), "\u4E66.pdf \U0001F600");
  EXPECT_EQ(platform::utf8_to_wide(""), std::wstring());
  EXPECT_FALSE(platform::utf8_to_wide("a\xE4\xB9.pdf").has_value());
  EXPECT_FALSE(platform::utf8_to_wide("\xED\xA0\x80").has_value());
}

#else
// The table built into the program is the C library's own, cell for cell, but for the
// few cells pinned to Windows' table; cells the C library leaves out are Windows'
// private-use characters or nothing.
TEST(Cp936, TableMatchesTheSystemConverter) {
  iconv_t from = iconv_open("UTF-8", "CP936");
  ASSERT_NE(from, reinterpret_cast<iconv_t>(-1));
  const std::string pinned[] = {"\xA1\xA4", "\xA1\xAA", "\xA1\xAB", "\xA1\xCE", "\xA8\x44"};
  std::string wrong;
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      char out[8];
      char* in_ptr = in;
      char* out_ptr = out;
      std::size_t in_left = 2, out_left = sizeof out;
      const bool known = iconv(from, &in_ptr, &in_left, &out_ptr, &out_left) == 0;
      iconv(from, nullptr, nullptr, nullptr, nullptr);
      const std::string cell(in, 2);
      const auto ours = cp936_to_utf8(cell);
      const bool ok =
          known ? (ours && *ours == std::string(out, sizeof out - out_left)) ||
                      std::find(std::begin(pinned), std::end(pinned), cell) != std::end(pinned)
                : !ours || (*ours >= "\uE000" && *ours <= "\uE864");
      if (!ok) wrong += hex(cell) + " ";
    }
  }
  iconv_close(from);
  EXPECT_EQ(wrong, "");
}
#endif

}  // namespace
