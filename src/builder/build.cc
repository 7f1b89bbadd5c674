#include "builder/build.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>

#include "booklist/names.h"
#include "builder/texts.h"
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

// Where one PDF's bytes come from: a whole file, or a range of an e-book.
struct Source {
  std::string path;
  std::uint64_t offset = 0;             // in the file
  std::uint64_t size = 0;               // the PDF's bytes
  std::uint64_t file_size = 0;          // the whole file, which must not change during the build
  Cause changed = Cause::size_changed;  // what it is when the file changed
};

// A chapter's e-book must still be the one that was read: its size and its index block.
bool still_the_same_book(const std::string& path, const booklist::BookStamp& stamp, Error& err) {
  auto file = File::open_read(path, err);
  auto size = file ? file->size(err) : std::nullopt;
  if (!size || *size != stamp.size) return false;
  std::string block(stamp.index_block.size(), '\0');
  return file->read_exact_at(stamp.index_offset, block.data(), block.size(), err) &&
         block == stamp.index_block;
}

// Sizes every PDF before anything is written, and makes sure each one opens, so a missing,
// empty or unreadable file, or a book changed since its chapters were added, stops the
// build while the folder is untouched.
BuildResult size_sources(const std::vector<booklist::Entry>& entries, std::vector<Source>& sources,
                         std::uint64_t& payload) {
  payload = 0;
  std::vector<const booklist::BookStamp*> checked;
  for (const auto& entry : entries) {
    Error err;
    Source source{entry.path, entry.offset, entry.length, 0, Cause::size_changed};
    if (entry.book) {
      // Each book once, however many of its chapters the list holds.
      if (std::find(checked.begin(), checked.end(), entry.book.get()) == checked.end()) {
        if (!still_the_same_book(entry.path, *entry.book, err))
          return failed(Step::index, Cause::book_changed, entry.path, err);
        checked.push_back(entry.book.get());
      }
      source.file_size = entry.book->size;
      source.changed = Cause::book_changed;
    } else {
      if (!platform::path_exists(entry.path))
        return failed(Step::index, Cause::missing, entry.path);
      // Sized without opening: a pipe or device is refused before it could block.
      auto size = platform::file_size(entry.path, err);
      if (!size) return failed_on(Step::index, entry.path, err);
      if (*size == 0) return failed(Step::index, Cause::empty, entry.path);
      if (!File::open_read(entry.path, err)) return failed_on(Step::index, entry.path, err);
      source.size = source.file_size = *size;
    }
    payload += source.size;
    // Stop counting once past the limit, so the sum never wraps however many huge files.
    if (payload > kMaxContainerSize) return failed(Step::index, Cause::too_large, entry.path);
    sources.push_back(std::move(source));
  }
  return {};
}

// Up to `limit` bytes from the start of `file`: all of it when it is shorter.
std::optional<std::string> read_head(File& file, std::uint64_t limit, Error& err) {
  auto size = file.size(err);
  if (!size) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(std::min(*size, limit)), '\0');
  if (!file.read_exact_at(0, bytes.data(), bytes.size(), err)) return std::nullopt;
  return bytes;
}

std::optional<std::string> read_head(const std::string& path, std::uint64_t limit) {
  Error err;
  auto file = File::open_read(path, err);
  return file ? read_head(*file, limit, err) : std::nullopt;
}

// Creates `path` anew. A file already there that `ours` knows for one an interrupted build
// of ours left (a power cut) is deleted first: it would block every build for ever.
std::optional<File> create_reclaiming(const std::string& path,
                                      const std::function<bool(const std::string&)>& ours,
                                      Error& err) {
  auto file = File::create_new(path, err);
  if (!file && platform::path_exists(path) && ours(path)) {
    if (platform::delete_file(path, err)) file = File::create_new(path, err);
  }
  return file;
}

// The reader is small by construction, so it is held in memory.
BuildResult read_reader(const std::string& path, std::string& reader) {
  Error err;
  // Only an existing file is opened: reading never creates a missing reader.
  if (!platform::path_exists(path)) return failed(Step::read_reader, Cause::missing, path);
  auto file = File::open_read(path, err);
  if (!file) return failed_on(Step::read_reader, path, err);
  auto bytes = read_head(*file, container::kMaxReaderSize + 1, err);
  if (!bytes) return failed_on(Step::read_reader, path, err);
  if (bytes->empty()) return failed(Step::read_reader, Cause::empty, path);
  if (bytes->size() > container::kMaxReaderSize)
    return failed(Step::read_reader, Cause::reader_too_large, path);
  reader = std::move(*bytes);
  return {};
}

// The temporary index file an interrupted build of ours left holds one index block.
bool left_an_index(const std::string& path) {
  auto bytes = read_head(path, kMaxIndexSize + 1);
  return bytes && bytes->size() <= kMaxIndexSize && container::is_index_block(*bytes);
}

