#include "booklist/names.h"

#include <algorithm>
#include <cstdint>

#include "booklist/book_list.h"
#include "platform/encoding.h"
#include "platform/file.h"

namespace booklist {
namespace {

char ascii_lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case is ignored for ASCII letters only; bytes of multi-byte UTF-8 characters are all
// above 0x7F, so they never match part of ".pdf".
bool is_pdf_at(std::string_view s, std::size_t i) {
  static constexpr std::string_view kPdf = ".pdf";
  if (i + kPdf.size() > s.size()) return false;
  for (std::size_t k = 0; k < kPdf.size(); ++k) {
    if (ascii_lower(s[i + k]) != kPdf[k]) return false;
  }
  return true;
}

// A name cut into what natural order compares: numbers by value, one character else.
struct Token {
  std::string number;  // decimal digits, no leading zeros ("0" for zero); empty: a character
  char32_t character = 0;
};
using Key = std::vector<Token>;

int digit_value(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 0xFF10 && c <= 0xFF19) return static_cast<int>(c - 0xFF10);  // full-width
  return -1;
}

int chinese_digit(char32_t c) {
  switch (c) {
    case U'零':
    case U'〇':
      return 0;
    case U'一':
      return 1;
    case U'二':
    case U'两':
      return 2;
    case U'三':
      return 3;
    case U'四':
      return 4;
    case U'五':
      return 5;
    case U'六':
      return 6;
    case U'七':
      return 7;
    case U'八':
      return 8;
    case U'九':
      return 9;
    default:
      return -1;
  }
}

std::uint64_t chinese_unit(char32_t c) {
  switch (c) {
    case U'十':
      return 10;
    case U'百':
      return 100;
    case U'千':
      return 1000;
    case U'万':
      return 10000;
    default:
      return 0;
  }
}

// The value of a run of Chinese numerals: "十一" 11, "二十" 20, "一百零五" 105, and a run
// without units digit by digit, as years are written ("二〇二三" 2023).
std::string chinese_number(const std::vector<char32_t>& run) {
  const bool positional =
      std::none_of(run.begin(), run.end(), [](char32_t c) { return chinese_unit(c) != 0; });
  std::string digits;
  if (positional) {
    for (char32_t c : run) digits += static_cast<char>('0' + chinese_digit(c));
  } else {
    std::uint64_t total = 0, section = 0, digit = 0;
    bool seen_digit = false;
    for (char32_t c : run) {
      if (const int d = chinese_digit(c); d >= 0) {
        digit = static_cast<std::uint64_t>(d);
        seen_digit = true;
      } else if (const std::uint64_t unit = chinese_unit(c); unit == 10000) {
        total = (total + section + digit) * unit;
        section = digit = 0;
        seen_digit = false;
      } else {
        section += (seen_digit ? digit : 1) * unit;  // "十" alone is ten
        digit = 0;
        seen_digit = false;
      }
      // Names hold no numbers this large; past it every run compares alike.
      total = std::min<std::uint64_t>(total, UINT64_C(1) << 50);
    }
    digits = std::to_string(total + section + digit);
  }
  return digits;
}

std::string without_leading_zeros(std::string digits) {
  const std::size_t first = digits.find_first_not_of('0');
  return first == std::string::npos ? "0" : digits.substr(first);
}

Key key_of(std::string_view name) {
  Key key;
  std::vector<char32_t> chinese;
  std::string digits;
  auto flush = [&] {
    if (!digits.empty()) key.push_back({without_leading_zeros(digits), 0});
    if (!chinese.empty()) key.push_back({without_leading_zeros(chinese_number(chinese)), 0});
    digits.clear();
    chinese.clear();
  };
  for (std::size_t i = 0; i < name.size();) {
    const platform::Utf8Char u = platform::next_utf8(name, i);
    i += u.length;
    const char32_t c = u.valid ? u.code_point : 0xFFFD;
    if (const int d = digit_value(c); d >= 0) {
      if (!chinese.empty()) flush();
      digits += static_cast<char>('0' + d);
    } else if (chinese_digit(c) >= 0 || chinese_unit(c) != 0) {
      if (!digits.empty()) flush();
      chinese.push_back(c);
    } else {
      flush();
      key.push_back({"", c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c});
    }
  }
  flush();
  return key;
}

// <0, 0, >0 as `a` comes before, with or after `b`.
int compare(const Key& a, const Key& b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    const Token& x = a[i];
    const Token& y = b[i];
    const bool x_number = !x.number.empty(), y_number = !y.number.empty();
    if (x_number != y_number) return x_number ? -1 : 1;  // numbers before characters
    if (x_number) {
      if (x.number.size() != y.number.size()) return x.number.size() < y.number.size() ? -1 : 1;
      if (const int c = x.number.compare(y.number); c != 0) return c;
    } else if (x.character != y.character) {
      return x.character < y.character ? -1 : 1;
    }
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return 0;
}

// The natural order of two names by their keys; names the order holds equal go by bytes,
// so the order is total.
bool key_less(const Key& a_key, std::string_view a, const Key& b_key, std::string_view b) {
  const int c = compare(a_key, b_key);
  return c != 0 ? c < 0 : a < b;
}

}  // namespace

bool natural_less(std::string_view a, std::string_view b) {
  return key_less(key_of(a), a, key_of(b), b);
}

std::string title_from_file_name(std::string_view file_name) {
  std::string title;
  title.reserve(file_name.size());
  std::size_t i = 0;
  while (i < file_name.size()) {
    if (is_pdf_at(file_name, i)) {
      i += 4;
    } else {
      title += file_name[i++];
    }
  }
  return title;
}

bool is_accepted_file(std::string_view path) {
  return path.ends_with(".pdf") || path.ends_with(".PDF");
}

bool matches_pdf_pattern(std::string_view name) {
  return name.size() >= 4 && is_pdf_at(name, name.size() - 4);
}

std::string trim_spaces(std::string_view text) {
  std::size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return {};
  std::size_t end = text.find_last_not_of(' ');
  return std::string(text.substr(begin, end - begin + 1));
}

bool is_blank(std::string_view text) {
  static constexpr std::string_view kIdeographicSpace = "\u3000";
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {
      ++i;
    } else if (text.substr(i).starts_with(kIdeographicSpace)) {
      i += kIdeographicSpace.size();
    } else {
      return false;
    }
  }
  return true;
}

std::optional<std::vector<std::string>> list_pdf_names(const std::string& folder) {
  platform::Error err;
  auto names = platform::list_ordinary_files(folder, err);
  if (!names) return std::nullopt;
  std::vector<std::pair<Key, std::string>> keyed;
  for (auto& n : *names) {
    if (matches_pdf_pattern(n)) keyed.emplace_back(key_of(n), std::move(n));
  }
  // Each name is cut into its key once, not once per comparison.
  std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
    return key_less(a.first, a.second, b.first, b.second);
  });
  std::vector<std::string> sorted;
  sorted.reserve(keyed.size());
  for (auto& k : keyed) sorted.push_back(std::move(k.second));
  return sorted;
}

std::string folder_entry_path(const std::string& folder, const std::string& name) {
  return platform::join(folder, name);
}

std::optional<std::vector<Entry>> folder_entries(const std::string& folder) {
  auto names = list_pdf_names(folder);
  if (!names) return std::nullopt;
  std::vector<Entry> entries;
  entries.reserve(names->size());
  for (const auto& name : *names)
    entries.emplace_back(title_from_file_name(name), folder_entry_path(folder, name));
  return entries;
}

}  // namespace booklist
