#include "builder/build.h"

#include <utility>

#include "builder/container.h"
#include "builder/extract_name.h"
#include "links/code_list.h"
#include "platform/encoding.h"

namespace builder {

// A reader refuses more entries than a book list can hold.
static_assert(kMaxEntries == static_cast<std::size_t>(booklist::BookList::kMaxEntries));

namespace {

using platform::Error;
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
  result.failure = {step, cause, std::move(file), std::move(system)};
  return result;
}

// create_new fails for anything already at the name; tell that apart from a system refusal.
Cause creation_cause(const std::string& path) {
  return platform::path_exists(path) ? Cause::file_in_the_way : Cause::system;
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
    auto size = platform::file_size(entry.path, err);
    if (!size) return failed(Step::index, Cause::missing, entry.path, err);
    // Before the open: pipes and devices report 0 bytes, and opening a pipe would block.
    if (*size == 0) return failed(Step::index, Cause::empty, entry.path);
    // Folders and unreadable files fail here.
    if (!File::open_read(entry.path, err)) {
      return failed(Step::index, Cause::missing, entry.path, err);
    }
    payload += *size;
    // Stop counting once past the limit, so the sum never wraps however many huge files.
    if (payload > kMaxContainerSize) return failed(Step::index, Cause::too_large, entry.path);
    sources.push_back({entry.path, *size});
  }
  return {};
}

// The stub is small by construction (at most 589,999 bytes), so it is held in memory.
BuildResult read_stub(const std::string& path, std::string& stub) {
  Error err;
  // Only an existing file is opened: reading never creates a missing stub.
  if (!platform::path_exists(path)) return failed(Step::read_stub, Cause::missing, path);
  // Sized before the open, as the PDFs are: a pipe reports 0 bytes and would block.
  auto size = platform::file_size(path, err);
  if (!size) return failed(Step::read_stub, Cause::missing, path, err);
  if (*size == 0) return failed(Step::read_stub, Cause::empty, path);
  auto file = File::open_read(path, err);
  if (!file) return failed(Step::read_stub, Cause::missing, path, err);
  size = file->size(err);
  if (!size) return failed(Step::read_stub, Cause::system, path, err);
  if (*size == 0) return failed(Step::read_stub, Cause::empty, path);
  if (*size > kMaxStubSize) return failed(Step::read_stub, Cause::stub_too_large, path);
  stub.assign(static_cast<std::size_t>(*size), '\0');
  if (!file->read_exact_at(0, stub.data(), stub.size(), err)) {
    return failed(Step::read_stub, Cause::system, path, err);
  }
  return {};
}

