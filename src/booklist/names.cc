#include "booklist/names.h"

#include <algorithm>

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

std::string lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = ascii_lower(c);
  return out;
}

}  // namespace

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
  std::vector<std::pair<std::string, std::string>> keyed;  // (lowered, name)
  for (auto& n : *names) {
    if (matches_pdf_pattern(n)) keyed.emplace_back(lowered(n), std::move(n));
  }
  // Names that differ only in case still list in one fixed order: by their bytes.
  std::sort(keyed.begin(), keyed.end());
  std::vector<std::string> sorted;
  sorted.reserve(keyed.size());
  for (auto& k : keyed) sorted.push_back(std::move(k.second));
  return sorted;
}

std::string folder_entry_path(const std::string& folder, const std::string& name) {
  return platform::join(folder, name);
}

}  // namespace booklist
