#include "builder/extract_name.h"

#include <array>
#include <cctype>

#include "platform/encoding.h"

namespace builder {
namespace {

// Names Windows keeps for devices whatever their extension.
constexpr std::array<std::string_view, 8> kDeviceNames = {"CON", "PRN", "AUX",    "NUL",
                                                          "COM", "LPT", "CONIN$", "CONOUT$"};

// Length of the UTF-8 character that starts at `text[i]`, or 0 when the bytes there are
// no well-formed character.
std::size_t character_length(std::string_view text, std::size_t i) {
  auto lead = static_cast<unsigned char>(text[i]);
  std::size_t n = lead < 0x80           ? 1
                  : (lead >> 5) == 0x6  ? 2
                  : (lead >> 4) == 0xE  ? 3
                  : (lead >> 3) == 0x1E ? 4
                                        : 0;
  if (n == 0 || i + n > text.size()) return 0;
  return platform::is_valid_utf8(text.substr(i, n)) ? n : 0;
}

bool is_unsafe_ascii(unsigned char c) {
  static constexpr std::string_view kReserved = "/\\<>:\"|?*";
  return c < 0x20 || c == 0x7F || kReserved.find(static_cast<char>(c)) != std::string_view::npos;
}

// U+0080 to U+009F: some terminals act on them, and nobody means them in a name.
bool is_c1_control(std::string_view character) {
  return character.size() == 2 && static_cast<unsigned char>(character[0]) == 0xC2 &&
         static_cast<unsigned char>(character[1]) < 0xA0;
}

bool is_dot_or_space(char c) {
  return c == '.' || c == ' ';
}

void trim_dots_and_spaces(std::string& text) {
  std::size_t begin = 0;
  while (begin < text.size() && is_dot_or_space(text[begin])) ++begin;
  std::size_t end = text.size();
  while (end > begin && is_dot_or_space(text[end - 1])) --end;
  text = text.substr(begin, end - begin);
}

}  // namespace

std::string safe_title(std::string_view title) {
  // Replace first, then trim, so a title such as "./." cannot leave a dot at the edge.
  std::string replaced;
  for (std::size_t i = 0; i < title.size();) {
    std::size_t n = character_length(title, i);
    std::string_view character = title.substr(i, n == 0 ? 1 : n);
    if (n == 0 || is_c1_control(character) ||
        (n == 1 && is_unsafe_ascii(static_cast<unsigned char>(character[0])))) {
      replaced += '_';
    } else {
      replaced += character;
    }
    i += character.size();
  }
  trim_dots_and_spaces(replaced);

  // Everything left is well-formed UTF-8, so whole characters are easy to keep.
  std::string cut;
  for (std::size_t i = 0; i < replaced.size();) {
    std::size_t n = character_length(replaced, i);
    if (cut.size() + n > kMaxTitleBytes) break;
    cut.append(replaced, i, n);
    i += n;
  }
  trim_dots_and_spaces(cut);
  return cut;
}

bool is_device_name(std::string_view name) {
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  std::string upper;
  for (char c : stem) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (std::string_view device : kDeviceNames) {
    if (device == "COM" || device == "LPT") {
      if (upper.size() < 4 || upper.compare(0, 3, device) != 0) continue;
      std::string_view number = std::string_view(upper).substr(3);
      // COM1 to COM9 and the superscript ¹ ² ³ that Windows also maps to the ports.
      if ((number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "¹" ||
          number == "²" || number == "³") {
        return true;
      }
    } else if (upper == device) {
      return true;
    }
  }
  return false;
}

std::string extract_file_name(std::size_t number, std::size_t count, std::string_view title) {
  std::size_t width = std::to_string(count).size();
  if (width < 3) width = 3;
  std::string digits = std::to_string(number);
  std::string name(digits.size() < width ? width - digits.size() : 0, '0');
  name += digits;
  std::string safe = safe_title(title);
  if (!safe.empty()) name += "-" + safe;
  return name + ".pdf";
}

std::string single_file_name(std::string_view title) {
  std::string safe = safe_title(title);
  if (safe.empty()) return "未命名.pdf";
  std::string name = safe + ".pdf";
  return is_device_name(name) ? "_" + name : name;
}

}  // namespace builder