// The index text goes to disk in code page 936 and comes back as the index block, its
// length being the file's size.
BuildResult pass_index_through_file(const std::string& path, const std::string& bytes,
                                    CreatedFiles& created, std::string& block) {
  Error err;
  auto file = File::create_new(path, err);
  if (!file) return failed(Step::write_index, creation_cause(path), path, err);
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

// Streams one PDF to its place, checking that it is still the file that was indexed.
BuildResult copy_pdf(File& out, const Source& source, std::uint64_t position, std::uint64_t& done,
                     std::uint64_t total, const BuildRequest& request) {
  Error err;
  auto in = File::open_read(source.path, err);
  if (!in) return failed(Step::copy_pdf, Cause::missing, source.path, err);
  auto size = in->size(err);
  if (!size) return failed(Step::copy_pdf, Cause::system, source.path, err);
  if (*size != source.size) return failed(Step::copy_pdf, Cause::size_changed, source.path);
  if (!out.seek(position - 1, err)) return failed(Step::copy_pdf, Cause::system, source.path, err);
  auto tell = [&](std::uint64_t piece) {
    done += piece;
    if (request.progress) request.progress(done, total);
  };
  if (!out.copy_from(*in, 0, source.size, err, tell)) {
    // A source that shrank ends early; say so rather than pass on an empty system error.
    Error probe;
    auto now = in->size(probe);
    if (now && *now != source.size) return failed(Step::copy_pdf, Cause::size_changed, source.path);
    return failed(Step::copy_pdf, Cause::system, source.path, err);
  }
  // A file that grew while it was copied would not match its index line.
  size = in->size(err);
  if (!size) return failed(Step::copy_pdf, Cause::system, source.path, err);
  if (*size != source.size) return failed(Step::copy_pdf, Cause::size_changed, source.path);
  return {};
}

BuildResult build(const BuildRequest& request, CreatedFiles& created) {
  const std::string& name = request.book_name;
  if (!is_valid_book_name(name)) return failed(Step::check_name, Cause::invalid_name, name);
  if (request.entries.empty()) return failed(Step::check_name, Cause::no_files, "");
  // The window and the CLI stop at the limit already; a book past it would be refused by
  // its own reader, so no caller may write one.
  if (request.entries.size() > kMaxEntries)
    return failed(Step::check_name, Cause::too_many_files, "");

  // An earlier e-book of this name is replaced only once the new one is complete; any
  // other file there is the user's and stops the build.
  const std::string final_path = finished_path(request.out_dir, name);
  const bool replaces_earlier = platform::path_exists(final_path);
  if (replaces_earlier) {
    ReadResult earlier = read_book(final_path);
    if (earlier.error != ReadError::none) {
      return failed(Step::clean_up, Cause::not_an_ebook, final_path, earlier.system);
    }
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
  const std::string index_bytes = platform::utf8_to_cp936(index_text(name, index_entries));
  // The whole container, trailer included, must stay within a signed 32-bit size; a
  // reader also refuses an index past kMaxIndexSize, so none is written.
  if (index_bytes.size() > kMaxIndexSize ||
      kPayloadOffset + payload + index_bytes.size() + kTrailerSize > kMaxContainerSize) {
    return failed(Step::index, Cause::too_large, final_path);
  }

  std::string stub;
  if (auto r = read_stub(request.stub_path, stub); r.failure.cause != Cause::none) return r;

  const std::string index_path = platform::join(request.out_dir, std::string(kIndexFileName));
  std::string index_block;
  if (auto r = pass_index_through_file(index_path, index_bytes, created, index_block);
      r.failure.cause != Cause::none) {
    return r;
  }

  const std::string working_path =
      platform::join(request.out_dir, name + std::string(kWorkingSuffix));
  Error err;
  auto out = File::create_new(working_path, err);
  if (!out) return failed(Step::open_output, creation_cause(working_path), working_path, err);
  created.working_file = working_path;

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

  const std::string trailer = trailer_bytes(static_cast<std::uint32_t>(index_block.size()));
  if (!out->write(index_block.data(), index_block.size(), err) ||
      !out->write(trailer.data(), trailer.size(), err)) {
    return failed(Step::write_index_block, Cause::system, working_path, err);
  }
  // Some file systems report a failed delayed write only here.
  if (!out->close(err)) return failed(Step::write_index_block, Cause::system, working_path, err);

  if (replaces_earlier) {
    // Look again: whatever stands there now is deleted, so it must still be an e-book.
    ReadResult earlier = read_book(final_path);
    if (earlier.error != ReadError::none) {
      return failed(Step::replace, Cause::not_an_ebook, final_path, earlier.system);
    }
    if (!platform::delete_file(final_path, err)) {
      return failed(Step::replace, Cause::system, final_path, err);
    }
  }
  if (!platform::rename_no_replace(working_path, final_path, err)) {
    return failed(Step::rename, creation_cause(final_path), final_path, err);
  }
  created.working_file.clear();

  // The e-book starts with a program. Being unable to mark it is no reason to throw away
  // a finished e-book, so a refusal here is not a failure.
  platform::make_executable(final_path, err);

  BuildResult result;
  result.ok = true;
  result.output_path = final_path;
  return result;
}

}  // namespace

bool is_valid_book_name(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (name.size() + kWorkingSuffix.size() > kMaxFileNameBytes) return false;
  if (!platform::is_valid_utf8(name)) return false;
  for (char c : name) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) return false;
    if (std::string_view("/\\<>:\"|?*").find(c) != std::string_view::npos) return false;
  }
  return !is_device_name(name);
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
