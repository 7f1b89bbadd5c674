// The window's commands as plain functions over the Desktop port. Both windows turn each
// control event into one call of run_command() and redraw what it says changed.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/desktop.h"
#include "app/layout.h"
#include "booklist/book_list.h"

namespace builder {
// builder/build.h, which the Qt window's headers cannot take: moc predefines `linux`.
enum class System;
}  // namespace builder

namespace app {

struct BuildJob;

// What the window holds besides its controls' looks.
struct WindowState {
  explicit WindowState(std::string app_dir);
  ~WindowState();  // waits for a running build to stop
  WindowState(const WindowState&) = delete;
  WindowState& operator=(const WindowState&) = delete;

  const std::string app_dir;  // where the program lies
  // Where the readers lie and where the e-books go: both the application folder unless
  // the window says otherwise.
  std::string reader_dir;
  std::string out_dir;
  // The systems the window makes books for (this one's alone unless the window says
  // otherwise), and the one whose readers get the book.
  std::vector<builder::System> systems;
  builder::System readers;
  std::string book_name;  // the text of the book-name box
  booklist::BookList books;
  std::string scratch;              // the path or title the add commands pass along
  std::unique_ptr<BuildJob> build;  // the build running off the window's thread
  bool closing = false;             // the window was closed while a build ran
};

// What a command changed, so a window redraws only that.
struct Changes {
  bool titles = false;     // the entries of the title list
  bool selection = false;  // the selected entry moved (to be scrolled into view)
  bool out_dir = false;    // where the books go
  bool readers = false;    // whose readers they are for
};

// At start-up: false (after the message, the home page and end_process) when no reader
// for any of the window's systems lies in the reader folder. Without the chosen system's
// reader, the first system that has one is chosen instead.
bool startup_check(WindowState& state, Desktop& desktop);

// "" when the reader of books for `system` is there; otherwise what to say about the
// choice of that system, which the window then does not take.
std::string missing_reader(const WindowState& state, builder::System system);

// Where books go until the user picks a folder. Installed (the readers lie elsewhere than
// the program), the documents folder, or the home folder while there is none; unpacked,
// beside the program.
std::string first_out_dir(const WindowState& state, const std::string& documents,
                          const std::string& home);
// A folder remembered from an earlier run, if it is still one the books can go to (a
// whole path, an existing folder, no control characters); `first` otherwise.
std::string remembered_out_dir(const std::string& remembered, const std::string& first);
// A remembered system by its name ("windows", "linux"); this system for anything else.
builder::System remembered_readers(std::string_view name);

// The command of the control with `role`: add file, add folder, delete, clear, move up,
// move down, build, help, home page, choose the folder, choose the readers (not one whose
// reader is missing). Other roles do nothing. While a build runs nothing else starts.
Changes run_command(layout::Role role, WindowState& state, Desktop& desktop);

// Files and folders dropped on the window, appended as the add commands would: a folder
// by the add-folder rule, an e-book (by its content) as its chapters, any other file by
// the add-file rule, in natural order of their names, until the list is full. A damaged
// e-book adds nothing and is named in a message, as is what did not fit. The scratch
// text is left alone.
Changes drop_paths(std::vector<std::string> paths, WindowState& state, Desktop& desktop);

bool building(const WindowState& state);

// The window is being closed. Without a build the process ends now. A running build is
// stopped first: it removes its files, and the process ends once it has.
void close_window(WindowState& state, Desktop& desktop);

// The caption while a build is at `percent`, and without one.
std::string caption(int percent = -1);

}  // namespace app
