// File operations with exactly the semantics the build needs. Paths are UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// What went wrong, in terms a person can act on, whatever the system.
enum class ErrorKind {
  other,
  not_found,      // no such file or folder
  no_permission,  // access denied
  read_only,      // a read-only disk or file system
  disk_full,      // no space left, or over a quota
  name_too_long,  // a file name or path longer than the system takes
  too_large,      // a file past the size the system or the process allows
  not_ordinary,   // a folder, pipe, device or socket where a file is wanted
  io,             // the disk failed to read or write
  cancelled,      // stopped on request
};

// What the system said when an operation failed.
struct Error {
  int code = 0;         // errno on POSIX, GetLastError() on Windows
  std::string message;  // the system's own text, UTF-8
  ErrorKind kind = ErrorKind::other;
};

// Built for Windows.
#ifdef _WIN32
inline constexpr bool kWindows = true;
#else
inline constexpr bool kWindows = false;
#endif

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

// True when `path` is a folder (following links).
bool is_folder(const std::string& path);

// Size in bytes of the regular file at `path`; a folder, pipe or device is refused
// (ErrorKind::not_ordinary) without a byte read from it.
std::optional<std::uint64_t> file_size(const std::string& path, Error& err);

// Removes exactly one file of that literal name; never a folder, never a pattern.
// Fails when nothing is there.
bool delete_file(const std::string& path, Error& err);

// Gives a file a new name; fails, changing nothing, when `to` already exists. Where the
// file system can neither refuse an existing name in the rename itself nor make hard
// links, it falls back to a check and a plain rename.
bool rename_no_replace(const std::string& from, const std::string& to, Error& err);

// Gives a file the name of an existing one in a single step: at every moment `to` is
// the old file or the new one. Fails, changing nothing, when the system refuses.
bool replace_file(const std::string& from, const std::string& to, Error& err);

// Makes a folder's entries (a rename into it) durable (POSIX); nothing on Windows.
bool sync_folder(const std::string& dir, Error& err);

// Marks a file as executable for everyone who may read it (POSIX); nothing on Windows.
bool make_executable(const std::string& path, Error& err);

#ifdef _WIN32
// The system's own text for a Windows error code, in the user's language.
std::string system_message(unsigned long code);
#endif

// A system error code (errno, or GetLastError() on Windows) with its text and its kind.
Error system_error(unsigned long code);

// Names (without folder) of the ordinary files directly in `dir`, as is_ordinary_file
// judges them; folders, hidden and system files are left out. Unsorted.
std::optional<std::vector<std::string>> list_ordinary_files(const std::string& dir, Error& err);

// What a file looked like: its size and last-write time, in the system's own units
// (nanoseconds since 1970 on POSIX, 100 ns since 1601 on Windows). A program that writes
// into the file changes the time.
struct Stamp {
  std::uint64_t size = 0;
  std::int64_t time = 0;
  bool operator==(const Stamp&) const = default;
};

// The stamp of the ordinary file at `path`, the name itself: a link, folder or device is
// refused (ErrorKind::not_ordinary).
std::optional<Stamp> stamp_of(const std::string& path, Error& err);

// Makes a file read-only, so a program that wants to save into it asks for another name.
// Leaves its time alone.
bool make_read_only(const std::string& path, Error& err);

// How remove_unchanged ended.
enum class Removal { removed, gone, changed, in_use, failed };

// Removes the file at `path` (read-only or not) only when it is an ordinary file whose
// stamp is still `expected` and no program holds it open: on Windows no other handle to
// it is open; on Linux no process whose /proc entries this user can read has it open or
// mapped. When that cannot be told, it counts as held open.
Removal remove_unchanged(const std::string& path, const Stamp& expected, Error& err);

// Removes an empty folder; one with anything in it stays.
bool remove_folder(const std::string& path, Error& err);

// Names of the folders directly in `dir` that are this user's alone: on POSIX owned by
// this user with mode 0700, on Windows any; never a link. Unsorted.
std::optional<std::vector<std::string>> list_own_folders(const std::string& dir, Error& err);

// How a copy between two files ended.
enum class CopyEnd { done, read_failed, write_failed, source_ended, stopped };

// Told of each piece copied; returning false stops the copy (CopyEnd::stopped).
using CopyProgress = std::function<bool(std::uint64_t piece)>;

// An open file, closed when the object goes away.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens an existing regular file for reading. A folder, pipe or device is refused
  // (ErrorKind::not_ordinary) and never blocks the caller.
  static std::optional<File> open_read(const std::string& path, Error& err);
  // Creates a new file for reading and writing. Fails when anything already stands at
  // `path`, a symbolic link included, so it never writes into a file it did not create.
  static std::optional<File> create_new(const std::string& path, Error& err);
  // As open_read, but on Windows only when no other handle to the file is open, and then
  // none opens while this one is (an open one by create_new holds it so); POSIX has no
  // such lock, and it is open_read there.
  static std::optional<File> open_exclusive(const std::string& path, Error& err);

  const std::string& path() const { return path_; }
  // Closes the file; the second form reports what the system said (a delayed write
  // error shows up here on some filesystems). The file counts as closed either way.
  void close();
  bool close(Error& err);

  std::optional<std::uint64_t> size(Error& err) const;

  // Reads exactly `n` bytes at 0-based `offset`; fails on a short read.
  bool read_exact_at(std::uint64_t offset, void* data, std::size_t n, Error& err);

  // Writes all `n` bytes at the current position, which then stands after them.
  bool write(const void* data, std::size_t n, Error& err);
  // Moves the current position to 0-based `offset` and writes there.
  bool write_at(std::uint64_t offset, const void* data, std::size_t n, Error& err);
  bool seek(std::uint64_t offset, Error& err);

  // Writes everything written so far through to the disk.
  bool sync(Error& err);

  // Streams `length` bytes from `source` at 0-based `source_offset` to this file's
  // current position, with a fixed buffer (or the kernel's copy where it works), so
  // memory stays the same whatever the length. `err` says why when it does not end done.
  CopyEnd copy_from(File& source, std::uint64_t source_offset, std::uint64_t length, Error& err,
                    const CopyProgress& progress = {});

 private:
#ifdef _WIN32
  void* handle_ = nullptr;  // INVALID_HANDLE_VALUE is never stored
#else
  int fd_ = -1;
#endif
  std::string path_;
};

}  // namespace platform
