// File operations on the W calls: every path goes from UTF-8 to UTF-16, so no name
// passes through the ANSI code page and turns into another.
#include <windows.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <vector>

#include "platform/encoding.h"
#include "platform/faults.h"
#include "platform/file.h"

namespace platform {
namespace {

constexpr DWORD kCopyPiece = 1 << 20;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE as_handle(void* h) {
  return static_cast<HANDLE>(h);
}

ErrorKind kind_of(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return ErrorKind::not_found;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return ErrorKind::no_permission;
    case ERROR_WRITE_PROTECT:
      return ErrorKind::read_only;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ErrorKind::disk_full;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
      return ErrorKind::name_too_long;
    case ERROR_FILE_TOO_LARGE:
      return ErrorKind::too_large;
    case ERROR_DIRECTORY:
    case ERROR_BAD_FILE_TYPE:
      return ErrorKind::not_ordinary;
    case ERROR_IO_DEVICE:
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
      return ErrorKind::io;
    case ERROR_CANCELLED:
    case ERROR_OPERATION_ABORTED:
      return ErrorKind::cancelled;
    default:
      return ErrorKind::other;
  }
}

bool fail(Error& err, DWORD code) {
  err = system_error(code);
  return false;
}

bool fail_last(Error& err) {
  return fail(err, GetLastError());
}

// Malformed UTF-8 never reaches the system: it would name some other file.
std::optional<std::wstring> wide_path(const std::string& path, Error& err) {
  auto wide = utf8_to_wide(path);
  if (!wide || wide->find(L'\0') != std::wstring::npos) {
    fail(err, ERROR_INVALID_NAME);
    return std::nullopt;
  }
  return wide;
}

// Each system call about a file goes through here, so a test build can make any one of
// them fail: the call then gives `failed`, its own failure value, with the thread's last
// error set, as the system would.
template <typename Failed, typename Call>
auto sys(const std::string& path, Failed failed, Call&& call) -> decltype(call()) {
  if (faults::trip(path)) return static_cast<decltype(call())>(failed);
  return call();
}

DWORD attributes(const std::string& path, const std::wstring& wide) {
  return sys(path, INVALID_FILE_ATTRIBUTES, [&] { return GetFileAttributesW(wide.c_str()); });
}

// Offsets travel as LARGE_INTEGER, which is signed.
bool fits_signed(std::uint64_t v) {
  return v <= static_cast<std::uint64_t>(std::numeric_limits<LONGLONG>::max());
}

// Follows a link to what it leads to; the attributes of the target, or nothing.
std::optional<DWORD> target_attributes(const std::string& path, const std::wstring& wide) {
  HANDLE h = sys(path, INVALID_HANDLE_VALUE, [&] {
    return CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  });
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info;
  BOOL ok = sys(path, FALSE, [&] { return GetFileInformationByHandle(h, &info); });
  CloseHandle(h);
  if (!ok) return std::nullopt;
  return info.dwFileAttributes;
}

bool ordinary_attributes(DWORD a) {
  return !(a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                FILE_ATTRIBUTE_DEVICE));
}

// Opens a disk file; device names such as CON or NUL open "successfully" anywhere, so
// only what the system calls a disk file is kept.
bool open_disk_file(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                    void*& handle, Error& err) {
  auto wide = wide_path(path, err);
  if (!wide) return false;
  if (disposition == OPEN_EXISTING) {
    // A folder would be refused as "access denied", which sends the user the wrong way.
    const DWORD a = attributes(path, *wide);
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY))
      return fail(err, ERROR_DIRECTORY);
  }
  HANDLE h = sys(path, INVALID_HANDLE_VALUE, [&] {
    return CreateFileW(wide->c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  });
  if (h == INVALID_HANDLE_VALUE) return fail_last(err);
  const DWORD type = sys(path, FILE_TYPE_UNKNOWN, [&] { return GetFileType(h); });
  if (type != FILE_TYPE_DISK) {
    const DWORD why = type == FILE_TYPE_UNKNOWN ? GetLastError() : ERROR_BAD_FILE_TYPE;
    CloseHandle(h);
    // A file this call made and could not judge is taken back; a device was never made.
    if (disposition == CREATE_NEW && type == FILE_TYPE_UNKNOWN) DeleteFileW(wide->c_str());
    return fail(err, why == NO_ERROR ? ERROR_BAD_FILE_TYPE : why);
  }
  handle = h;
  return true;
}

