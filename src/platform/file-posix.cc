#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <type_traits>
#include <vector>

#include "platform/faults.h"
#include "platform/file.h"

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace platform {
namespace {

// The buffer of the plain copy; the kernel's copy takes larger pieces, which cost no
// memory and fewer calls, while still reporting progress several times a second.
constexpr std::size_t kCopyPiece = 1 << 20;
constexpr std::size_t kKernelCopyPiece = 16 << 20;

ErrorKind kind_of(int code) {
  switch (code) {
    case ENOENT:
    case ENOTDIR:
      return ErrorKind::not_found;
    case EACCES:
    case EPERM:
      return ErrorKind::no_permission;
    case EROFS:
      return ErrorKind::read_only;
    case ENOSPC:
    case EDQUOT:
      return ErrorKind::disk_full;
    case ENAMETOOLONG:
      return ErrorKind::name_too_long;
    case EFBIG:
      return ErrorKind::too_large;
    case EISDIR:
    case ENXIO:
      return ErrorKind::not_ordinary;
    case EIO:
      return ErrorKind::io;
    case ECANCELED:
      return ErrorKind::cancelled;
    default:
      return ErrorKind::other;
  }
}

bool fail(Error& err, int code) {
  err = system_error(static_cast<unsigned long>(code));
  return false;
}

bool fail_errno(Error& err) {
  return fail(err, errno);
}

// Each system call goes through here, so a test build can make any one of them fail:
// the call then returns -1 with errno set, as the system would.
template <typename Call>
auto sys(const std::string& path, Call&& call) -> decltype(call()) {
  using Result = decltype(call());
  if (faults::trip(path)) {
    if constexpr (std::is_pointer_v<Result>) {
      return nullptr;
    } else {
      return static_cast<Result>(-1);
    }
  }
  return call();
}

// Offsets travel as off_t, which is signed.
bool fits_off_t(std::uint64_t v) {
  return v <= static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
}

bool write_all_at(int fd, const std::string& path, const char* p, std::size_t n,
                  std::uint64_t offset, Error& err) {
  while (n > 0) {
    ssize_t w = sys(path, [&] { return pwrite(fd, p, n, static_cast<off_t>(offset)); });
    if (w < 0) {
      if (errno == EINTR) continue;
      return fail_errno(err);
    }
    if (w == 0) return fail(err, ENOSPC);
    p += w;
    n -= static_cast<std::size_t>(w);
    offset += static_cast<std::uint64_t>(w);
  }
  return true;
}

bool stat_of(const std::string& path, struct stat& st, bool follow) {
  return sys(path, [&] { return follow ? stat(path.c_str(), &st) : lstat(path.c_str(), &st); }) ==
         0;
}

// A pipe or device at a name where a file is wanted: say so rather than open it.
bool fail_not_ordinary(Error& err, const struct stat& st) {
  fail(err, S_ISDIR(st.st_mode) ? EISDIR : ENXIO);
  err.kind = ErrorKind::not_ordinary;
  return false;
}

int open_file(const std::string& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = sys(path, [&] { return ::open(path.c_str(), flags | O_CLOEXEC, mode); });
  } while (fd < 0 && errno == EINTR);
  return fd;
}

Stamp stamp(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_size),
          static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

// Whether a process whose /proc entries we may read has the file open, or mapped (a viewer
// may map a file and close it). When /proc cannot be read nobody can tell: held, then.
bool held_open(dev_t dev, ino_t ino) {
  DIR* proc = sys("/proc", [] { return opendir("/proc"); });
  if (!proc) return true;
  bool held = false;
  char* line = nullptr;
  std::size_t room = 0;
  for (const dirent* e; !held && (e = sys("/proc", [&] { return readdir(proc); }));) {
    if (e->d_name[0] < '1' || e->d_name[0] > '9') continue;
    const std::string process = std::string("/proc/") + e->d_name;
    const std::string fd_dir = process + "/fd";
    if (DIR* fds = sys(fd_dir, [&] { return opendir(fd_dir.c_str()); })) {
      for (const dirent* fd; !held && (fd = sys(fd_dir, [&] { return readdir(fds); }));) {
        struct stat st;
        held = fd->d_name[0] != '.' && stat((process + "/fd/" + fd->d_name).c_str(), &st) == 0 &&
               st.st_dev == dev && st.st_ino == ino;
      }
      closedir(fds);
    }
    if (std::FILE* maps = held ? nullptr : std::fopen((process + "/maps").c_str(), "re")) {
      while (!held && getline(&line, &room, maps) > 0) {
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        held = std::sscanf(line, "%*s %*s %*s %x:%x %llu", &major, &minor, &inode) == 3 &&
               inode == ino && makedev(major, minor) == dev;
      }
      std::fclose(maps);
    }
  }
  std::free(line);
  closedir(proc);
  return held;
}

}  // namespace

