#include "reader/terminal-posix.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/file.h"
#include "platform/text.h"
#include "reader/spawn-posix.h"
#include "reader/texts.h"

namespace reader::terminal {
namespace {

namespace texts = reader::texts;

struct Terminal {
  const char* program;
  const char* run;  // the option after which the program to run and its arguments follow
};

// Debian's x-terminal-emulator first: it is the one the user chose. Each takes the program
// and its arguments as separate words after its own option; the -e of xfce4-terminal and
// mate-terminal takes one string for a shell, so those get -x.
constexpr Terminal kTerminals[] = {
    {"x-terminal-emulator", "-e"},
    {"gnome-terminal", "--"},
    {"konsole", "-e"},
    {"xfce4-terminal", "-x"},
    {"deepin-terminal", "-e"},
    {"mate-terminal", "-x"},
    {"xterm", "-e"},
};

// A terminal that cannot start (no display it can use, a broken installation) ends within
// this time; one still running, or ended well, has taken the reader over.
constexpr int kStartMilliseconds = 2000;

bool set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// No terminal shows this: standard error for a session's log, and the desktop's
// notification where notify-send is there.
void report(const std::string& text) {
  std::fputs((text + "\n").c_str(), stderr);
  int error = 0;
  if (auto pid =
          spawn::start({"notify-send", std::string(texts::kMessageTitle), text}, false, error))
    spawn::ended_within(*pid, 10000);
}

}  // namespace

bool wants_terminal() {
  return !isatty(STDIN_FILENO) && !isatty(STDOUT_FILENO) &&
         (set("DISPLAY") || set("WAYLAND_DISPLAY")) && !set(kRestartedMark);
}

bool restarted() {
  return set(kRestartedMark);
}

int restart_in_terminal(const std::string& book) {
  // The shell reads a fixed line; the book is its $0, a word of its own.
  const std::string line = std::string("export ") + kRestartedMark + "=1; exec \"$0\"";
  std::string problem;
  for (const Terminal& terminal : kTerminals) {
    int error = 0;
    auto pid =
        spawn::start({terminal.program, terminal.run, "/bin/sh", "-c", line, book}, false, error);
    if (!pid && error == ENOENT) continue;  // not installed
    if (!pid) {
      problem = platform::fill(
          texts::kNoTerminalStart,
          {platform::quoted(terminal.program),
           platform::describe(platform::system_error(static_cast<unsigned long>(error)))});
      continue;
    }
    const auto code = spawn::ended_within(*pid, kStartMilliseconds);
    if (!code || *code == 0) return platform::kExitOk;
    problem = platform::fill(texts::kTerminalFailed,
                             {platform::quoted(terminal.program), std::to_string(*code)});
  }
  if (problem.empty()) problem = std::string(texts::kNoTerminal);
  report(problem + platform::fill(texts::kRunItYourself, {platform::shown(book)}));
  return platform::kExitFailed;
}

}  // namespace reader::terminal
