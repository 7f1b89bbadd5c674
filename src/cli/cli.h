// tarvello-cli: pack, list, extract and check e-books from the command line.
#pragma once

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

struct Streams {
  std::ostream& out;
  std::ostream& err;
  bool err_is_terminal = false;  // a progress bar only where someone watches
  // Set by a signal (Ctrl-C) to stop a running pack or extract, which then cleans up.
  const std::atomic<bool>* interrupted = nullptr;
};

// Runs one command line (args[0] is the program's name; all texts UTF-8) and returns the
// exit code (platform::kExit*). `exe_dir` is where the readers are looked for.
int run(const std::vector<std::string>& args, Streams streams, const std::string& exe_dir);

}  // namespace cli