std::string executable_path() {
  std::vector<char> buf(PATH_MAX);
  while (true) {
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return "";
    if (static_cast<std::size_t>(n) < buf.size())
      return std::string(buf.data(), static_cast<std::size_t>(n));
    buf.resize(buf.size() * 2);
  }
}

std::string executable_dir() {
  const std::string path = executable_path();
  auto cut = path.find_last_of('/');
  if (cut == std::string::npos) return ".";
  return cut == 0 ? "/" : path.substr(0, cut);
}

bool is_ordinary_file(const std::string& path) {
  const std::string name = base_name(path);
  if (name.empty() || name[0] == '.') return false;
  struct stat st;
  return stat_of(path, st, true) && S_ISREG(st.st_mode);
}

Error system_error(unsigned long code) {
  const int errno_code = static_cast<int>(code);
  return {errno_code, std::strerror(errno_code), kind_of(errno_code)};
}

bool path_exists(const std::string& path) {
  struct stat st;
  return stat_of(path, st, false);
}

bool is_folder(const std::string& path) {
  struct stat st;
  return stat_of(path, st, true) && S_ISDIR(st.st_mode);
}

std::optional<std::uint64_t> file_size(const std::string& path, Error& err) {
  struct stat st;
  if (!stat_of(path, st, true)) {
    fail_errno(err);
    return std::nullopt;
  }
  if (!S_ISREG(st.st_mode)) {
    fail_not_ordinary(err, st);
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(st.st_size);
}

bool delete_file(const std::string& path, Error& err) {
  // unlink() takes the name literally and refuses folders (EISDIR).
  if (sys(path, [&] { return unlink(path.c_str()); }) != 0) return fail_errno(err);
  return true;
}

bool rename_no_replace(const std::string& from, const std::string& to, Error& err) {
  if (sys(to, [&] {
        return syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(),
                       RENAME_NOREPLACE);
      }) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return fail_errno(err);
  // File systems without RENAME_NOREPLACE: link() refuses an existing name just the same.
  if (sys(to, [&] { return link(from.c_str(), to.c_str()); }) == 0) {
    if (sys(from, [&] { return unlink(from.c_str()); }) == 0) return true;
    Error cause;
    fail_errno(cause);
    unlink(to.c_str());  // both names lead to the same file: drop the new one again
    err = cause;
    return false;
  }
  if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return fail_errno(err);
  // Neither (some shared and FUSE folders): look, then rename. Only another process
  // creating the name in between could be replaced.
  struct stat st;
  if (stat_of(to, st, false)) return fail(err, EEXIST);
  if (errno != ENOENT) return fail_errno(err);
  if (sys(to, [&] { return rename(from.c_str(), to.c_str()); }) != 0) return fail_errno(err);
  return true;
}

bool replace_file(const std::string& from, const std::string& to, Error& err) {
  // rename() swaps the name over in one step.
  if (sys(to, [&] { return rename(from.c_str(), to.c_str()); }) != 0) return fail_errno(err);
  return true;
}

bool sync_folder(const std::string& dir, Error& err) {
  const int fd = open_file(dir, O_RDONLY | O_DIRECTORY);
  if (fd < 0) return fail_errno(err);
  int r = sys(dir, [&] { return fsync(fd); });
  const int code = errno;
  ::close(fd);
  // Some file systems cannot sync a folder; their renames are as durable as they get.
  if (r != 0 && code != EINVAL && code != EROFS) return fail(err, code);
  return true;
}

bool make_executable(const std::string& path, Error& err) {
  struct stat st;
  if (!stat_of(path, st, true)) return fail_errno(err);
  const mode_t mode = st.st_mode & 07777;
  const mode_t wanted = mode | ((mode & 0444) >> 2);
  if (wanted != mode && sys(path, [&] { return chmod(path.c_str(), wanted); }) != 0)
    return fail_errno(err);
  return true;
}

namespace {

// The names in `dir` that `keep` takes, "." and ".." never among them.
std::optional<std::vector<std::string>> list_names(
    const std::string& dir, Error& err, const std::function<bool(const std::string&)>& keep) {
  DIR* d = sys(dir, [&] { return opendir(dir.c_str()); });
  if (!d) {
    fail_errno(err);
    return std::nullopt;
  }
  std::vector<std::string> names;
  while (true) {
    errno = 0;
    const dirent* e = sys(dir, [&] { return readdir(d); });
    if (!e) break;
    std::string name = e->d_name;
    if (name != "." && name != ".." && keep(name)) names.push_back(std::move(name));
  }
  const int read_error = errno;
  closedir(d);
  if (read_error != 0) {
    fail(err, read_error);
    return std::nullopt;
  }
  return names;
}

}  // namespace

std::optional<std::vector<std::string>> list_ordinary_files(const std::string& dir, Error& err) {
  // Hidden files are left out with "." and "..".
  return list_names(dir, err, [&](const std::string& name) {
    return name[0] != '.' && is_ordinary_file(join(dir, name));
  });
}

std::optional<Stamp> stamp_of(const std::string& path, Error& err) {
  struct stat st;
  if (!stat_of(path, st, false)) {
    fail_errno(err);
    return std::nullopt;
  }
  if (!S_ISREG(st.st_mode)) {
    fail_not_ordinary(err, st);
    return std::nullopt;
  }
  return stamp(st);
}

bool make_read_only(const std::string& path, Error& err) {
  struct stat st;
  if (!stat_of(path, st, false)) return fail_errno(err);
  if (!S_ISREG(st.st_mode)) return fail_not_ordinary(err, st);
  if (sys(path, [&] { return chmod(path.c_str(), st.st_mode & 07555); }) != 0)
    return fail_errno(err);
  return true;
}

Removal remove_unchanged(const std::string& path, const Stamp& expected, Error& err) {
  struct stat st;
  if (!stat_of(path, st, false)) {
    if (errno == ENOENT) return Removal::gone;
    fail_errno(err);
    return Removal::failed;
  }
  if (!S_ISREG(st.st_mode) || stamp(st) != expected) return Removal::changed;
  if (held_open(st.st_dev, st.st_ino)) return Removal::in_use;
  if (sys(path, [&] { return unlink(path.c_str()); }) == 0) return Removal::removed;
  if (errno == ENOENT) return Removal::gone;
  fail_errno(err);
  return Removal::failed;
}

bool remove_folder(const std::string& path, Error& err) {
  if (sys(path, [&] { return rmdir(path.c_str()); }) != 0) return fail_errno(err);
  return true;
}

std::optional<std::vector<std::string>> list_own_folders(const std::string& dir, Error& err) {
  return list_names(dir, err, [&](const std::string& name) {
    struct stat st;
    return stat_of(join(dir, name), st, false) && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
           (st.st_mode & 07777) == 0700;
  });
}

File::~File() {
  close();
}

File::File(File&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) {
  other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    other.fd_ = -1;
  }
  return *this;
}

