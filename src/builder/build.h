// Writing one e-book: the stub, every PDF streamed to its position, the index and the
// trailer, under a working name that becomes the final name only when all is written.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "booklist/book_list.h"
#include "platform/file.h"

namespace builder {

inline constexpr std::string_view kIndexFileName = "clcboosk.txt";
inline constexpr std::string_view kStubFileName = "books.ini";
inline constexpr std::string_view kWorkingSuffix = ".txt";

// Where a build stopped.
enum class Step {
  check_name,   // the book name cannot be a file name, or there is nothing to pack
  clean_up,     // an earlier file of the finished e-book's name
  index,        // sizing the listed PDFs
  write_index,  // the temporary index file
  read_index,
  read_stub,
  open_output,  // creating the working file
  write_stub,
  copy_pdf,
  write_index_block,
  replace,  // removing the earlier e-book of the same name
  rename,   // giving the working file its final name
};

// Why it stopped.
enum class Cause {
  none,
  invalid_name,     // not one valid file name
  file_in_the_way,  // a file we did not create stands where we must create one
  not_an_ebook,     // the finished e-book's name is taken by something that is no e-book
  missing,          // the file is not there (or is no ordinary file)
  empty,            // the file has no bytes
  stub_too_large,   // the stub passes 589,999 bytes
  too_large,        // the container would pass 2,147,483,647 bytes
  size_changed,     // a PDF changed while the build ran
  no_files,         // nothing to pack
  too_many_files,   // more entries than a reader accepts (kMaxEntries)
  system,           // the system refused; see Failure::system
};

struct Failure {
  Step step = Step::check_name;
  Cause cause = Cause::none;
  std::string file;  // the file concerned, UTF-8
  platform::Error system;
};

struct BuildRequest {
  std::string book_name;                 // as typed: not trimmed
  std::vector<booklist::Entry> entries;  // in book order
  std::string out_dir;                   // where the e-book and its working files go
  std::string stub_path;                 // books.ini
  // Told how many payload bytes are copied so far, of how many.
  std::function<void(std::uint64_t done, std::uint64_t total)> progress;
};

struct BuildResult {
  bool ok = false;
  std::string output_path;  // the finished e-book, when ok
  Failure failure;          // when not ok
};

// True when `name`, followed by ".txt" or the output suffix, is one valid file name on
// every platform: no separators, no control characters, none of <>:"|?*, not "." or
// "..", no Windows device name, valid UTF-8.
bool is_valid_book_name(std::string_view name);

// Writes the e-book. On failure nothing it created is left behind and nothing it did not
// create is changed; the structured failure says where and why.
BuildResult write_ebook(const BuildRequest& request);

// The path of the finished e-book for a book name in a folder.
std::string finished_path(const std::string& out_dir, std::string_view book_name);

// A Chinese sentence naming the step, the file and the cause, for the command line.
std::string describe(const Failure& failure);

}  // namespace builder
