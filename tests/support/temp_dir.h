// A fresh folder per test, removed with everything in it afterwards.
#pragma once

#include <cstdint>
#include <string>

namespace testing_support {

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

// Writes `bytes` to a new file at `path` (UTF-8), replacing any file there.
void write_file(const std::string& path, const std::string& bytes);
// `n` bytes of a repeatable pattern that depends on `seed`.
std::string pattern_bytes(std::size_t n, std::uint32_t seed);
// The whole file, or "" with the test failed when it cannot be read.
std::string read_file(const std::string& path);
// The names in a folder, sorted.
std::string listing(const std::string& dir);

}  // namespace testing_support
