#include "app/commands.h"

#include <utility>

#include "app/messages.h"
#include "booklist/names.h"
#include "links/code_list.h"
#include "platform/file.h"

namespace app {
namespace {

// The pointer comes back on every way out of a build.
class BusyPointer {
 public:
  explicit BusyPointer(Desktop& desktop) : desktop_(desktop) { desktop_.set_busy(true); }
  ~BusyPointer() { restore(); }
  BusyPointer(const BusyPointer&) = delete;
  BusyPointer& operator=(const BusyPointer&) = delete;
  void restore() {
    if (busy_) desktop_.set_busy(false);
    busy_ = false;
  }

 private:
  Desktop& desktop_;
  bool busy_ = true;
};

}  // namespace

bool startup_check(const std::string& app_dir, Desktop& desktop) {
  if (platform::is_ordinary_file(platform::join(app_dir, std::string(builder::kStubFileName)))) {
    return true;
  }
  desktop.show_message(std::string(text::kStubMissing));
  open_home_page(desktop);
  desktop.end_process();
  return false;
}

void add_file(WindowState& state, Desktop& desktop) {
  auto picked = desktop.pick_pdf_file(state.scratch);
  if (!picked) return;
  state.scratch = booklist::trim_spaces(picked->path);
  if (!booklist::is_accepted_file(state.scratch)) return;
  state.books.append({booklist::title_from_file_name(picked->name), state.scratch});
}

void add_folder(WindowState& state, Desktop& desktop) {
  auto folder = desktop.pick_folder();
  if (!folder || folder->empty()) return;
  auto names = booklist::list_pdf_names(*folder);
  if (!names) return;
  for (const auto& name : *names) {
    if (state.books.full()) break;
    state.scratch = booklist::title_from_file_name(name);
    state.books.append({state.scratch, booklist::folder_entry_path(*folder, name)});
  }
}

void open_help(Desktop& desktop) {
  desktop.open_address(links::help_address());
}

void open_home_page(Desktop& desktop) {
  desktop.open_address(links::home_page_address());
}

BuildReport build(const std::string& book_name, const booklist::BookList& books,
                  const std::string& out_dir, const std::string& stub_path, Desktop& desktop,
                  std::function<void(std::uint64_t, std::uint64_t)> progress) {
  BuildReport report;
  if (booklist::is_blank(book_name)) {
    report.outcome = BuildOutcome::need_name;
    desktop.show_message(std::string(text::kNeedName));
    return report;
  }
  if (books.empty()) {
    report.outcome = BuildOutcome::need_files;
    desktop.show_message(std::string(text::kNeedFiles));
    return report;
  }
  BusyPointer busy(desktop);
  builder::BuildRequest request{book_name, books.entries(), out_dir, stub_path,
                                std::move(progress)};
  report.result = builder::write_ebook(request);
  busy.restore();
  report.outcome = report.result.ok ? BuildOutcome::built : BuildOutcome::failed;
  desktop.show_message(std::string(report.result.ok ? text::kBuilt : text::kBuildFailed));
  return report;
}

}  // namespace app
