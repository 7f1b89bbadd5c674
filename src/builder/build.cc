#include "builder/build.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "booklist/names.h"
#include "container/extract.h"
#include "container/format.h"
#include "links/code_list.h"
#include "platform/encoding.h"
#include "platform/text.h"

namespace builder {
namespace {

using container::IndexEntry;
using container::kMaxContainerSize;
using container::kMaxIndexSize;
using container::kPayloadOffset;
using container::kPayloadPosition;
using container::kTrailerSize;
using platform::Error;
using platform::ErrorKind;
using platform::File;

// The longest name most file systems take, in bytes; the book name carries a 4-byte
// suffix.
constexpr std::size_t kMaxFileNameBytes = 255;

// What a build created and must remove again unless it finishes. Every file it opened is
// closed before this goes away, so the names can be deleted on Windows too.
struct CreatedFiles {
  std::string index_file;    // set while the temporary index file is ours
  std::string working_file;  // set while the working file is ours

  ~CreatedFiles() {
    Error ignored;
    // Only names we created ourselves; a failed delete here has no one left to tell.
    if (!index_file.empty()) platform::delete_file(index_file, ignored);
    if (!working_file.empty()) platform::delete_file(working_file, ignored);
  }
};

BuildResult failed(Step step, Cause cause, std::string file, Error system = {}) {
  BuildResult result;
  result.failure = {step, cause, std::move(file), std::move(system), {}};
  return result;
}

// A system error on a file, or the cause it stands for.
BuildResult failed_on(Step step, const std::string& file, const Error& err) {
  const Cause cause = err.kind == ErrorKind::not_found      ? Cause::missing
                      : err.kind == ErrorKind::not_ordinary ? Cause::not_ordinary
                                                            : Cause::system;
  return failed(step, cause, file, err);
}

// create_new fails for anything already at the name; tell that apart from a system refusal.
BuildResult creation_failed(Step step, const std::string& path, const Error& err) {
  if (platform::path_exists(path)) return failed(step, Cause::file_in_the_way, path, err);
  return failed(step, Cause::system, path, err);
}

bool cancelled(const BuildRequest& request) {
  return request.cancel && request.cancel->load();
}

struct Source {
  std::string path;
  std::uint64_t size = 0;
};

// Sizes every PDF before anything is written, and makes sure each one opens, so a missing,
// empty or unreadable file stops the build while the folder is untouched.
BuildResult size_sources(const std::vector<booklist::Entry>& entries, std::vector<Source>& sources,
                         std::uint64_t& payload) {
  payload = 0;
  for (const auto& entry : entries) {
    Error err;
    if (!platform::path_exists(entry.path)) return failed(Step::index, Cause::missing, entry.path);
    // Sized without opening: a pipe or device is refused before it could block.
    auto size = platform::file_size(entry.path, err);
    if (!size) return failed_on(Step::index, entry.path, err);
    if (*size == 0) return failed(Step::index, Cause::empty, entry.path);
    if (!File::open_read(entry.path, err)) return failed_on(Step::index, entry.path, err);
    payload += *size;
    // Stop counting once past the limit, so the sum never wraps however many huge files.
    if (payload > kMaxContainerSize) return failed(Step::index, Cause::too_large, entry.path);
    sources.push_back({entry.path, *size});
  }
  return {};
}

// The stub is small by construction, so it is held in memory.
BuildResult read_stub(const std::string& path, std::string& stub) {
  Error err;
  // Only an existing file is opened: reading never creates a missing stub.
  if (!platform::path_exists(path)) return failed(Step::read_stub, Cause::missing, path);
  auto file = File::open_read(path, err);
  if (!file) return failed_on(Step::read_stub, path, err);
  auto size = file->size(err);
  if (!size) return failed_on(Step::read_stub, path, err);
  if (*size == 0) return failed(Step::read_stub, Cause::empty, path);
  if (*size > container::kMaxStubSize) return failed(Step::read_stub, Cause::stub_too_large, path);
  stub.assign(static_cast<std::size_t>(*size), '\0');
  if (!file->read_exact_at(0, stub.data(), stub.size(), err)) {
    return failed_on(Step::read_stub, path, err);
  }
  return {};
}

// The temporary index file an interrupted build of ours left holds one index block.
bool left_an_index(const std::string& path) {
  Error err;
  auto file = File::open_read(path, err);
  auto size = file ? file->size(err) : std::nullopt;
  if (!size || *size > kMaxIndexSize) return false;
  std::string bytes(static_cast<std::size_t>(*size), '\0');
  return file->read_exact_at(0, bytes.data(), bytes.size(), err) &&
         container::is_index_block(bytes);
}

// The index text goes to disk in code page 936 and comes back as the index block, its
// length being the file's size.
BuildResult pass_index_through_file(const std::string& path, const std::string& bytes,
                                    CreatedFiles& created, std::string& block) {
  Error err;
  auto file = File::create_new(path, err);
  if (!file && platform::path_exists(path) && left_an_index(path)) {
    // Ours, from a build cut off between writing the index and removing it (a power
    // cut): it would block every book in this folder for ever otherwise.
    if (platform::delete_file(path, err)) file = File::create_new(path, err);
  }
  if (!file) return creation_failed(Step::write_index, path, err);
  created.index_file = path;
  if (!file->write(bytes.data(), bytes.size(), err)) {
    return failed(Step::write_index, Cause::system, path, err);
  }
  // Read back through the same handle: reopening the name would trust whatever stands
  // there by then.
  auto size = file->size(err);
  if (!size) return failed(Step::read_index, Cause::system, path, err);
  if (*size != bytes.size()) return failed(Step::read_index, Cause::size_changed, path);
  block.assign(bytes.size(), '\0');
  if (!file->read_exact_at(0, block.data(), block.size(), err)) {
    return failed(Step::read_index, Cause::system, path, err);
  }
  if (!file->close(err)) return failed(Step::write_index, Cause::system, path, err);
  if (!platform::delete_file(path, err)) return failed(Step::read_index, Cause::system, path, err);
  created.index_file.clear();
  return {};
}

// A working file that an interrupted build of ours left behind starts with the very
// reader this build uses; anything else at that name is someone else's.
bool left_by_an_earlier_build(const std::string& path, const std::string& stub) {
  Error err;
  auto file = File::open_read(path, err);
  if (!file) return false;
  auto size = file->size(err);
  if (!size || *size < stub.size()) return false;
  std::string head(stub.size(), '\0');
  return file->read_exact_at(0, head.data(), head.size(), err) && head == stub;
}

BuildResult create_working_file(const std::string& path, const std::string& stub,
                                CreatedFiles& created, std::optional<File>& out) {
  Error err;
  out = File::create_new(path, err);
  if (!out && platform::path_exists(path) && left_by_an_earlier_build(path, stub)) {
    // Ours from an interrupted build: it would block this book for ever otherwise.
    if (platform::delete_file(path, err)) out = File::create_new(path, err);
  }
  if (!out) return creation_failed(Step::open_output, path, err);
  created.working_file = path;
  return {};
}

// Streams one PDF to its place, checking that it is still the file that was indexed.
BuildResult copy_pdf(File& out, const Source& source, std::uint64_t position, std::uint64_t& done,
                     std::uint64_t total, const BuildRequest& request) {
  Error err;
  auto in = File::open_read(source.path, err);
  if (!in) return failed_on(Step::copy_pdf, source.path, err);
  auto size = in->size(err);
  if (!size) return failed_on(Step::copy_pdf, source.path, err);
  if (*size != source.size) return failed(Step::copy_pdf, Cause::size_changed, source.path);
  if (!out.seek(position - 1, err)) return failed(Step::write_pdf, Cause::system, out.path(), err);
  const platform::Copy copy = out.copy_from(*in, 0, source.size, err, [&](std::uint64_t piece) {
    done += piece;
    if (request.progress) request.progress(done, total);
    return !cancelled(request);
  });
  switch (copy) {
    case platform::Copy::done:
      break;
    case platform::Copy::read_failed:
      return failed_on(Step::copy_pdf, source.path, err);
    case platform::Copy::source_ended:
      return failed(Step::copy_pdf, Cause::size_changed, source.path);
    case platform::Copy::write_failed:
      return failed(Step::write_pdf, Cause::system, out.path(), err);
    case platform::Copy::stopped:
      return failed(Step::copy_pdf, Cause::cancelled, source.path);
  }
  // A file that grew while it was copied would not match its index line.
  size = in->size(err);
  if (!size) return failed_on(Step::copy_pdf, source.path, err);
  if (*size != source.size) return failed(Step::copy_pdf, Cause::size_changed, source.path);
  return {};
}

BuildResult build(const BuildRequest& request, CreatedFiles& created) {
  if (Failure f = check_request(request); f.cause != Cause::none) {
    BuildResult r;
    r.failure = std::move(f);
    return r;
  }
  const std::string& name = request.book_name;

  // An earlier e-book of this name is replaced only once the new one is complete; any
  // other file there is the user's and stops the build.
  const std::string final_path = finished_path(request.out_dir, name);
  const bool replaces_earlier = platform::path_exists(final_path);
  if (replaces_earlier) {
    const container::ReadResult earlier = container::read_book(final_path);
    // A disk that fails to read it says nothing about what it is.
    if (earlier.error == container::ReadError::io && earlier.system.kind != ErrorKind::not_found)
      return failed_on(Step::clean_up, final_path, earlier.system);
    if (earlier.error != container::ReadError::none)
      return failed(Step::clean_up, Cause::not_an_ebook, final_path);
  }

  std::vector<Source> sources;
  std::uint64_t payload = 0;
  if (auto r = size_sources(request.entries, sources, payload); r.failure.cause != Cause::none) {
    return r;
  }

  std::vector<IndexEntry> index_entries;
  std::uint64_t position = kPayloadPosition;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    index_entries.push_back({request.entries[i].title, position, sources[i].size});
    position += sources[i].size;
  }
  const auto index_bytes = platform::utf8_to_cp936(container::index_text(name, index_entries));
  if (!index_bytes) return failed(Step::index, Cause::no_code_page, final_path);
  // The whole container, trailer included, must stay within a signed 32-bit size; a
  // reader also refuses an index past kMaxIndexSize, so none is written.
  if (index_bytes->size() > kMaxIndexSize ||
      kPayloadOffset + payload + index_bytes->size() + kTrailerSize > kMaxContainerSize) {
    return failed(Step::index, Cause::too_large, final_path);
  }