// The index text goes to disk in code page 936 and comes back as the index block, its
// length being the file's size.
BuildResult pass_index_through_file(const std::string& path, const std::string& bytes,
                                    CreatedFiles& created, std::string& block) {
  Error err;
  auto file = create_reclaiming(path, left_an_index, err);
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
BuildResult create_working_file(const std::string& path, const std::string& reader,
                                CreatedFiles& created, std::optional<File>& out) {
  Error err;
  out = create_reclaiming(
      path, [&](const std::string& p) { return read_head(p, reader.size()) == reader; }, err);
  if (!out) return creation_failed(Step::open_output, path, err);
  created.working_file = path;
  return {};
}

// Streams one PDF to its place, checking that its file is still the one that was indexed.
BuildResult copy_pdf(File& out, const Source& source, std::uint64_t offset, std::uint64_t& done,
                     std::uint64_t total, const BuildRequest& request) {
  Error err;
  auto in = File::open_read(source.path, err);
  if (!in) return failed_on(Step::copy_pdf, source.path, err);
  auto size = in->size(err);
  if (!size) return failed_on(Step::copy_pdf, source.path, err);
  if (*size != source.file_size) return failed(Step::copy_pdf, source.changed, source.path);
  if (!out.seek(offset, err)) return failed(Step::write_pdf, Cause::system, out.path(), err);
  const platform::CopyEnd copy =
      out.copy_from(*in, source.offset, source.size, err, [&](std::uint64_t piece) {
        done += piece;
        if (request.progress) request.progress(done, total);
        return !cancelled(request);
      });
  switch (copy) {
    case platform::CopyEnd::done:
      break;
    case platform::CopyEnd::read_failed:
      return failed_on(Step::copy_pdf, source.path, err);
    case platform::CopyEnd::source_ended:
      return failed(Step::copy_pdf, source.changed, source.path);
    case platform::CopyEnd::write_failed:
      return failed(Step::write_pdf, Cause::system, out.path(), err);
    case platform::CopyEnd::stopped:
      return failed(Step::copy_pdf, Cause::cancelled, source.path);
  }
  // A file that grew while it was copied would not match its index line.
  size = in->size(err);
  if (!size) return failed_on(Step::copy_pdf, source.path, err);
  if (*size != source.file_size) return failed(Step::copy_pdf, source.changed, source.path);
  return {};
}

// An earlier e-book of this name is replaced only once the new one is complete; any
// other file there is the user's and stops the build.
BuildResult check_earlier_book(const std::string& final_path, bool& replaces_earlier) {
  replaces_earlier = platform::path_exists(final_path);
  if (!replaces_earlier) return {};
  const container::ReadResult earlier = container::read_book(final_path);
  switch (earlier.verdict()) {
    case container::Verdict::book:
      return {};
    case container::Verdict::unreadable:
      // A disk that fails to read it says nothing about what it is.
      return failed_on(Step::clean_up, final_path, earlier.system);
    case container::Verdict::no_book:
    case container::Verdict::damaged:
      break;
  }
  return failed(Step::clean_up, Cause::not_an_ebook, final_path);
}

// The index in code page 936 for PDFs of these sizes, which must leave the whole
// container, trailer included, within a signed 32-bit size.
BuildResult make_index(const BuildRequest& request, const std::vector<Source>& sources,
                       std::uint64_t payload, const std::string& final_path, std::string& bytes) {
  std::vector<IndexEntry> entries;
  std::uint64_t position = kPayloadPosition;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    entries.push_back({request.entries[i].title, position, sources[i].size});
    position += sources[i].size;
  }
  auto encoded = platform::utf8_to_cp936(container::index_text(request.book_name, entries));
  if (!encoded) return failed(Step::index, Cause::no_code_page, final_path);
  // A reader also refuses an index past kMaxIndexSize, so none is written.
  if (encoded->size() > kMaxIndexSize ||
      kPayloadOffset + payload + encoded->size() + kTrailerSize > kMaxContainerSize) {
    return failed(Step::index, Cause::too_large, final_path);
  }
  bytes = std::move(*encoded);
  return {};
}

// The reader at the head, then every PDF at its position.
BuildResult write_payload(File& out, const std::string& reader, const std::vector<Source>& sources,
                          std::uint64_t payload, const BuildRequest& request) {
  Error err;
  if (!out.write_at(0, reader.data(), reader.size(), err)) {
    return failed(Step::write_reader, Cause::system, out.path(), err);
  }
  std::uint64_t done = 0;
  if (request.progress) request.progress(0, payload);
  std::uint64_t offset = kPayloadOffset;
  for (const auto& source : sources) {
    if (auto r = copy_pdf(out, source, offset, done, payload, request);
        r.failure.cause != Cause::none) {
      return r;
    }
    offset += source.size;
  }
  return {};
}

// The index block and the trailer, and everything on the disk before the book takes the
// earlier one's place: after a power cut the folder holds the old book or the whole new
// one, never an empty file under the book's name. Some file systems report a failed
// delayed write only at the close.
BuildResult finish_working_file(File& out, const std::string& index_block) {
  Error err;
  const std::string trailer =
      container::trailer_bytes(static_cast<std::uint32_t>(index_block.size()));
  const std::string path = out.path();
  if (!out.write(index_block.data(), index_block.size(), err) ||
      !out.write(trailer.data(), trailer.size(), err) || !out.sync(err) || !out.close(err)) {
    return failed(Step::write_index_block, Cause::system, path, err);
  }
  return {};
}

