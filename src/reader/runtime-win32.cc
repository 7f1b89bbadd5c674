// The parts of the C++ runtime the reader replaces to stay small. The library's own
// versions print a demangled type name on a console the window does not have (pulling
// in the demangler and a printf), and build exception objects out of a second string
// class. The reader throws nothing itself: what reaches these is running out of memory
// or a bug, and either way the reader says so and ends, as an uncaught exception would.
#include <windows.h>

#include "reader/texts.h"

namespace {

// Wide literals: nothing may be allocated once memory has run out.
[[noreturn]] void give_up() {
  MessageBoxW(nullptr, reader::texts::kGivingUp, reader::texts::kMessageTitleWide,
              MB_OK | MB_ICONERROR);
  ExitProcess(3);
}

}  // namespace

namespace __gnu_cxx {
void __verbose_terminate_handler() {
  give_up();
}
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() {
  give_up();
}
void __throw_bad_array_new_length() {
  give_up();
}
void __throw_length_error(const char*) {
  give_up();
}
void __throw_logic_error(const char*) {
  give_up();
}
void __throw_out_of_range_fmt(const char*, ...) {
  give_up();
}
// A lock that cannot be taken, in the test builds' fault counter.
void __throw_system_error(int) {
  give_up();
}
}  // namespace std