std::optional<std::uint64_t> current_position(HANDLE h, const std::string& path, Error& err) {
  LARGE_INTEGER zero{}, now{};
  if (!sys(path, FALSE, [&] { return SetFilePointerEx(h, zero, &now, FILE_CURRENT); })) {
    fail_last(err);
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(now.QuadPart);
}

bool set_position(HANDLE h, const std::string& path, std::uint64_t offset, Error& err) {
  if (!fits_signed(offset)) return fail(err, ERROR_NEGATIVE_SEEK);
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  if (!sys(path, FALSE, [&] { return SetFilePointerEx(h, to, nullptr, FILE_BEGIN); }))
    return fail_last(err);
  return true;
}

// ReadFile at an explicit offset; moves the file pointer, which callers put back.
bool read_at(HANDLE h, const std::string& path, std::uint64_t offset, void* data, DWORD n,
             DWORD& got, Error& err) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  got = 0;
  if (!sys(path, FALSE, [&] { return ReadFile(h, data, n, &got, &at); })) {
    if (GetLastError() == ERROR_HANDLE_EOF) {
      got = 0;
      return true;
    }
    return fail_last(err);
  }
  return true;
}

// A file's size and last write, as the system reports them in two halves each.
Stamp stamp(DWORD size_high, DWORD size_low, const FILETIME& written) {
  return {static_cast<std::uint64_t>(size_high) << 32 | size_low,
          static_cast<std::int64_t>(static_cast<std::uint64_t>(written.dwHighDateTime) << 32 |
                                    written.dwLowDateTime)};
}

constexpr DWORD kNotAFile =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;

// The names in `dir` that `keep` takes, never "." or "..": nothing at all when the folder
// cannot be read to its end.
std::optional<std::vector<std::string>> list_names(
    const std::string& dir, Error& err,
    const std::function<bool(const WIN32_FIND_DATAW&, const std::string&)>& keep) {
  auto wide = wide_path(dir, err);
  if (!wide) return std::nullopt;
  std::wstring pattern = *wide;
  if (pattern.empty() || (pattern.back() != L'\\' && pattern.back() != L'/')) pattern += L'\\';
  pattern += L'*';

  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE h =
      sys(dir, INVALID_HANDLE_VALUE, [&] { return FindFirstFileW(pattern.c_str(), &found); });
  if (h == INVALID_HANDLE_VALUE) {
    // An empty drive root has not even "." and "..".
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return names;
    fail_last(err);
    return std::nullopt;
  }
  do {
    const std::wstring_view wide_name = found.cFileName;
    if (wide_name == L"." || wide_name == L"..") continue;
    std::string name = wide_to_utf8(found.cFileName);
    if (keep(found, name)) names.push_back(std::move(name));
  } while (sys(dir, FALSE, [&] { return FindNextFileW(h, &found); }));
  const DWORD why = GetLastError();
  FindClose(h);
  if (why != ERROR_NO_MORE_FILES) {
    fail(err, why);
    return std::nullopt;
  }
  return names;
}

}  // namespace

std::string executable_path() {
  std::vector<wchar_t> buf(MAX_PATH);
  while (true) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return "";
    if (n < buf.size()) return wide_to_utf8(std::wstring_view(buf.data(), n));
    buf.resize(buf.size() * 2);
  }
}

std::string executable_dir() {
  std::string path = executable_path();
  auto cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return ".";
  path.resize(cut);
  // A drive root keeps its separator: "C:" alone would mean C's current folder.
  if (path.size() == 2 && path[1] == ':') path += '\\';
  return path;
}

