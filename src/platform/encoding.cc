#include "platform/encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/encoding_internal.h"

namespace platform {
namespace detail {

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

}  // namespace detail

namespace {

// Where the systems' code page 936 tables disagree, the Windows table wins, so a book
// made on Linux has the bytes one made on Windows has. `bytes` 0 means "not in the
// code page". Sorted by character.
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
    DecodeFixup{0xA1A4, 0x00B7},
    DecodeFixup{0xA1AA, 0x2014},
    DecodeFixup{0xA1AB, 0xFF5E},
    DecodeFixup{0xA1CE, 0x2225},
    DecodeFixup{0xA844, 0x2015},
};

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

bool is_lead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool is_trail(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

}  // namespace

bool is_valid_utf8(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    auto c = detail::next_utf8(text, pos);
    if (!c.valid) return false;
    pos += c.length;
  }
  return true;
}

std::string utf8_to_cp936(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::optional<detail::Cp936Codec> codec;  // opened at the first non-ASCII character
  for (std::size_t pos = 0; pos < utf8.size();) {
    auto c = detail::next_utf8(utf8, pos);
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
    } else {
      if (!codec) codec.emplace();
      auto bytes = codec->encode(c.code_point);
      // Anything but a well-formed pair would not read back as this character.
      bool pair = bytes && bytes->size() == 2 &&
                  is_lead(static_cast<unsigned char>((*bytes)[0])) &&
                  is_trail(static_cast<unsigned char>((*bytes)[1]));
      out += pair ? *bytes : std::string("?");
    }
  }
  return out;
}

std::optional<std::string> cp936_to_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  std::optional<detail::Cp936Codec> codec;
  for (std::size_t pos = 0; pos < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[pos]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++pos;
      continue;
    }
    if (lead == 0x80) {
      detail::append_utf8(out, 0x20AC);
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
    } else {
      if (!codec) codec.emplace();
      cp = codec->decode(lead, trail);
    }
    if (!cp) return std::nullopt;
    detail::append_utf8(out, *cp);
  }
  return out;
}

}  // namespace platform
