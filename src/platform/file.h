// File operations with exactly the semantics the build needs. Paths are UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// What the system said when an operation failed.
struct Error {
  int code = 0;         // errno on POSIX, GetLastError() on Windows
  std::string message;  // the system's own text, UTF-8
};

// The folder separator of this platform: '\\' on Windows, '/' elsewhere.
char separator();

// `dir`, one separator, `name`, joined as they are (no test for a separator already
// at the end of `dir`).
std::string join(const std::string& dir, const std::string& name);

// The last component of `path` (after the last separator; on Windows '/' counts too).
std::string base_name(const std::string& path);

// The running executable's own file, or "" when the system cannot say.
std::string executable_path();

// The folder that holds the running executable, without a trailing separator except at
// a root.
std::string executable_dir();

// True when an ordinary file stands at `path`: not a folder, not hidden (on POSIX a name
// that starts with '.'), not a system file. Read-only and archive files count. Symbolic
// links count when they lead to an ordinary file.
bool is_ordinary_file(const std::string& path);

// True when anything at all stands at `path`, a dangling link included.
bool path_exists(const std::string& path);

// Size in bytes of the file at `path`.
std::optional<std::uint64_t> file_size(const std::string& path, Error& err);

// Removes exactly one file of that literal name; never a folder, never a pattern.
// Fails when nothing is there.
bool delete_file(const std::string& path, Error& err);

// Gives a file a new name; fails, changing nothing, when `to` already exists.
bool rename_no_replace(const std::string& from, const std::string& to, Error& err);

// Marks a file as executable for everyone who may read it (POSIX); nothing on Windows.
bool make_executable(const std::string& path, Error& err);

#ifdef _WIN32
// The system's own text for a Windows error code, in the user's language.
std::string system_message(unsigned long code);
#endif

// Names (without folder) of the ordinary files directly in `dir`, as is_ordinary_file
// judges them; folders, hidden and system files are left out. Unsorted.
std::optional<std::vector<std::string>> list_ordinary_files(const std::string& dir, Error& err);

// An open file, closed when the object goes away.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens an existing file for reading.
  static std::optional<File> open_read(const std::string& path, Error& err);
  // Creates a new file for reading and writing. Fails when anything already stands at
  // `path`, a symbolic link included, so it never writes into a file it did not create.
  static std::optional<File> create_new(const std::string& path, Error& err);

  bool is_open() const;
  // Closes the file; the second form reports what the system said (a delayed write
  // error shows up here on some filesystems). The file counts as closed either way.
  void close();
  bool close(Error& err);

  std::optional<std::uint64_t> size(Error& err) const;

  // Reads up to `n` bytes at the current position; 0 at the end of the file.
  std::optional<std::size_t> read(void* data, std::size_t n, Error& err);
  // Reads exactly `n` bytes at 0-based `offset`; fails on a short read.
  bool read_exact_at(std::uint64_t offset, void* data, std::size_t n, Error& err);

  // Writes all `n` bytes at the current position, which then stands after them.
  bool write(const void* data, std::size_t n, Error& err);
  // Moves the current position to the 1-based `position` and writes there.
  bool write_at_position(std::uint64_t position, const void* data, std::size_t n, Error& err);
  bool seek(std::uint64_t offset, Error& err);

  // Streams `length` bytes from `source` at 0-based `source_offset` to this file's
  // current position, with a fixed buffer (or the kernel's copy where it works), so
  // memory stays the same whatever the length. `progress` is told of each piece.
  // Fails when `source` ends early.
  bool copy_from(File& source, std::uint64_t source_offset, std::uint64_t length, Error& err,
                 const std::function<void(std::uint64_t)>& progress = {});

 private:
#ifdef _WIN32
  void* handle_ = nullptr;  // INVALID_HANDLE_VALUE is never stored
#else
  int fd_ = -1;
#endif
};

}  // namespace platform
