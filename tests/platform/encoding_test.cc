#include "platform/encoding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#ifndef _WIN32
#include <iconv.h>
#endif

namespace {

using platform::cp936_to_utf8;

std::string cp936(const std::string& text) {
  return platform::utf8_to_cp936(text).value();
}

std::string hex(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes)
    out += "0123456789ABCDEF"[c >> 4], out += "0123456789ABCDEF"[c & 15];
  return out;
}

// The bytes Windows writes for code page 936, on every platform. Rows that read back
// are characters the code page holds; the others hold none (one '?' per character, never
// a look-alike) or malformed UTF-8 (one '?' per bad byte).
struct Row {
  std::string utf8, bytes;
  bool reads_back;
};
const Row kRows[] = {
    {"Book 1.pdf ~!@#$%^&*()", "Book 1.pdf ~!@#$%^&*()", true},
    {"\u2642\u2640\u4E66\u3000\uFFE5", "\xA1\xE1\xA1\xE2\xCA\xE9\xA1\xA1\xA3\xA4", true},
    // Where the tables in the wild disagree: pinned to Windows.
    {"\u20AC\u00B7\u2014\u2015\uFF5E\u2225", "\x80\xA1\xA4\xA1\xAA\xA8\x44\xA1\xAB\xA1\xCE", true},
    // Windows' private-use cells, by rule and in runs.
    {"\uE000\uE4C6\uE5E5\uE766\uE864", "\xAA\xA1\xA1\x40\xA3\xA0\xA2\xAB\xFE\xA0", true},
    {"a\U0001F4DAb\u30FB\u00A0\u301C\u2212\u00B5\uD55C\uE865\uF8F5", "a?b????????", false},
    {"a\x80z\xE4\xB9", "a?z??", false},
    {"\xC0\xAF\xE0\x80\xAF\xED\xA0\x80\xF4\x90\x80\x80\xFE", "?????????????", false},
};

TEST(Cp936, WritesTheWindowsBytesAndReadsThemBack) {
  for (const auto& row : kRows) {
    EXPECT_EQ(hex(cp936(row.utf8)), hex(row.bytes));
    if (row.reads_back) {
      EXPECT_EQ(cp936_to_utf8(row.bytes), row.utf8) << hex(row.bytes);
    }
  }
  // Not code page 936: a lead byte at the end, trail bytes out of range, 0xFF.
  for (std::string bad : {"\xCA", "abc\xCA", "\xCA\x7F", "\xCA\x20", "\x81\xFF", "a\xFF"}) {
    EXPECT_FALSE(cp936_to_utf8(bad)) << hex(bad);
  }
  // A trail byte in the ASCII range belongs to its lead, not to the text after it.
  EXPECT_EQ(cp936_to_utf8("\x81\x40"), "\u4E02");
}

TEST(Cp936, EveryCellReadsBackAndTheWholeTableMatchesWindows) {
  std::string all;
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead)
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail)
      if (trail != 0x7F) all += {static_cast<char>(lead), static_cast<char>(trail)};
  auto text = cp936_to_utf8(all);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(hex(cp936(*text)), hex(all));

  // A checksum of the bytes Windows writes for every character of the BMP, so a single
  // character one platform converts differently shows.
  std::string bmp;
  for (char32_t cp = 0x80; cp <= 0xFFFF; ++cp)
    if (cp < 0xD800 || cp > 0xDFFF) platform::append_utf8(bmp, cp);
  std::uint64_t h = 0xcbf29ce484222325u;
  for (unsigned char c : cp936(bmp)) h = (h ^ c) * 0x100000001b3u;
  EXPECT_EQ(h, 0xb5a24903bb445036u);
}

#ifdef _WIN32
TEST(Utf16, NamesNeverTurnIntoOtherNames) {
  EXPECT_EQ(platform::utf8_to_wide("\u4E66.pdf \U0001F600"), L"\u4E66.pdf \U0001F600");
  EXPECT_EQ(platform::wide_to_utf8(L"\u4E66\U0001F600"), "\u4E66\U0001F600");
  EXPECT_FALSE(platform::utf8_to_wide("a\xE4\xB9.pdf"));
  EXPECT_EQ(platform::shown_wide("a\xE4\xB9"), L"a\uFFFD\uFFFD");
}
#else
// The table built into the program is the C library's own, cell for cell, but for the
// cells pinned to Windows' table; cells the C library leaves out are Windows' private-use
// characters or nothing.
TEST(Cp936, TableMatchesTheSystemConverter) {
  iconv_t from = iconv_open("UTF-8", "CP936");
  ASSERT_NE(from, reinterpret_cast<iconv_t>(-1));
  const std::string pinned = "A1A4 A1AA A1AB A1CE A844";
  std::string wrong;
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
      char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      char out[8];
      char* in_ptr = in;
      char* out_ptr = out;
      std::size_t in_left = 2, out_left = sizeof out;
      const bool known = trail != 0x7F && iconv(from, &in_ptr, &in_left, &out_ptr, &out_left) == 0;
      iconv(from, nullptr, nullptr, nullptr, nullptr);
      const std::string cell(in, 2);
      const auto ours = cp936_to_utf8(cell);
      const bool ok = known ? (ours && *ours == std::string(out, sizeof out - out_left)) ||
                                  pinned.find(hex(cell)) != std::string::npos
                            : !ours || (*ours >= "\uE000" && *ours <= "\uE864");
      if (!ok) wrong += hex(cell) + " ";
    }
  }
  iconv_close(from);
  EXPECT_EQ(wrong, "");
}
#endif

}  // namespace