  std::string stub;
  if (auto r = read_stub(request.stub_path, stub); r.failure.cause != Cause::none) return r;
  if (cancelled(request)) return failed(Step::index, Cause::cancelled, final_path);

  const std::string index_path = platform::join(request.out_dir, std::string(kIndexFileName));
  std::string index_block;
  if (auto r = pass_index_through_file(index_path, *index_bytes, created, index_block);
      r.failure.cause != Cause::none) {
    return r;
  }

  const std::string working_path =
      platform::join(request.out_dir, name + std::string(kWorkingSuffix));
  std::optional<File> out;
  if (auto r = create_working_file(working_path, stub, created, out);
      r.failure.cause != Cause::none) {
    return r;
  }

  Error err;
  if (!out->write_at_position(1, stub.data(), stub.size(), err)) {
    return failed(Step::write_stub, Cause::system, working_path, err);
  }

  std::uint64_t done = 0;
  if (request.progress) request.progress(0, payload);
  position = kPayloadPosition;
  for (const auto& source : sources) {
    if (auto r = copy_pdf(*out, source, position, done, payload, request);
        r.failure.cause != Cause::none) {
      return r;
    }
    position += source.size;
  }

  const std::string trailer =
      container::trailer_bytes(static_cast<std::uint32_t>(index_block.size()));
  // On the disk before it takes the earlier book's place: after a power cut the folder
  // holds the old book or the whole new one, never an empty file under the book's name.
  // Some file systems report a failed delayed write only at the close.
  if (!out->write(index_block.data(), index_block.size(), err) ||
      !out->write(trailer.data(), trailer.size(), err) || !out->sync(err) || !out->close(err)) {
    return failed(Step::write_index_block, Cause::system, working_path, err);
  }
  if (cancelled(request)) return failed(Step::write_index_block, Cause::cancelled, final_path);