bool is_ordinary_file(const std::string& path) {
  auto wide = utf8_to_wide(path);
  if (!wide) return false;
  // GetFileAttributesW takes no wildcards: "*.pdf" is refused, never matched.
  DWORD a = attributes(path, *wide);
  if (a == INVALID_FILE_ATTRIBUTES || !ordinary_attributes(a)) return false;
  if (a & FILE_ATTRIBUTE_REPARSE_POINT) {
    auto target = target_attributes(path, *wide);
    return target && ordinary_attributes(*target);
  }
  return true;
}

bool path_exists(const std::string& path) {
  auto wide = utf8_to_wide(path);
  return wide && attributes(path, *wide) != INVALID_FILE_ATTRIBUTES;
}

bool is_folder(const std::string& path) {
  auto wide = utf8_to_wide(path);
  if (!wide) return false;
  const DWORD a = attributes(path, *wide);
  if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (!(a & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
  auto target = target_attributes(path, *wide);
  return target && (*target & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::uint64_t> file_size(const std::string& path, Error& err) {
  auto f = File::open_read(path, err);
  if (!f) return std::nullopt;
  return f->size(err);
}

bool delete_file(const std::string& path, Error& err) {
  auto wide = wide_path(path, err);
  if (!wide) return false;
  // DeleteFileW takes one literal name and refuses folders.
  if (!sys(path, FALSE, [&] { return DeleteFileW(wide->c_str()); })) return fail_last(err);
  return true;
}

bool rename_no_replace(const std::string& from, const std::string& to, Error& err) {
  auto wide_from = wide_path(from, err);
  auto wide_to = wide_path(to, err);
  if (!wide_from || !wide_to) return false;
  // Without MOVEFILE_REPLACE_EXISTING an existing target is refused.
  if (!sys(to, FALSE, [&] {
        return MoveFileExW(wide_from->c_str(), wide_to->c_str(), MOVEFILE_WRITE_THROUGH);
      }))
    return fail_last(err);
  return true;
}

bool replace_file(const std::string& from, const std::string& to, Error& err) {
  auto wide_from = wide_path(from, err);
  auto wide_to = wide_path(to, err);
  if (!wide_from || !wide_to) return false;
  // One rename over the old name: there is never a moment without either file.
  if (!sys(to, FALSE, [&] {
        return MoveFileExW(wide_from->c_str(), wide_to->c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
      }))
    return fail_last(err);
  return true;
}

bool sync_folder(const std::string&, Error&) {
  return true;  // MOVEFILE_WRITE_THROUGH has made the rename durable already
}

bool make_executable(const std::string&, Error&) {
  return true;
}

std::optional<std::vector<std::string>> list_ordinary_files(const std::string& dir, Error& err) {
  return list_names(dir, err, [&](const WIN32_FIND_DATAW& found, const std::string& name) {
    const DWORD a = found.dwFileAttributes;
    return ordinary_attributes(a) &&
           (!(a & FILE_ATTRIBUTE_REPARSE_POINT) || is_ordinary_file(join(dir, name)));
  });
}

std::optional<Stamp> stamp_of(const std::string& path, Error& err) {
  auto wide = wide_path(path, err);
  if (!wide) return std::nullopt;
  // The name's own attributes: a link is not followed.
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!sys(path, FALSE,
           [&] { return GetFileAttributesExW(wide->c_str(), GetFileExInfoStandard, &data); })) {
    fail_last(err);
    return std::nullopt;
  }
  if (data.dwFileAttributes & kNotAFile) {
    fail(err, ERROR_BAD_FILE_TYPE);
    return std::nullopt;
  }
  return stamp(data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime);
}

bool make_read_only(const std::string& path, Error& err) {
  auto wide = wide_path(path, err);
  if (!wide) return false;
  const DWORD a = attributes(path, *wide);
  if (a == INVALID_FILE_ATTRIBUTES) return fail_last(err);
  if (a & kNotAFile) return fail(err, ERROR_BAD_FILE_TYPE);
  if (!sys(path, FALSE, [&] {
        return SetFileAttributesW(wide->c_str(),
                                  (a & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_READONLY);
      }))
    return fail_last(err);
  return true;
}

Removal remove_unchanged(const std::string& path, const Stamp& expected, Error& err) {
  auto wide = wide_path(path, err);
  if (!wide) return Removal::failed;
  // Shared with nobody: the open fails while any program has the file open, and none can
  // open it from here until it is gone. The link itself, were it one; a folder opens too,
  // to be refused as one.
  HANDLE h = sys(path, INVALID_HANDLE_VALUE, [&] {
    return CreateFileW(wide->c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0,
                       nullptr, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  });
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD why = GetLastError();
    if (why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND) return Removal::gone;
    if (why == ERROR_SHARING_VIOLATION) return Removal::in_use;
    fail(err, why);
    return Removal::failed;
  }
  BY_HANDLE_FILE_INFORMATION info;
  Removal result = Removal::changed;
  if (!sys(path, FALSE, [&] { return GetFileInformationByHandle(h, &info); })) {
    result = Removal::failed;
    fail_last(err);
  } else if (!(info.dwFileAttributes & kNotAFile) &&
             stamp(info.nFileSizeHigh, info.nFileSizeLow, info.ftLastWriteTime) == expected) {
    // A read-only file cannot be deleted; times of 0 are left as they are.
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY;
    if (!basic.FileAttributes) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    FILE_DISPOSITION_INFO remove{TRUE};
    const auto set = [&](FILE_INFO_BY_HANDLE_CLASS kind, void* data, DWORD size) {
      return sys(path, FALSE, [&] { return SetFileInformationByHandle(h, kind, data, size); });
    };
    if (set(FileBasicInfo, &basic, sizeof basic) &&
        set(FileDispositionInfo, &remove, sizeof remove)) {
      result = Removal::removed;
    } else {
      result = Removal::failed;
      fail_last(err);
      basic.FileAttributes = info.dwFileAttributes;
      SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic);
    }
  }
  CloseHandle(h);
  return result;
}

bool remove_folder(const std::string& path, Error& err) {
  auto wide = wide_path(path, err);
  if (!wide) return false;
  if (!sys(path, FALSE, [&] { return RemoveDirectoryW(wide->c_str()); })) return fail_last(err);
  return true;
}

std::optional<std::vector<std::string>> list_own_folders(const std::string& dir, Error& err) {
  return list_names(dir, err, [](const WIN32_FIND_DATAW& found, const std::string&) {
    return (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
           FILE_ATTRIBUTE_DIRECTORY;
  });
}

File::~File() {
  close();
}

File::File(File&& other) noexcept : handle_(other.handle_), path_(std::move(other.path_)) {
  other.handle_ = nullptr;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    path_ = std::move(other.path_);
    other.handle_ = nullptr;
  }
  return *this;
}

std::optional<File> File::open_read(const std::string& path, Error& err) {
  File f;
  f.path_ = path;
  // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open at all.
  if (!open_disk_file(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                      f.handle_, err)) {
    return std::nullopt;
  }
  return f;
}

std::optional<File> File::open_exclusive(const std::string& path, Error& err) {
  File f;
  f.path_ = path;
  if (!open_disk_file(path, GENERIC_READ, 0, OPEN_EXISTING, f.handle_, err)) return std::nullopt;
  return f;
}

std::optional<File> File::create_new(const std::string& path, Error& err) {
  File f;
  f.path_ = path;
  // CREATE_NEW refuses any existing name, a link included.
  if (!open_disk_file(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW, f.handle_,
                      err)) {
    return std::nullopt;
  }
  return f;
}

void File::close() {
  Error ignored;
  close(ignored);
}

bool File::close(Error& err) {
  if (!handle_) return true;
  HANDLE h = as_handle(handle_);
  handle_ = nullptr;
  // An injected failure still closes the handle, as a real one does.
  const bool injected = faults::trip(path_);  // the one call that still happens
  const DWORD why = GetLastError();
  if (!CloseHandle(h) || injected) return fail(err, injected ? why : GetLastError());
  return true;
}

std::optional<std::uint64_t> File::size(Error& err) const {
  LARGE_INTEGER size;
  if (!sys(path_, FALSE, [&] { return GetFileSizeEx(as_handle(handle_), &size); })) {
    fail_last(err);
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool File::read_exact_at(std::uint64_t offset, void* data, std::size_t n, Error& err) {
  HANDLE h = as_handle(handle_);
  auto here = current_position(h, path_, err);
  if (!here) return false;
  auto* p = static_cast<char*>(data);
  bool ok = true;
  while (ok && n > 0) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
    if (!read_at(h, path_, offset, p, want, got, err)) {
      ok = false;
    } else if (got == 0) {
      ok = fail(err, ERROR_HANDLE_EOF);  // the file ends early
    } else {
      p += got;
      n -= got;
      offset += got;
    }
  }
  Error ignored;
  set_position(h, path_, *here, ignored);  // reading at an offset leaves the position alone
  return ok;
}

bool File::write(const void* data, std::size_t n, Error& err) {
  const auto* p = static_cast<const char*>(data);
  while (n > 0) {
    DWORD done = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
    if (!sys(path_, FALSE, [&] { return WriteFile(as_handle(handle_), p, want, &done, nullptr); }))
      return fail_last(err);
    if (done == 0) return fail(err, ERROR_WRITE_FAULT);
    p += done;
    n -= done;
  }
  return true;
}

bool File::write_at(std::uint64_t offset, const void* data, std::size_t n, Error& err) {
  return seek(offset, err) && write(data, n, err);
}

bool File::seek(std::uint64_t offset, Error& err) {
  return set_position(as_handle(handle_), path_, offset, err);
}

bool File::sync(Error& err) {
  if (!sys(path_, FALSE, [&] { return FlushFileBuffers(as_handle(handle_)); }))
    return fail_last(err);
  return true;
}

CopyEnd File::copy_from(File& source, std::uint64_t source_offset, std::uint64_t length, Error& err,
                        const CopyProgress& progress) {
  if (!fits_signed(source_offset) || !fits_signed(length) ||
      length > static_cast<std::uint64_t>(std::numeric_limits<LONGLONG>::max()) - source_offset) {
    fail(err, ERROR_INVALID_PARAMETER);
    return CopyEnd::read_failed;
  }
  HANDLE in = as_handle(source.handle_);
  auto source_here = current_position(in, source.path_, err);
  if (!source_here) return CopyEnd::read_failed;

  std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(length, kCopyPiece)));
  std::uint64_t at = source_offset;
  std::uint64_t left = length;
  CopyEnd result = CopyEnd::done;
  while (result == CopyEnd::done && left > 0) {
    DWORD got = 0;
    const auto want = static_cast<DWORD>(std::min<std::uint64_t>(left, buffer.size()));
    if (!read_at(in, source.path_, at, buffer.data(), want, got, err)) {
      result = CopyEnd::read_failed;
    } else if (got == 0) {
      fail(err, ERROR_HANDLE_EOF);  // the source ends early
      result = CopyEnd::source_ended;
    } else if (!write(buffer.data(), got, err)) {
      result = CopyEnd::write_failed;
    } else {
      at += got;
      left -= got;
      if (progress && !progress(got)) {
        fail(err, ERROR_CANCELLED);
        result = CopyEnd::stopped;
      }
    }
  }
  Error ignored;
  set_position(in, source.path_, *source_here, ignored);
  return result;
}

Error system_error(unsigned long code) {
  return {static_cast<int>(code), system_message(code), kind_of(code)};
}

std::string system_message(unsigned long code) {
  wchar_t* text = nullptr;
  DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = n > 0 && text ? std::wstring(text, n) : std::wstring();
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' ||
                              message.back() == L' ' || message.back() == L'.'))
    message.pop_back();
  if (message.empty()) return "Windows error " + std::to_string(code);
  return wide_to_utf8(message);
}

}  // namespace platform
