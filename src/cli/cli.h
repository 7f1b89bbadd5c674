// tarvello-cli: pack, list, extract and check e-books from the command line.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace cli {

struct Streams {
  std::ostream& out;
  std::ostream& err;
  bool err_is_terminal = false;  // a progress bar only where someone watches
};

// Runs one command line (args[0] is the program's name; all texts UTF-8) and returns the
// exit code: 0 done, 1 failed, 2 wrong usage. `exe_dir` is where the default books.ini
// is looked for.
int run(const std::vector<std::string>& args, Streams streams, const std::string& exe_dir);

}  // namespace cli
