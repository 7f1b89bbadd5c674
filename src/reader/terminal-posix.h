// A book double-clicked in a file manager starts with no terminal: nothing it prints is
// seen. It then starts itself again in the desktop's terminal.
#pragma once

#include <string>

namespace reader::terminal {

// Set in the environment of the reader started in a terminal, so that it never starts
// itself again, whatever its terminal turns out to be.
inline constexpr char kRestartedMark[] = "TARVELLO_READER_IN_TERMINAL";

// True when neither standard input nor standard output is a terminal, a display is there
// and this reader was not started again already.
bool wants_terminal();

// True when the reader runs in the terminal it started itself in.
bool restarted();

// Starts the program at `book` again in the first terminal that starts: x-terminal-emulator,
// then the usual ones. The book's path travels as one argument, never through a string a
// shell reads. When none starts, says why with notify-send where it exists and on
// standard error. The exit code of the reader that stays behind.
int restart_in_terminal(const std::string& book);

}  // namespace reader::terminal
