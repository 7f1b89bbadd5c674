// The reader on Linux: a terminal program. With no argument it lists the book behind it,
// and in a terminal then asks which file to read; "open N" hands one PDF to the desktop's
// default program; "extract DIR" takes every PDF out into a folder. Double-clicked, with
// no terminal, it starts itself again in one.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "container/extract.h"
#include "platform/text.h"
#include "reader/copies.h"
#include "reader/reader.h"
#include "reader/spawn-posix.h"
#include "reader/terminal-posix.h"
#include "reader/texts.h"

namespace {

using platform::fill;
using platform::kExitFailed;
using platform::kExitOk;
using platform::shown;
namespace texts = reader::texts;

void say(const std::string& text) {
  std::fputs(text.c_str(), stdout);
}

int failure(const std::string& message) {
  std::fputs(message.c_str(), stderr);
  if (message.empty() || message.back() != '\n') std::fputs("\n", stderr);
  return kExitFailed;
}

int usage(const std::string& program, const std::string& problem) {
  std::fputs(fill(texts::kUsageError, {problem, program}).c_str(), stderr);
  return platform::kExitUsage;
}

// The list, and with `hint` how to read one of its files.
int list(const container::Book& book, const std::string& program, bool hint) {
  const std::string count = std::to_string(book.entries.size());
  say(fill(texts::kListHead, {shown(book.name), count}));
  for (std::size_t i = 0; i < book.entries.size(); ++i) {
    const auto& entry = book.entries[i];
    std::string number = std::to_string(i + 1);
    number.insert(0, count.size() - number.size(), ' ');
    say(fill(texts::kListLine,
             {number, reader::shown_title(entry.title), reader::grouped(entry.length)}));
  }
  if (hint) say(fill(texts::kListHint, {program, program}));
  return kExitOk;
}

// Where the copies go: the user's temporary folder, without a separator at its end.
std::string temporary_base() {
  const char* base = std::getenv("TMPDIR");
  std::string path = base && base[0] == '/' ? base : "/tmp";
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

constexpr std::string_view kFolderPrefix = "tarvello-";

// xdg-open returns before the viewer has the file, and the viewer may take a while to
// start: copies written this long ago are old enough to take away.
constexpr std::int64_t kGraceNanoseconds = 10 * 60 * 1000000000LL;

// The copies that earlier runs handed to viewers and that nobody holds or changed.
void clean_earlier_copies() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  reader::copies::clean_all(
      temporary_base(), kFolderPrefix,
      static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec - kGraceNanoseconds);
}

// A private folder for one PDF on its way to a viewer: new, and ours alone (0700).
std::optional<std::string> temporary_folder(platform::Error& err) {
  std::string pattern = temporary_base() + "/" + std::string(kFolderPrefix) + "XXXXXX";
  if (!mkdtemp(pattern.data())) {
    err = platform::system_error(static_cast<unsigned long>(errno));
    return std::nullopt;
  }
  return pattern;
}

// Runs xdg-open on `path` and waits for it: 0 when it opened, its exit status when it
// did not, -1 with `err` set when it could not be started. The viewer it starts lives in
// a session of its own, so closing the reader's terminal does not close the viewer.
int run_opener(const std::string& path, platform::Error& err) {
  int error = 0;
  const auto pid = reader::spawn::start({"xdg-open", path}, true, error);
  if (!pid) {
    err = platform::system_error(static_cast<unsigned long>(error));
    return -1;
  }
  return reader::spawn::wait_for(*pid);
}

// "1" to the entry count, plain digits, nothing else.
std::optional<std::size_t> entry_number(const std::string& word, std::size_t count) {
  if (word.empty() || word.size() > 6 || word[0] == '0') return std::nullopt;
  std::size_t n = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<std::size_t>(c - '0');
  }
  if (n > count) return std::nullopt;
  return n;
}

