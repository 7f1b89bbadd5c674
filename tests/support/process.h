// Running a real program of ours (POSIX): its exit status and everything it printed.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

struct Outcome {
  int status = -1;  // the exit code, or 128 + the signal that ended it
  std::string out;
  std::string err;
};

// Runs `argv` in `dir`, with `env` added to ours and its standard output going to
// `out_file` when one is given. `meanwhile` runs while the program does.
Outcome run_program(const std::vector<std::string>& argv, const std::string& dir,
                    std::vector<std::string> env = {}, const std::string& out_file = "",
                    const std::function<void(pid_t)>& meanwhile = {});

}  // namespace testing_support
