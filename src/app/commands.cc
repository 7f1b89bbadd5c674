#include "app/commands.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>

#include "app/texts.h"
#include "booklist/names.h"
#include "builder/build.h"
#include "builder/input.h"
#include "container/format.h"
#include "links/code_list.h"
#include "platform/file.h"
#include "platform/text.h"

namespace app {

// A build on its own thread. The thread touches nothing of the window: it reports
// through Desktop::post, whose tasks run on the window's thread in order, so the last
// thing it posts (the end) comes after every progress report.
struct BuildJob {
  std::atomic<bool> cancel{false};
  int reported = -1;  // the last percent posted; the worker's own
  builder::BuildResult result;
  std::thread thread;
};

namespace {

// A book built over itself is gone once the new one takes its name: the chapters the list
// took from it now come from the new book, which holds them in the list's order.
void follow_rebuilt_book(booklist::BookList& books, const std::string& book) {
  builder::Input rebuilt = builder::read_input(book, builder::PdfNames::dialog);
  if (rebuilt.kind != builder::Input::Kind::book ||
      rebuilt.entries.size() != static_cast<std::size_t>(books.count()))
    return;
  for (int i = 0; i < books.count(); ++i) {
    if (books.at(i).book && books.at(i).path == book)
      books.replace(i, std::move(rebuilt.entries[static_cast<std::size_t>(i)]));
  }
}

void finish_build(WindowState& state, Desktop& desktop) {
  state.build->thread.join();
  const builder::BuildResult result = std::move(state.build->result);
  state.build.reset();
  if (result.ok) follow_rebuilt_book(state.books, result.output_path);
  desktop.set_busy(false);
  desktop.show_progress(caption(), -1);
  if (state.closing) {
    desktop.end_process();
    return;
  }
  desktop.show_message(result.ok ? std::string(texts::kBuilt) : builder::message(result.failure));
}

void start_build(WindowState& state, Desktop& desktop) {
  builder::BuildRequest request{state.book_name,
                                state.books.entries(),
                                state.out_dir,
                                builder::reader_path(state.reader_dir, state.readers),
                                {},
                                nullptr};
  if (builder::Failure f = builder::check_request(request); f.cause != builder::Cause::none) {
    desktop.show_message(builder::message(f));
    return;
  }
  desktop.set_busy(true);
  desktop.show_progress(caption(0), 0);
  state.build = std::make_unique<BuildJob>();
  BuildJob* job = state.build.get();
  request.cancel = &job->cancel;
  request.progress = [job, &desktop](std::uint64_t done, std::uint64_t total) {
    const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
    if (percent == job->reported) return;
    job->reported = percent;
    desktop.post([&desktop, percent] { desktop.show_progress(caption(percent), percent); });
  };
  job->thread = std::thread([job, &state, &desktop, request = std::move(request)] {
    job->result = builder::write_ebook(request);
    desktop.post([&state, &desktop] { finish_build(state, desktop); });
  });
}

void add_file(WindowState& state, Desktop& desktop) {
  auto picked = desktop.pick_pdf_file(state.scratch);
  if (!picked) return;
  state.scratch = booklist::trim_spaces(picked->path);
  if (!booklist::is_accepted_file(state.scratch)) return;
  state.books.append({booklist::title_from_file_name(picked->name), state.scratch});
}

// Appends `entry` unless the list is full; counts what did not fit.
void append_or_count(booklist::BookList& books, booklist::Entry entry, std::size_t& left_out) {
  if (!books.append(std::move(entry))) ++left_out;
}

// A folder's entries until the list is full, quietly; the scratch text ends as the last
// title added.
void add_folder(WindowState& state, Desktop& desktop) {
  auto folder = desktop.pick_folder();
  if (!folder || folder->empty()) return;
  auto entries = booklist::folder_entries(*folder);
  if (!entries) return;
  for (auto& entry : *entries) {
    if (state.books.full()) break;
    state.scratch = entry.title;
    state.books.append(std::move(entry));
  }
}

// The folder the user picks is where the books go from now on; the build says so if they
// cannot.
Changes choose_out_dir(WindowState& state, Desktop& desktop) {
  auto folder = desktop.pick_folder();
  if (!folder || folder->empty() || *folder == state.out_dir) return {};
  state.out_dir = std::move(*folder);
  return {.out_dir = true};
}

Changes choose_readers(WindowState& state, builder::System system) {
  const auto& offered = state.systems;
  if (system == state.readers ||
      std::find(offered.begin(), offered.end(), system) == offered.end() ||
      !missing_reader(state, system).empty()) {
    return {};
  }
  state.readers = system;
  return {.readers = true};
}

bool is_control(char c) {
  return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

}  // namespace

WindowState::WindowState(std::string dir)
    : app_dir(std::move(dir)),
      reader_dir(app_dir),
      out_dir(app_dir),
      systems{builder::kThisSystem},
      readers(builder::kThisSystem) {}

WindowState::~WindowState() {
  if (build && build->thread.joinable()) {
    build->cancel = true;
    build->thread.join();
  }
}

std::string caption(int percent) {
  std::string text(texts::kCaption);
  if (percent >= 0) text += platform::fill(texts::kBuilding, {std::to_string(percent)});
  return text;
}

bool startup_check(WindowState& state, Desktop& desktop) {
  if (missing_reader(state, state.readers).empty()) return true;
  for (builder::System system : state.systems) {
    if (missing_reader(state, system).empty()) {
      state.readers = system;
      return true;
    }
  }
  desktop.show_message(std::string(texts::kReaderLost));
  desktop.open_address(links::home_page_address());
  desktop.end_process();
  return false;
}

std::string missing_reader(const WindowState& state, builder::System system) {
  const std::string reader = builder::reader_path(state.reader_dir, system);
  if (platform::is_ordinary_file(reader)) return "";
  return platform::fill(texts::kReaderMissingTip, {platform::quoted(reader)});
}

std::string first_out_dir(const WindowState& state, const std::string& documents,
                          const std::string& home) {
  if (state.reader_dir == state.app_dir) return state.app_dir;
  return platform::is_folder(documents) ? documents : home;
}

std::string remembered_out_dir(const std::string& remembered, const std::string& first) {
  // A control character could hide where the books go, and a NUL would cut the path short:
  // the folder checked, and written to, would be another than the one named.
  const bool usable = remembered.starts_with('/') &&
                      std::none_of(remembered.begin(), remembered.end(), is_control) &&
                      platform::is_folder(remembered);
  return usable ? remembered : first;
}

builder::System remembered_readers(std::string_view name) {
  return builder::system_named(name).value_or(builder::kThisSystem);
}

Changes run_command(layout::Role role, WindowState& state, Desktop& desktop) {
  using layout::Role;
  if (building(state)) return {};
  const int count = state.books.count();
  const int selected = state.books.selected();
  switch (role) {
    case Role::add_file:
      add_file(state, desktop);
      break;
    case Role::add_folder:
      add_folder(state, desktop);
      break;
    case Role::delete_file:
      booklist::delete_selected(state.books);
      break;
    case Role::clear:
      booklist::clear(state.books);
      break;
    case Role::move_up:
      booklist::move_up(state.books);
      break;
    case Role::move_down:
      booklist::move_down(state.books);
      break;
    case Role::build:
      start_build(state, desktop);
      return {};  // a build only reads the list
    case Role::help:
      desktop.open_address(links::help_address());
      return {};
    case Role::home_page_link:
      desktop.open_address(links::home_page_address());
      return {};
    case Role::choose_folder:
      return choose_out_dir(state, desktop);
    case Role::for_windows:
      return choose_readers(state, builder::System::windows);
    case Role::for_linux:
      return choose_readers(state, builder::System::linux);
    default:
      return {};
  }
  const bool moved = state.books.selected() != selected;
  // A move changes the order but not the count; anything else that changes the list
  // changes the count.
  return {moved || state.books.count() != count, moved};
}

Changes drop_paths(std::vector<std::string> paths, WindowState& state, Desktop& desktop) {
  if (building(state)) return {};
  std::stable_sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
    return booklist::natural_less(platform::base_name(a), platform::base_name(b));
  });
  const int count = state.books.count();
  std::size_t left_out = 0;
  std::string said;  // one message, a line per thing to say
  const auto say = [&said](const std::string& line) {
    if (!said.empty()) said += '\n';
    said += line;
  };
  for (const auto& path : paths) {
    builder::Input input = builder::read_input(path, builder::PdfNames::dialog);
    switch (input.kind) {
      case builder::Input::Kind::folder:
      case builder::Input::Kind::book:
      case builder::Input::Kind::pdf:
        for (auto& entry : input.entries) append_or_count(state.books, std::move(entry), left_out);
        break;
      case builder::Input::Kind::empty_folder:
      case builder::Input::Kind::unlisted_folder:
        break;  // as quiet as the add-folder button
      case builder::Input::Kind::damaged_book:
        say(input.message);
        break;
      case builder::Input::Kind::not_taken:
        say(platform::fill(texts::kNotTaken, {platform::quoted(path)}));
        break;
    }
  }
  if (left_out > 0) {
    say(platform::fill(texts::kListFull,
                       {std::to_string(container::kMaxEntries), std::to_string(left_out)}));
  }
  if (!said.empty()) desktop.show_message(said);
  return {state.books.count() != count, false};
}

bool building(const WindowState& state) {
  return state.build != nullptr;
}

void close_window(WindowState& state, Desktop& desktop) {
  if (!building(state)) {
    desktop.end_process();
    return;
  }
  // The build stops at its next piece, removes what it made, and then finish_build ends
  // the process from the window's thread.
  state.closing = true;
  state.build->cancel = true;
}

}  // namespace app