  // The earlier book may have been moved away meanwhile; then this is a first build.
  if (replaces_earlier && platform::path_exists(final_path)) {
    // Look again: whatever stands there now is replaced, so it must still be an e-book.
    if (container::read_book(final_path).error != container::ReadError::none) {
      return failed(Step::replace, Cause::not_an_ebook, final_path);
    }
    // One step: the folder holds the old book or the new one at every moment, and when
    // this fails the old one is still there.
    if (!platform::replace_file(working_path, final_path, err)) {
      return failed(Step::replace, Cause::system, final_path, err);
    }
  } else if (!platform::rename_no_replace(working_path, final_path, err)) {
    return creation_failed(Step::rename, final_path, err);
  }
  created.working_file.clear();
  // The rename itself on the disk. The e-book is complete either way, so a refusal here
  // is no reason to throw it away; nor is being unable to mark it as a program.
  platform::sync_folder(request.out_dir, err);
  platform::make_executable(final_path, err);

  BuildResult result;
  result.ok = true;
  result.output_path = final_path;
  return result;
}

// How a character the name may not hold is written in a message.
std::string shown_character(char32_t c) {
  if (platform::is_control_or_direction(c)) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "U+";
    for (int shift = 12; shift >= 0; shift -= 4) out += digits[(c >> shift) & 0xF];
    return out;
  }
  std::string out;
  platform::append_utf8(out, c);
  return out;
}

}  // namespace