// The signals that end a reader wait while a copy is written: the copy is whole and in
// the record when the reader ends, never half-written where no sweep would find it.
class HeldSignals {
 public:
  HeldSignals() {
    sigset_t ending;
    sigemptyset(&ending);
    for (int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) sigaddset(&ending, signal);
    sigprocmask(SIG_BLOCK, &ending, &before_);
  }
  ~HeldSignals() { sigprocmask(SIG_SETMASK, &before_, nullptr); }
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;

 private:
  sigset_t before_;
};

// The copies of one run: a folder of the reader's own, made at the first copy, with its
// record. An entry's copy is opened again while it is as it was written.
struct Copies {
  std::string folder;
  std::optional<platform::File> record;
  std::vector<std::pair<std::size_t, reader::copies::Copy>> written;  // by entry
};

std::optional<std::string> unchanged_copy(const Copies& copies, std::size_t index) {
  const auto last = std::find_if(copies.written.rbegin(), copies.written.rend(),
                                 [&](const auto& copy) { return copy.first == index; });
  if (last == copies.written.rend()) return std::nullopt;
  const std::string path = platform::join(copies.folder, last->second.name);
  platform::Error err;
  if (platform::stamp_of(path, err) != last->second.stamp) return std::nullopt;
  return path;
}

// The copy of entry `index` to hand to a viewer; without one, `problem` says why.
std::optional<std::string> copy_for_viewer(reader::OpenBook& opened, Copies& copies,
                                           std::size_t index, std::string& problem) {
  if (auto path = unchanged_copy(copies, index)) return path;
  platform::Error err;
  // A later run may have swept the folder while this one waited for a number.
  if (!copies.record || !platform::is_folder(copies.folder)) {
    copies = {};
    auto folder = temporary_folder(err);
    if (folder) copies.record = reader::copies::create_record(*folder, err);
    if (!copies.record) {
      problem = std::string(texts::kNoTempFolder) + platform::describe(err);
      return std::nullopt;
    }
    copies.folder = *folder;
  }
  reader::copies::Copy copy;
  HeldSignals held;
  const auto& entry = opened.book->entries[index];
  if (auto failed =
          reader::copies::write_copy(*opened.file, entry, copies.folder, *copies.record, copy)) {
    if (copies.written.empty()) {
      copies.record.reset();
      reader::copies::clean_folder(copies.folder);
    }
    problem = container::describe(failed);
    return std::nullopt;
  }
  // A name written again (its copy had gone) is the new copy's.
  std::erase_if(copies.written,
                [&](const auto& earlier) { return earlier.second.name == copy.name; });
  copies.written.emplace_back(index, copy);
  return platform::join(copies.folder, copy.name);
}

int open_entry(reader::OpenBook& opened, Copies& copies, std::size_t number) {
  std::string problem;
  const auto copy = copy_for_viewer(opened, copies, number - 1, problem);
  if (!copy) return failure(problem);
  const std::string& target = *copy;
  std::fflush(stdout);
  platform::Error err;
  int status = run_opener(target, err);
  if (status < 0)
    return failure(fill(texts::kNoOpener, {platform::quoted(target), platform::describe(err)}));
  if (status != 0)
    return failure(fill(texts::kOpenerFailed, {platform::quoted(target), std::to_string(status)}));
  say(fill(texts::kOpening, {platform::quoted(target)}));
  return kExitOk;
}

int open_word(reader::OpenBook& opened, const std::string& word) {
  const auto& entries = opened.book->entries;
  auto number = entry_number(word, entries.size());
  if (!number) {
    return failure(fill(texts::kNoSuchEntry, {shown(word, 20), std::to_string(entries.size())}));
  }
  Copies copies;
  return open_entry(opened, copies, *number);
}

