// Scratch folders and files for tests, and e-books made by hand.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// A fresh folder per test, removed with everything in it afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() joined with `name` by the platform's separator.
  std::string file(const std::string& name) const;

 private:
  std::string path_;
};

// A UTF-8 path as std::filesystem takes it (a plain std::string means the ANSI code page
// on Windows).
std::filesystem::path fs_path(const std::string& utf8);
// Writes `bytes` to a new file at `path` (UTF-8), replacing any file there.
void write_file(const std::string& path, const std::string& bytes);
// `n` bytes of a repeatable pattern that depends on `seed`.
std::string pattern_bytes(std::size_t n, std::uint32_t seed);
// The whole file, or "" with the test failed when it cannot be read.
std::string read_file(const std::string& path);
// The names in a folder, sorted, separated by spaces.
std::string listing(const std::string& dir);
// How many files (on Windows, handles) this process holds open; -1 where unknown.
long open_descriptors();

// A shell command line run in `dir` (POSIX), what it printed caught: its exit status, or
// 128 + the signal that ended it.
struct Outcome {
  int status = -1;
  std::string out, err;
};
Outcome run_shell(const std::string& dir, const std::string& command);
// `text` in single quotes, for a shell command line.
std::string sh(const std::string& text);

// UTF-8 text as code page 936 bytes, as an index holds it; the text must fit the code page.
std::string cp936(const std::string& text);

// The bytes of an e-book put together by hand, so a test can give it any title or
// damage it: `reader`, the PDFs from position 590,000, the index and the trailer.
std::string forge_book(const std::string& name,
                       const std::vector<std::pair<std::string, std::string>>& pdfs,
                       const std::string& reader = "STUB");

// The headers of a PE32 program with no sections: enough for a signing tool to sign a
// book headed by it. `security` = {file offset, size} goes into the security directory.
std::string minimal_pe(std::pair<std::uint32_t, std::uint32_t> security = {0, 0});

}  // namespace testing_support
