// Writing one e-book: the reader, every PDF streamed to its position, the index and the
// trailer, under a working name that becomes the final name only when all is written.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "booklist/book_list.h"
#include "platform/file.h"

namespace builder {

inline constexpr std::string_view kIndexFileName = "clcboosk.txt";
inline constexpr std::string_view kReaderFileName = "books.ini";
inline constexpr std::string_view kWorkingSuffix = ".txt";

// Where a build stopped.
enum class Step {
  check,        // the book name and the list, before anything is touched
  clean_up,     // an earlier file of the finished e-book's name
  index,        // sizing the listed PDFs and making the index
  read_reader,  // the reader, books.ini
  write_index,  // the temporary index file
  read_index,
  open_output,  // creating the working file
  write_reader,
  copy_pdf,           // reading a PDF
  write_pdf,          // writing it into the working file
  write_index_block,  // the index block and the trailer, and flushing it all to the disk
  replace,            // putting the new e-book over the earlier one
  rename,             // giving the working file its final name
};

// Why it stopped.
enum class Cause {
  none,
  need_name,         // the book name is blank
  no_files,          // nothing to pack
  too_many_files,    // more entries than a reader accepts
  invalid_name,      // not one valid file name; Failure::detail says why
  file_in_the_way,   // a file we did not make stands where we must make one
  not_an_ebook,      // the finished e-book's name is taken by something that is no e-book
  missing,           // the file is not there
  not_ordinary,      // a folder, pipe or device where a file is wanted
  empty,             // the file has no bytes
  reader_too_large,  // the reader passes the room before the first PDF
  too_large,         // the e-book would pass the format's size
  size_changed,      // a PDF changed while the build ran
  book_changed,      // an e-book whose chapters are listed is no longer the one read
  no_code_page,      // the system cannot write code page 936
  cancelled,         // stopped on request
  system,            // the system refused; see Failure::system
};

struct Failure {
  Step step = Step::check;
  Cause cause = Cause::none;
  std::string file;  // the file concerned, UTF-8
  platform::Error system;
  std::string detail;  // for invalid_name: what is wrong with it
};

struct BuildRequest {
  std::string book_name;                 // as typed: not trimmed
  std::vector<booklist::Entry> entries;  // in book order
  std::string out_dir;                   // where the e-book and its working files go
  std::string reader_file;               // books.ini, or another system's reader
  // Told how many payload bytes are copied so far, of how many.
  std::function<void(std::uint64_t done, std::uint64_t total)> progress;
  // Set from anywhere to stop the build; it then cleans up and fails as cancelled.
  const std::atomic<bool>* cancel = nullptr;
};

struct BuildResult {
  bool ok = false;
  std::string output_path;  // the finished e-book, when ok
  Failure failure;          // when not ok
};

// What is wrong with `name` as the start of a file name, in Chinese, or "" when nothing
// is: it must be valid UTF-8 and hold no separators, no < > : " | ? *, no control or
// text-direction characters, be neither "." nor "..", no Windows device name, and leave
// room for the suffix in a file name.
std::string book_name_problem(std::string_view name);

// The checks a build makes before it touches anything: the book name, then the list.
// Failure::cause is none when they pass.
Failure check_request(const BuildRequest& request);

// Writes the e-book. On failure nothing it created is left behind and nothing it did not
// create is changed; the structured failure says where and why.
BuildResult write_ebook(const BuildRequest& request);

// The systems a book's readers use. A book starts with its reader, so it opens only there.
enum class System { windows, linux };
inline constexpr System kThisSystem = platform::kWindows ? System::windows : System::linux;

// "windows" or "linux", as the command line and the settings write it; nullopt for
// anything else.
std::optional<System> system_named(std::string_view name);

// The reader for `system` in a folder of readers: books.ini for this system's own, and
// the other system's under its name, books-windows.ini or books-linux.ini.
std::string reader_path(const std::string& dir, System system);

// Where a program in `program_dir` finds the readers: beside itself, as the downloads
// unpack; installed as a package, in ../lib/tarvello (programs in /usr/bin, readers in
// /usr/lib/tarvello). Beside itself when neither holds books.ini, so a missing reader is
// named where a user would put it.
std::string reader_folder(const std::string& program_dir);

// What a reader's first bytes say it runs on: an ELF program runs on Linux, anything else
// is taken for a Windows one.
System reader_system(std::string_view reader_head);

// The finished e-book's suffix: ".exe" for Windows readers; for Linux readers ".run",
// which no desktop's MIME database claims, so the desktop types the book by its content,
// an executable program.
std::string book_suffix(System system);

// The path of the finished e-book for a book name in a folder, for readers on `system`.
std::string finished_path(const std::string& out_dir, std::string_view book_name, System system);

// The one sentence that tells a person what went wrong and what to do, naming the file;
// the windows show it and the command line prints it.
std::string message(const Failure& failure);

}  // namespace builder
