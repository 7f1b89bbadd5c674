#include "reader/copies.h"

#include <charconv>

namespace reader::copies {
namespace {

// A record names a few copies; anything far larger is not ours.
constexpr std::uint64_t kMaxRecordSize = 1 << 20;

template <typename Number>
bool read_number(std::string_view& text, Number& out) {
  const auto [end, why] = std::from_chars(text.data(), text.data() + text.size(), out);
  if (why != std::errc() || end == text.data() + text.size() || *end != ' ') return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()) + 1);
  return true;
}

}  // namespace

std::string record_line(const Copy& copy) {
  return std::to_string(copy.stamp.size) + ' ' + std::to_string(copy.stamp.time) + ' ' + copy.name +
         '\n';
}

std::vector<Copy> read_record(std::string_view text) {
  std::vector<Copy> copies;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) break;  // a line cut short
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    Copy copy;
    if (!read_number(line, copy.stamp.size) || !read_number(line, copy.stamp.time)) continue;
    copy.name = line;
    if (copy.name.empty() || copy.name == "." || copy.name == ".." || copy.name == kRecordName ||
        copy.name.find_first_of("/\\") != std::string::npos)
      continue;
    std::erase_if(copies, [&](const Copy& earlier) { return earlier.name == copy.name; });
    copies.push_back(std::move(copy));
  }
  return copies;
}

std::optional<platform::File> create_record(const std::string& folder, platform::Error& err) {
  auto record = platform::File::create_new(platform::join(folder, std::string(kRecordName)), err);
  if (!record) {
    platform::Error ignored;
    platform::remove_folder(folder, ignored);
  }
  return record;
}

container::ExtractFailure write_copy(platform::File& book, const container::IndexEntry& entry,
                                     const std::string& folder, platform::File& record,
                                     Copy& written) {
  const std::string name = container::single_file_name(entry.title);
  for (int n = 1;; ++n) {
    written.name =
        n == 1 ? name : name.substr(0, name.size() - 4) + " (" + std::to_string(n) + ").pdf";
    const std::string path = platform::join(folder, written.name);
    auto failed = container::extract_entry(book, entry, path);
    if (failed.what == container::ExtractFailure::What::exists && n < 100) continue;
    if (failed) return failed;
    // A copy the record does not name is never taken away: better left than lost.
    platform::Error ignored;
    platform::make_read_only(path, ignored);
    if (auto stamp = platform::stamp_of(path, ignored)) {
      written.stamp = *stamp;
      const std::string line = record_line(written);
      record.write(line.data(), line.size(), ignored);
    }
    return failed;
  }
}

bool clean_folder(const std::string& folder, std::optional<std::int64_t> written_before) {
  const std::string record_path = platform::join(folder, std::string(kRecordName));
  platform::Error err;
  auto record = platform::File::open_exclusive(record_path, err);
  if (!record) return false;
  const auto stamp = platform::stamp_of(record_path, err);
  if (!stamp || stamp->size > kMaxRecordSize || (written_before && stamp->time >= *written_before))
    return false;
  std::string text(static_cast<std::size_t>(stamp->size), '\0');
  if (!record->read_exact_at(0, text.data(), text.size(), err)) return false;
  bool all_gone = true;
  for (const Copy& copy : read_record(text)) {
    const auto removal =
        platform::remove_unchanged(platform::join(folder, copy.name), copy.stamp, err);
    all_gone =
        all_gone && removal != platform::Removal::in_use && removal != platform::Removal::failed;
  }
  // The record stays for a later reader while a copy it names still waits.
  record->close();
  return all_gone && platform::delete_file(record_path, err) &&
         platform::remove_folder(folder, err);
}

void clean_all(const std::string& base, std::string_view prefix,
               std::optional<std::int64_t> written_before) {
  platform::Error err;
  const auto folders = platform::list_own_folders(base, err);
  if (!folders) return;
  for (const auto& name : *folders) {
    if (name.starts_with(prefix)) clean_folder(platform::join(base, name), written_before);
  }
}

}  // namespace reader::copies