// The finished working file takes the book's name.
BuildResult put_in_place(const std::string& working_path, const std::string& final_path,
                         bool replaces_earlier) {
  Error err;
  // The earlier book may have been moved away meanwhile; then this is a first build.
  if (replaces_earlier && platform::path_exists(final_path)) {
    // Look again: whatever stands there now is replaced, so it must still be an e-book.
    if (container::read_book(final_path).verdict() != container::Verdict::book) {
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
  return {};
}

// The build's steps in order; the first that fails ends it.
BuildResult build(const BuildRequest& request, CreatedFiles& created) {
  const auto stopped = [](const BuildResult& r) { return r.failure.cause != Cause::none; };
  BuildResult r;
  if (r.failure = check_request(request); stopped(r)) return r;
  // The reader first: what it runs on gives the book its name.
  std::string reader;
  if (r = read_reader(request.reader_file, reader); stopped(r)) return r;
  const std::string final_path =
      finished_path(request.out_dir, request.book_name, reader_system(reader));
  bool replaces_earlier = false;
  if (r = check_earlier_book(final_path, replaces_earlier); stopped(r)) return r;
  std::vector<Source> sources;
  std::uint64_t payload = 0;
  if (r = size_sources(request.entries, sources, payload); stopped(r)) return r;
  std::string index_bytes, index_block;
  if (r = make_index(request, sources, payload, final_path, index_bytes); stopped(r)) return r;
  if (cancelled(request)) return failed(Step::index, Cause::cancelled, final_path);

  const std::string index_path = platform::join(request.out_dir, std::string(kIndexFileName));
  if (r = pass_index_through_file(index_path, index_bytes, created, index_block); stopped(r))
    return r;
  const std::string working_path =
      platform::join(request.out_dir, request.book_name + std::string(kWorkingSuffix));
  std::optional<File> out;
  if (r = create_working_file(working_path, reader, created, out); stopped(r)) return r;
  if (r = write_payload(*out, reader, sources, payload, request); stopped(r)) return r;
  if (r = finish_working_file(*out, index_block); stopped(r)) return r;
  if (cancelled(request)) return failed(Step::write_index_block, Cause::cancelled, final_path);
  if (r = put_in_place(working_path, final_path, replaces_earlier); stopped(r)) return r;
  created.working_file.clear();

  // The rename itself on the disk. The e-book is complete either way, so a refusal here
  // is no reason to throw it away; nor is being unable to mark it as a program.
  Error err;
  platform::sync_folder(request.out_dir, err);
  platform::make_executable(final_path, err);
  r.ok = true;
  r.output_path = final_path;
  return r;
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
  if (name == "." || name == "..") return std::string(texts::kNameIsDots);
  if (name.size() + kWorkingSuffix.size() > kMaxFileNameBytes) {
    return platform::fill(texts::kNameTooLong,
                          {std::to_string(kMaxFileNameBytes - kWorkingSuffix.size())});
  }
  if (!platform::is_valid_utf8(name)) return std::string(texts::kNameNotUtf8);
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
  if (!bad.empty()) return platform::fill(texts::kNameHasUnsafe, {bad});
  if (container::is_device_name(name)) return std::string(texts::kNameIsDevice);
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

std::optional<System> system_named(std::string_view name) {
  if (name == "windows") return System::windows;
  if (name == "linux") return System::linux;
  return std::nullopt;
}

std::string reader_path(const std::string& dir, System system) {
  if (system == kThisSystem) return platform::join(dir, std::string(kReaderFileName));
  return platform::join(dir, system == System::windows ? "books-windows.ini" : "books-linux.ini");
}

std::string reader_folder(const std::string& program_dir) {
  if (platform::kWindows || platform::path_exists(reader_path(program_dir, kThisSystem)))
    return program_dir;
  const auto cut = program_dir.find_last_of('/');
  if (cut == std::string::npos) return program_dir;
  const std::string installed = program_dir.substr(0, cut) + "/lib/tarvello";
  return platform::path_exists(reader_path(installed, kThisSystem)) ? installed : program_dir;
}

System reader_system(std::string_view reader_head) {
  return reader_head.starts_with("\177ELF") ? System::linux : System::windows;
}

std::string book_suffix(System system) {
  return system == System::windows ? links::output_suffix() : std::string(".run");
}

std::string finished_path(const std::string& out_dir, std::string_view book_name, System system) {
  return platform::join(out_dir, std::string(book_name) + book_suffix(system));
}

BuildResult write_ebook(const BuildRequest& request) {
  CreatedFiles created;
  // Every file the build opens lives inside build(), so all are closed before `created`
  // removes what is left of this build.
  return build(request, created);
}

}  // namespace builder
