// Code page 936 from the table generated into the program at build time
// (cp936_table_gen), so no converter module is needed, or can fail, at run time.
#include <array>
#include <cstdint>
#include <memory>

#include "platform/encoding_internal.h"

namespace platform::detail {
namespace {

#include "cp936_table.inc"

constexpr unsigned kTrails = 191;  // 0x40 to 0xFE

// Character to cell, made from the table the first time the builder needs it.
const std::array<std::uint16_t, 0x10000>& cells_by_character() {
  static const auto reverse = [] {
    auto r = std::make_unique<std::array<std::uint16_t, 0x10000>>();
    r->fill(0);
    for (unsigned i = 0; i < std::size(kCp936Cells); ++i) {
      std::uint16_t& cell = (*r)[kCp936Cells[i]];
      // The first cell of a character wins, as the C library's converter chooses.
      if (kCp936Cells[i] != 0 && cell == 0) cell = static_cast<std::uint16_t>(i + 1);
    }
    return r;
  }();
  return *reverse;
}

}  // namespace

bool Cp936Codec::available() {
  return true;
}

std::optional<std::string> Cp936Codec::encode(char32_t code_point) {
  if (code_point > 0xFFFF) return std::nullopt;
  const unsigned cell = cells_by_character()[code_point];
  if (cell == 0) return std::nullopt;
  const unsigned i = cell - 1;
  return std::string{static_cast<char>(0x81 + i / kTrails), static_cast<char>(0x40 + i % kTrails)};
}

std::optional<char32_t> Cp936Codec::decode(unsigned char lead, unsigned char trail) {
  if (lead < 0x81 || lead > 0xFE || trail < 0x40 || trail > 0xFE) return std::nullopt;
  const std::uint16_t cp = kCp936Cells[(lead - 0x81u) * kTrails + (trail - 0x40u)];
  if (cp == 0) return std::nullopt;
  return cp;
}

}  // namespace platform::detail