// A line from the terminal without its line break and the blanks around it; nullopt at
// the end of input.
std::optional<std::string> read_line() {
  char* buffer = nullptr;
  std::size_t capacity = 0;
  const ssize_t n = getline(&buffer, &capacity, stdin);
  std::optional<std::string> line;
  if (n >= 0) line.emplace(buffer, static_cast<std::size_t>(n));
  std::free(buffer);
  if (!line) return line;
  const auto first = line->find_first_not_of(" \t\r\n");
  const auto last = line->find_last_not_of(" \t\r\n");
  return first == std::string::npos ? std::string() : line->substr(first, last - first + 1);
}

// In a terminal: the question, until an empty line or the end of input ends it.
int ask(reader::OpenBook& opened) {
  const std::string count = std::to_string(opened.book->entries.size());
  Copies copies;
  while (true) {
    say(fill(texts::kAsk, {count}));
    std::fflush(stdout);
    const auto line = read_line();
    if (!line) say("\n");
    if (!line || line->empty()) return kExitOk;
    if (auto number = entry_number(*line, opened.book->entries.size())) {
      open_entry(opened, copies, *number);
    } else {
      say(fill(texts::kAskAgain, {platform::quoted(shown(*line, 20)), count}));
    }
  }
}

int extract(reader::OpenBook& opened, const std::string& dir) {
  std::vector<std::string> written;
  if (auto failed = container::extract_all(*opened.file, *opened.book, dir, written)) {
    return failure(container::describe(failed));
  }
  for (const auto& file : written) say(shown(file) + "\n");
  say(fill(texts::kExtracted, {std::to_string(written.size()), platform::quoted(dir)}));
  return kExitOk;
}

int run(const std::vector<std::string>& words) {
  const std::string program = words.empty() ? "books" : platform::base_name(words[0]);
  const std::string command = words.size() > 1 ? words[1] : "";
  if (command == "--help" || command == "-h") {
    say(fill(texts::kHelp, {program, program, program, program}));
    return kExitOk;
  }
  const std::size_t wanted = command.empty()                             ? 1
                             : command == "open" || command == "extract" ? 3
                                                                         : 0;
  if (wanted == 0)
    return usage(program, fill(texts::kUnknownCommand, {platform::quoted(shown(command, 40))}));
  if (words.size() < wanted) {
    return usage(program, std::string(command == "open" ? texts::kNeedNumber : texts::kNeedFolder));
  }
  if (words.size() > wanted) {
    return usage(program, fill(texts::kTooManyWords, {platform::quoted(shown(words[wanted], 40))}));
  }

  // Double-clicked: what it says would go nowhere.
  if (command.empty() && reader::terminal::wants_terminal()) {
    if (std::string self = platform::executable_path(); !self.empty())
      return reader::terminal::restart_in_terminal(self);
  }

  // The kernel's own link to this program's file: the book is whatever file we run from,
  // whatever it is called and however we were started.
  clean_earlier_copies();
  reader::OpenBook opened = reader::open_book("/proc/self/exe");
  if (!opened.book) return failure(opened.message);
  if (command == "open") return open_word(opened, words[2]);
  if (!command.empty()) return extract(opened, words[2]);
  // Scripts read the list from a pipe or a file as they always did.
  const bool asking = isatty(STDIN_FILENO) && isatty(STDOUT_FILENO);
  list(*opened.book, program, !asking);
  return asking ? ask(opened) : kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  int code = run(std::vector<std::string>(argv, argv + argc));
  // A terminal the reader started itself in closes when it ends: a failure stays on the
  // screen until it has been read.
  if (code != kExitOk && reader::terminal::restarted() && isatty(STDIN_FILENO)) {
    std::fputs(std::string(texts::kPressEnter).c_str(), stderr);
    read_line();
  }
  // A listing that never arrived is no success.
  platform::Error err;
  if (!platform::close_standard_output(err) && code == kExitOk) {
    std::fputs((std::string(texts::kOutputFailed) + platform::describe(err) + "\n").c_str(),
               stderr);
    code = kExitFailed;
  }
  return code;
}
