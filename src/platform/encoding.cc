#include "platform/encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/encoding_internal.h"

namespace platform {

Utf8Char next_utf8(std::string_view text, std::size_t pos) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  if (lead < 0x80) return {lead, 1, true};

  // The shortest form only, and nothing in the surrogate range or above U+10FFFF: the
  // allowed second bytes narrow for the leads where those would start.
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  char32_t code_point = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code_point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code_point = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code_point = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {};
  }
  if (text.size() - pos < length) return {};
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char c = byte(pos + i);
    if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) return {};
    code_point = (code_point << 6) | (c & 0x3F);
  }
  return {code_point, length, true};
}

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

namespace {

using detail::Cp936Codec;

// The cells where code page 936 tables in the wild disagree (older GBK tables give A1A4
// to U+30FB and A1AA to U+2015, some lack the euro sign), pinned to the Windows table,
// so a book made on Linux has the bytes of one made on Windows whatever the C library.
// `bytes` 0 means "not in the code page". Sorted by character.
struct Fixup {
  char32_t code_point;
  std::uint16_t bytes;
};
constexpr std::array kEncodeFixups = {
    Fixup{0x00B7, 0xA1A4},  // middle dot
    Fixup{0x2014, 0xA1AA},  // em dash
    Fixup{0x2015, 0xA844},  // horizontal bar
    Fixup{0x20AC, 0x0080},  // euro sign, the one single byte above ASCII
    Fixup{0x2225, 0xA1CE},  // parallel to
    Fixup{0x30FB, 0x0000},  // katakana middle dot: Windows only best-fits it to A1A4
    Fixup{0xFF5E, 0xA1AB},  // fullwidth tilde
};

// The same disagreements seen from the bytes.
struct DecodeFixup {
  std::uint16_t bytes;
  char32_t code_point;  // 0: the pair stands for nothing
};
constexpr std::array kDecodeFixups = {
    DecodeFixup{0xA1A4, 0x00B7}, DecodeFixup{0xA1AA, 0x2014}, DecodeFixup{0xA1AB, 0xFF5E},
    DecodeFixup{0xA1CE, 0x2225}, DecodeFixup{0xA844, 0x2015},
};

// Code page 936 on Windows gives its user-defined and unassigned double-byte cells the
// private-use characters U+E000 to U+E864; glibc leaves them out. Three blocks follow a
// rule, the rest are these runs: `count` cells from `bytes` on go to `count` characters
// from `code_point` on.
struct PrivateRun {
  std::uint16_t bytes;
  char32_t code_point;
  std::uint16_t count;
};
constexpr std::array kPrivateRuns = {
    PrivateRun{0xA2AB, 0xE766, 6},  PrivateRun{0xA2E3, 0xE76C, 2},  PrivateRun{0xA2EF, 0xE76E, 2},
    PrivateRun{0xA2FD, 0xE770, 2},  PrivateRun{0xA4F4, 0xE772, 11}, PrivateRun{0xA5F7, 0xE77D, 8},
    PrivateRun{0xA6B9, 0xE785, 8},  PrivateRun{0xA6D9, 0xE78D, 7},  PrivateRun{0xA6EC, 0xE794, 2},
    PrivateRun{0xA6F3, 0xE796, 1},  PrivateRun{0xA6F6, 0xE797, 9},  PrivateRun{0xA7C2, 0xE7A0, 15},
    PrivateRun{0xA7F2, 0xE7AF, 13}, PrivateRun{0xA896, 0xE7BC, 11}, PrivateRun{0xA8BC, 0xE7C7, 1},
    PrivateRun{0xA8BF, 0xE7C8, 1},  PrivateRun{0xA8C1, 0xE7C9, 4},  PrivateRun{0xA8EA, 0xE7CD, 21},
    PrivateRun{0xA958, 0xE7E2, 1},  PrivateRun{0xA95B, 0xE7E3, 1},  PrivateRun{0xA95D, 0xE7E4, 3},
    PrivateRun{0xA989, 0xE7E7, 13}, PrivateRun{0xA997, 0xE7F4, 13}, PrivateRun{0xA9F0, 0xE801, 15},
    PrivateRun{0xD7FA, 0xE810, 5},  PrivateRun{0xFE50, 0xE815, 47}, PrivateRun{0xFE80, 0xE844, 33},
};

// Runs never cross trail 0x7F, so plain arithmetic works inside one.
std::optional<char32_t> private_from_bytes(unsigned lead, unsigned trail) {
  if (lead >= 0xAA && lead <= 0xAF && trail >= 0xA1)
    return 0xE000 + (lead - 0xAA) * 94 + (trail - 0xA1);
  if (lead >= 0xF8 && lead <= 0xFE && trail >= 0xA1)
    return 0xE234 + (lead - 0xF8) * 94 + (trail - 0xA1);
  if (lead >= 0xA1 && lead <= 0xA7 && trail <= 0xA0)
    return 0xE4C6 + (lead - 0xA1) * 96 + (trail - 0x40) - (trail > 0x7F ? 1 : 0);
  const unsigned bytes = lead << 8 | trail;
  for (const auto& run : kPrivateRuns)
    if (bytes >= run.bytes && bytes < run.bytes + run.count)
      return run.code_point + (bytes - run.bytes);
  return std::nullopt;
}

std::optional<std::uint16_t> private_to_bytes(char32_t cp) {
  auto pair = [](unsigned lead, unsigned trail) {
    return static_cast<std::uint16_t>(lead << 8 | trail);
  };
  if (cp >= 0xE000 && cp < 0xE234)
    return pair(0xAA + (cp - 0xE000) / 94, 0xA1 + (cp - 0xE000) % 94);
  if (cp >= 0xE234 && cp < 0xE4C6)
    return pair(0xF8 + (cp - 0xE234) / 94, 0xA1 + (cp - 0xE234) % 94);
  if (cp >= 0xE4C6 && cp < 0xE766) {
    const unsigned t = (cp - 0xE4C6) % 96;
    return pair(0xA1 + (cp - 0xE4C6) / 96, 0x40 + t + (t >= 0x3F ? 1 : 0));
  }
  for (const auto& run : kPrivateRuns)
    if (cp >= run.code_point && cp < run.code_point + run.count)
      return static_cast<std::uint16_t>(run.bytes + (cp - run.code_point));
  return std::nullopt;
}

static_assert(std::is_sorted(kEncodeFixups.begin(), kEncodeFixups.end(),
                             [](const Fixup& a, const Fixup& b) {
                               return a.code_point < b.code_point;
                             }));
static_assert(std::is_sorted(kDecodeFixups.begin(), kDecodeFixups.end(),
                             [](const DecodeFixup& a, const DecodeFixup& b) {
                               return a.bytes < b.bytes;
                             }));

const Fixup* find_encode_fixup(char32_t cp) {
  auto it = std::lower_bound(kEncodeFixups.begin(), kEncodeFixups.end(), cp,
                             [](const Fixup& f, char32_t c) { return f.code_point < c; });
  return it != kEncodeFixups.end() && it->code_point == cp ? &*it : nullptr;
}

const DecodeFixup* find_decode_fixup(std::uint16_t bytes) {
  auto it = std::lower_bound(kDecodeFixups.begin(), kDecodeFixups.end(), bytes,
                             [](const DecodeFixup& f, std::uint16_t b) { return f.bytes < b; });
  return it != kDecodeFixups.end() && it->bytes == bytes ? &*it : nullptr;
}

bool is_lead(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}
bool is_trail(unsigned char c) {
  return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

}  // namespace

bool is_valid_utf8(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    auto c = next_utf8(text, pos);
    if (!c.valid) return false;
    pos += c.length;
  }
  return true;
}

