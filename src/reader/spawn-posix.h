// Starting other programs from the Linux reader: the desktop's opener, a terminal,
// notify-send.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace reader::spawn {

// Starts `words` (the program, found on PATH, then its arguments) and returns its pid;
// nullopt with `error` (an errno value) when it could not start. `own_session`: the
// program gets a session of its own and /dev/null for input, so the reader's terminal
// closing does not reach it.
std::optional<pid_t> start(const std::vector<std::string>& words, bool own_session, int& error);

// The exit code of `pid` once it ends, 128 + the signal when a signal ended it, 127 when
// it cannot be waited for.
int wait_for(pid_t pid);

// The same, when it ends within `milliseconds`; nullopt while it still runs.
std::optional<int> ended_within(pid_t pid, int milliseconds);

}  // namespace reader::spawn