std::optional<File> File::open_read(const std::string& path, Error& err) {
  File f;
  f.path_ = path;
  // Without O_NONBLOCK a pipe would wait for a writer for ever; it is refused below.
  f.fd_ = open_file(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
  if (f.fd_ < 0) {
    fail_errno(err);
    return std::nullopt;
  }
  struct stat st;
  if (sys(path, [&] { return fstat(f.fd_, &st); }) != 0) {
    fail_errno(err);
    return std::nullopt;
  }
  if (!S_ISREG(st.st_mode)) {
    fail_not_ordinary(err, st);
    return std::nullopt;
  }
  return f;
}

std::optional<File> File::open_exclusive(const std::string& path, Error& err) {
  return open_read(path, err);
}

std::optional<File> File::create_new(const std::string& path, Error& err) {
  File f;
  f.path_ = path;
  // O_EXCL fails on any existing name, a dangling link included; O_NOFOLLOW says so
  // twice, for the sake of anyone reading this.
  f.fd_ = open_file(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0644);
  if (f.fd_ < 0) {
    fail_errno(err);
    return std::nullopt;
  }
  return f;
}

void File::close() {
  Error ignored;
  close(ignored);
}

bool File::close(Error& err) {
  if (fd_ < 0) return true;
  const int fd = fd_;
  fd_ = -1;
  // Linux releases the descriptor even when close() reports EINTR: never retry. An
  // injected failure still closes it, as a real one does.
  if (faults::trip(path_)) {
    const int code = errno;
    ::close(fd);
    errno = code;
    if (code != EINTR) return fail_errno(err);
    return true;
  }
  if (::close(fd) != 0 && errno != EINTR) return fail_errno(err);
  return true;
}

std::optional<std::uint64_t> File::size(Error& err) const {
  struct stat st;
  if (sys(path_, [&] { return fstat(fd_, &st); }) != 0) {
    fail_errno(err);
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(st.st_size);
}

bool File::read_exact_at(std::uint64_t offset, void* data, std::size_t n, Error& err) {
  auto* p = static_cast<char*>(data);
  while (n > 0) {
    if (!fits_off_t(offset)) return fail(err, EINVAL);
    ssize_t r = sys(path_, [&] { return pread(fd_, p, n, static_cast<off_t>(offset)); });
    if (r < 0) {
      if (errno == EINTR) continue;
      return fail_errno(err);
    }
    if (r == 0) return fail(err, ENODATA);  // the file ends early
    p += r;
    n -= static_cast<std::size_t>(r);
    offset += static_cast<std::uint64_t>(r);
  }
  return true;
}

bool File::write(const void* data, std::size_t n, Error& err) {
  const off_t here = sys(path_, [&] { return lseek(fd_, 0, SEEK_CUR); });
  if (here < 0) return fail_errno(err);
  const auto offset = static_cast<std::uint64_t>(here);
  return write_all_at(fd_, path_, static_cast<const char*>(data), n, offset, err) &&
         seek(offset + n, err);
}

bool File::write_at(std::uint64_t offset, const void* data, std::size_t n, Error& err) {
  return seek(offset, err) && write(data, n, err);
}

bool File::seek(std::uint64_t offset, Error& err) {
  if (!fits_off_t(offset)) return fail(err, EINVAL);
  if (sys(path_, [&] { return lseek(fd_, static_cast<off_t>(offset), SEEK_SET); }) < 0)
    return fail_errno(err);
  return true;
}

bool File::sync(Error& err) {
  while (sys(path_, [&] { return fsync(fd_); }) != 0) {
    if (errno != EINTR) return fail_errno(err);
  }
  return true;
}

CopyEnd File::copy_from(File& source, std::uint64_t source_offset, std::uint64_t length, Error& err,
                        const CopyProgress& progress) {
  const off_t here = sys(path_, [&] { return lseek(fd_, 0, SEEK_CUR); });
  if (here < 0) return fail_errno(err), CopyEnd::write_failed;
  if (!fits_off_t(source_offset) || !fits_off_t(length) ||
      length > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) - source_offset ||
      length > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max() - here)) {
    return fail(err, EINVAL), CopyEnd::read_failed;
  }

  std::uint64_t in = source_offset;
  std::uint64_t out = static_cast<std::uint64_t>(here);
  std::uint64_t left = length;
  auto advance = [&](std::uint64_t n) {
    in += n;
    out += n;
    left -= n;
    return !progress || progress(n);
  };

  // The kernel's copy first: no bytes through user space, and reflinks where the
  // filesystem has them. It works with explicit offsets and leaves both file positions
  // alone, so ours is set at the end. On any error the plain copy takes over: it knows
  // which of the two files failed, and a passing trouble costs nothing.
  while (left > 0) {
    off_t in_off = static_cast<off_t>(in);
    off_t out_off = static_cast<off_t>(out);
    ssize_t r = sys(path_, [&] {
      return copy_file_range(
          source.fd_, &in_off, fd_, &out_off,
          static_cast<std::size_t>(std::min<std::uint64_t>(left, kKernelCopyPiece)), 0);
    });
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;  // an error, or the source ended: the plain copy says which
    if (!advance(static_cast<std::uint64_t>(r))) return fail(err, ECANCELED), CopyEnd::stopped;
  }

  if (left > 0) {
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(left, kCopyPiece)));
    while (left > 0) {
      const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
      ssize_t r = sys(source.path_, [&] {
        return pread(source.fd_, buffer.data(), want, static_cast<off_t>(in));
      });
      if (r < 0) {
        if (errno == EINTR) continue;
        return fail_errno(err), CopyEnd::read_failed;
      }
      if (r == 0) return fail(err, ENODATA), CopyEnd::source_ended;
      if (!write_all_at(fd_, path_, buffer.data(), static_cast<std::size_t>(r), out, err))
        return CopyEnd::write_failed;
      if (!advance(static_cast<std::uint64_t>(r))) return fail(err, ECANCELED), CopyEnd::stopped;
    }
  }
  return seek(out, err) ? CopyEnd::done : CopyEnd::write_failed;
}

}  // namespace platform