std::string book_name_problem(std::string_view name) {
  if (name == "." || name == "..") return "不能是“.”或“..”";
  if (name.size() + kWorkingSuffix.size() > kMaxFileNameBytes) {
    return "太长，最多 " + std::to_string(kMaxFileNameBytes - kWorkingSuffix.size()) + " 字节";
  }
  if (!platform::is_valid_utf8(name)) return "含有无效的字符";
  std::string bad;
  std::vector<char32_t> seen;
  for (std::size_t i = 0; i < name.size();) {
    const platform::Utf8Char c = platform::next_utf8(name, i);
    i += c.length;
    if (!container::is_unsafe_in_name(c.code_point)) continue;
    if (std::find(seen.begin(), seen.end(), c.code_point) != seen.end()) continue;
    seen.push_back(c.code_point);
    if (!bad.empty()) bad += ' ';
    bad += shown_character(c.code_point);
  }
  if (!bad.empty()) return "不能含有这些字符：" + bad;
  if (container::is_device_name(name)) return "不能是 Windows 保留的设备名（CON、NUL、COM1 之类）";
  return "";
}

// The window's list stops where an e-book's index does.
static_assert(booklist::BookList::kMaxEntries == container::kMaxEntries);

Failure check_request(const BuildRequest& request) {
  Failure f;
  if (booklist::is_blank(request.book_name)) {
    f.cause = Cause::need_name;
  } else if (request.entries.empty()) {
    f.cause = Cause::no_files;
  } else if (request.entries.size() > static_cast<std::size_t>(container::kMaxEntries)) {
    // The window stops at the limit already; a book past it would be refused by its own
    // reader, so no caller may write one.
    f.cause = Cause::too_many_files;
  } else if (std::string problem = book_name_problem(request.book_name); !problem.empty()) {
    f.cause = Cause::invalid_name;
    f.file = request.book_name;
    f.detail = std::move(problem);
  }
  return f;
}

std::string stub_path(const std::string& dir) {
  return platform::join(dir, std::string(kStubFileName));
}

std::string finished_path(const std::string& out_dir, std::string_view book_name) {
  return platform::join(out_dir, std::string(book_name) + links::output_suffix());
}

BuildResult write_ebook(const BuildRequest& request) {
  CreatedFiles created;
  // Every file the build opens lives inside build(), so all are closed before `created`
  // removes what is left of this build.
  return build(request, created);
}

}  // namespace builder
