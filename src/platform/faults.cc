#include "platform/faults.h"

// Compiled into test builds only; a plain build of these sources (the reader in the
// sanitizer build) gets none of it.
#ifdef TARVELLO_FAULTS

#include <mutex>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace platform::faults {
namespace {

// A build runs on a worker thread in the windows: the counter is shared.
std::mutex guard;
std::uint64_t armed = 0;  // 0: nothing armed
std::uint64_t count = 0;
Fault chosen = Fault::io;
bool hit = false;
std::string hit_path;

void set_error(Fault fault) {
#ifdef _WIN32
  switch (fault) {
    case Fault::disk_full:
      SetLastError(ERROR_DISK_FULL);
      break;
    case Fault::no_permission:
      SetLastError(ERROR_ACCESS_DENIED);
      break;
    case Fault::io:
    case Fault::interrupted:  // Windows has no interrupted call; a failed one instead
      SetLastError(ERROR_IO_DEVICE);
      break;
  }
#else
  errno = fault == Fault::disk_full       ? ENOSPC
          : fault == Fault::no_permission ? EACCES
          : fault == Fault::interrupted   ? EINTR
                                          : EIO;
#endif
}

}  // namespace

void arm(std::uint64_t nth, Fault fault) {
  std::lock_guard lock(guard);
  armed = nth;
  count = 0;
  chosen = fault;
  hit = false;
  hit_path.clear();
}

void disarm() {
  arm(0, Fault::io);
}

bool fired() {
  std::lock_guard lock(guard);
  return hit;
}

std::string fired_path() {
  std::lock_guard lock(guard);
  return hit_path;
}

bool trip(const std::string& path) {
  std::lock_guard lock(guard);
  if (++count != armed) return false;
  hit = true;
  hit_path = path;
  set_error(chosen);
  return true;
}

}  // namespace platform::faults

#endif  // TARVELLO_FAULTS
