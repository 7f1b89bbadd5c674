// The window's commands as plain functions over the Desktop port.
#pragma once

#include <functional>
#include <string>

#include "app/desktop.h"
#include "booklist/book_list.h"
#include "builder/build.h"

namespace app {

// What the window holds besides its controls' looks.
struct WindowState {
  std::string book_name;  // the text of the book-name box
  booklist::BookList books;
  std::string scratch;  // the path or title the add commands pass along
};

// At start-up: false (after the message, the home page and end_process) when no
// ordinary books.ini lies in `app_dir`.
bool startup_check(const std::string& app_dir, Desktop& desktop);

// Add file: one PDF through the file dialog. A refused file only lands in the scratch.
void add_file(WindowState& state, Desktop& desktop);

// Add folder: every PDF directly in a chosen folder, in the folder listing's order,
// until the book list is full.
void add_folder(WindowState& state, Desktop& desktop);

void open_help(Desktop& desktop);
void open_home_page(Desktop& desktop);

enum class BuildOutcome { built, need_name, need_files, failed };

struct BuildReport {
  BuildOutcome outcome = BuildOutcome::failed;
  builder::BuildResult result;  // filled when the builder ran
};

// The build command: the two input checks with their messages, the busy pointer, the
// build into `out_dir` with the stub at `stub_path`, and its one message.
BuildReport build(const std::string& book_name, const booklist::BookList& books,
                  const std::string& out_dir, const std::string& stub_path, Desktop& desktop,
                  std::function<void(std::uint64_t, std::uint64_t)> progress = {});

}  // namespace app