std::optional<std::string> utf8_to_cp936(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    auto c = next_utf8(utf8, pos);
    pos += c.length;
    if (!c.valid) {
      out += '?';
    } else if (c.code_point < 0x80) {
      out += static_cast<char>(c.code_point);
    } else if (c.code_point > 0xFFFF) {
      out += '?';  // code page 936 holds nothing outside the BMP
    } else if (const Fixup* f = find_encode_fixup(c.code_point)) {
      if (f->bytes == 0) {
        out += '?';
      } else {
        if (f->bytes > 0xFF) out += static_cast<char>(f->bytes >> 8);
        out += static_cast<char>(f->bytes & 0xFF);
      }
    } else if (auto priv = private_to_bytes(c.code_point)) {
      out += static_cast<char>(*priv >> 8);
      out += static_cast<char>(*priv & 0xFF);
    } else {
      // Without the table every character would look missing: that is no conversion.
      if (!Cp936Codec::available()) return std::nullopt;
      auto bytes = Cp936Codec::encode(c.code_point);
      // Anything but a well-formed pair would not read back as this character.
      bool pair = bytes && bytes->size() == 2 && is_lead(static_cast<unsigned char>((*bytes)[0])) &&
                  is_trail(static_cast<unsigned char>((*bytes)[1]));
      out += pair ? *bytes : std::string("?");
    }
  }
  return out;
}

std::optional<std::string> cp936_to_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  for (std::size_t pos = 0; pos < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[pos]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++pos;
      continue;
    }
    if (lead == 0x80) {
      append_utf8(out, 0x20AC);
      ++pos;
      continue;
    }
    if (!is_lead(lead) || pos + 1 >= bytes.size()) return std::nullopt;
    const auto trail = static_cast<unsigned char>(bytes[pos + 1]);
    if (!is_trail(trail)) return std::nullopt;
    pos += 2;

    std::optional<char32_t> cp;
    if (const DecodeFixup* f = find_decode_fixup(static_cast<std::uint16_t>(lead << 8 | trail))) {
      if (f->code_point != 0) cp = f->code_point;
    } else if (auto priv = private_from_bytes(lead, trail)) {
      cp = priv;
    } else {
      cp = Cp936Codec::decode(lead, trail);
    }
    if (!cp) return std::nullopt;
    append_utf8(out, *cp);
  }
  return out;
}

}  // namespace platform
