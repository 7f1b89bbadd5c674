// Test builds only: every file-system call the platform layer makes is counted, and the
// one a test arms fails as a failing disk would, so every failure path of the build and
// of the readers can be walked one call at a time.
#pragma once

#include <cstdint>
#include <string>

namespace platform::faults {

enum class Fault { disk_full, no_permission, io, interrupted };

#ifdef TARVELLO_FAULTS
// The `nth` file-system call from now (1 for the next one) fails with `fault`.
void arm(std::uint64_t nth, Fault fault);
void disarm();
// Whether the armed call has come, and the file it was about.
bool fired();
std::string fired_path();

// Called by the platform layer before each system call about `path`: true when this
// call is to fail; errno (or the thread's last error on Windows) is then set.
bool trip(const std::string& path);
#else
inline bool trip(const std::string&) {
  return false;
}
#endif

}  // namespace platform::faults
