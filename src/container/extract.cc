#include "container/extract.h"

#include <array>
#include <cctype>

#include "container/texts.h"
#include "platform/encoding.h"
#include "platform/text.h"

namespace container {
namespace {

// Names Windows keeps for devices whatever their extension.
constexpr std::array<std::string_view, 8> kDeviceNames = {"CON", "PRN", "AUX",    "NUL",
                                                          "COM", "LPT", "CONIN$", "CONOUT$"};

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
    const platform::Utf8Char c = platform::next_utf8(title, i);
    if (!c.valid || is_unsafe_in_name(c.code_point)) {
      replaced += '_';
    } else {
      replaced.append(title, i, c.length);
    }
    i += c.length;
  }
  trim_dots_and_spaces(replaced);

  // Everything left is well-formed UTF-8, so whole characters are easy to keep.
  std::string cut;
  for (std::size_t i = 0; i < replaced.size();) {
    const std::size_t n = platform::next_utf8(replaced, i).length;
    if (cut.size() + n > kMaxTitleBytes) break;
    cut.append(replaced, i, n);
    i += n;
  }
  trim_dots_and_spaces(cut);
  return cut;
}

bool is_unsafe_in_name(char32_t c) {
  static constexpr std::string_view kReserved = "/\\<>:\"|?*";
  return platform::is_control_or_direction(c) ||
         (c < 0x80 && kReserved.find(static_cast<char>(c)) != std::string_view::npos);
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
  if (safe.empty()) return std::string(texts::kUntitledFile);
  std::string name = safe + ".pdf";
  return is_device_name(name) ? "_" + name : name;
}

ExtractFailure extract_entry(platform::File& book, const IndexEntry& entry,
                             const std::string& target, const ExtractProgress& progress) {
  using What = ExtractFailure::What;
  ExtractFailure failure;
  auto out = platform::File::create_new(target, failure.system);
  if (!out) {
    failure.what = platform::path_exists(target) ? What::exists : What::create;
    failure.file = target;
    return failure;
  }
  std::uint64_t done = 0;
  const platform::CopyEnd copy = out->copy_from(
      book, entry.offset(), entry.length, failure.system,
      [&](std::uint64_t n) { return !progress || progress(done += n, entry.length); });
  // Some file systems report a failed write only when the file is closed.
  if (copy == platform::CopyEnd::done && out->close(failure.system)) return failure;
  out->close();
  failure.what = copy == platform::CopyEnd::read_failed    ? What::read
                 : copy == platform::CopyEnd::source_ended ? What::book_ended
                 : copy == platform::CopyEnd::stopped      ? What::stopped
                                                           : What::write;
  failure.file =
      failure.what == What::read || failure.what == What::book_ended ? book.path() : target;
  // Only the file made here goes; half a PDF is worse than none.
  platform::Error ignored;
  platform::delete_file(target, ignored);
  return failure;
}

ExtractFailure extract_all(platform::File& book, const Book& info, const std::string& dir,
                           std::vector<std::string>& written, const ExtractProgress& progress) {
  using What = ExtractFailure::What;
  written.clear();
  if (!platform::is_folder(dir)) return {What::not_a_folder, dir, {}};
  std::vector<std::string> targets;
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < info.entries.size(); ++i) {
    targets.push_back(
        platform::join(dir, extract_file_name(i + 1, info.entries.size(), info.entries[i].title)));
    total += info.entries[i].length;
  }
  // Refused before anything is written, so a second run into the same folder changes
  // nothing.
  for (const auto& target : targets) {
    if (platform::path_exists(target)) return {What::exists, target, {}};
  }
  std::uint64_t before = 0;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    ExtractFailure failure =
        extract_entry(book, info.entries[i], targets[i], [&](std::uint64_t done, std::uint64_t) {
          return !progress || progress(before + done, total);
        });
    if (failure) {
      // All or nothing: the folder goes back to what it was.
      platform::Error ignored;
      for (const auto& made : written) platform::delete_file(made, ignored);
      written.clear();
      return failure;
    }
    written.push_back(targets[i]);
    before += info.entries[i].length;
  }
  return {};
}

std::string describe(const ExtractFailure& failure) {
  using What = ExtractFailure::What;
  const std::string file = platform::quoted(failure.file);
  const std::string why = platform::describe(failure.system);
  switch (failure.what) {
    case What::none:
      return "";
    case What::not_a_folder:
      return platform::fill(texts::kNoTargetFolder, {file});
    case What::exists:
      return platform::fill(texts::kTargetExists, {file});
    case What::create:
      return platform::fill(texts::kCannotCreate, {file, why});
    case What::read:
      return platform::fill(texts::kUnreadableBook, {file, why});
    case What::book_ended:
      return platform::fill(texts::kBookCut, {file});
    case What::write:
      return platform::fill(texts::kCannotWrite, {file, why});
    case What::stopped:
      return std::string(texts::kStopped);
  }
  return "";
}

}  // namespace container
