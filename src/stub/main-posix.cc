// The reader on Linux: a terminal program. With no argument it lists the book behind it;
// "open N" hands one PDF to the desktop's default program; "extract DIR" takes every PDF
// out into a folder.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "container/extract.h"
#include "platform/text.h"
#include "stub/copies.h"
#include "stub/reader.h"
#include "stub/texts.h"

extern char** environ;

namespace {

using platform::fill;
using platform::kExitFailed;
using platform::kExitOk;
using platform::shown;
namespace texts = stub::texts;

void say(const std::string& text) {
  std::fputs(text.c_str(), stdout);
}

int failure(const std::string& message) {
  std::fputs(message.c_str(), stderr);
  if (message.empty() || message.back() != '\n') std::fputs("\n", stderr);
  return kExitFailed;
}

int usage(const std::string& program, const std::string& problem) {
  std::fputs(fill(platform::texts::kUsageError, {problem, program}).c_str(), stderr);
  return platform::kExitUsage;
}

int list(const container::Book& book, const std::string& program) {
  const std::string count = std::to_string(book.entries.size());
  say(fill(texts::kListHead, {shown(book.name), count}));
  for (std::size_t i = 0; i < book.entries.size(); ++i) {
    const auto& entry = book.entries[i];
    std::string number = std::to_string(i + 1);
    number.insert(0, count.size() - number.size(), ' ');
    say(fill(texts::kListLine,
             {number, stub::shown_title(entry.title), stub::grouped(entry.length)}));
  }
  say(fill(texts::kListHint, {program, program}));
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
  stub::copies::clean_all(
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
// did not, -1 with `err` set when it could not be started.
int run_opener(const std::string& path, platform::Error& err) {
  std::string program = "xdg-open";
  std::vector<char*> argv = {program.data(), const_cast<char*>(path.c_str()), nullptr};
  pid_t pid = 0;
  int started = posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (started != 0) {
    err = platform::system_error(static_cast<unsigned long>(started));
    return -1;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return 127;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
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

int open_entry(stub::OpenBook& opened, const std::string& word) {
  const auto& entries = opened.book->entries;
  auto number = entry_number(word, entries.size());
  if (!number) {
    return failure(fill(texts::kNoSuchEntry, {shown(word, 20), std::to_string(entries.size())}));
  }
  const auto& entry = entries[*number - 1];
  platform::Error err;
  auto folder = temporary_folder(err);
  std::optional<platform::File> record;
  if (folder) record = stub::copies::create_record(*folder, err);
  if (!record) return failure(std::string(texts::kNoTempFolder) + platform::describe(err));
  stub::copies::Copy copy;
  if (auto failed = stub::copies::write_copy(*opened.file, entry, *folder, *record, copy)) {
    record->close();
    stub::copies::clean_folder(*folder);
    return failure(container::describe(failed));
  }
  record->close();
  const std::string target = platform::join(*folder, copy.name);
  std::fflush(stdout);
  int status = run_opener(target, err);
  if (status < 0)
    return failure(fill(texts::kNoOpener, {platform::quoted(target), platform::describe(err)}));
  if (status != 0)
    return failure(fill(texts::kOpenerFailed, {platform::quoted(target), std::to_string(status)}));
  say(fill(texts::kOpening, {platform::quoted(target)}));
  return kExitOk;
}

int extract(stub::OpenBook& opened, const std::string& dir) {
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

  // The kernel's own link to this program's file: the book is whatever file we run from,
  // whatever it is called and however we were started.
  clean_earlier_copies();
  stub::OpenBook opened = stub::open_book("/proc/self/exe");
  if (!opened.book) return failure(opened.message);
  if (command.empty()) return list(*opened.book, program);
  if (command == "open") return open_entry(opened, words[2]);
  return extract(opened, words[2]);
}

}  // namespace

int main(int argc, char** argv) {
  int code = run(std::vector<std::string>(argv, argv + argc));
  // A listing that never arrived is no success.
  platform::Error err;
  if (!platform::close_standard_output(err) && code == kExitOk) {
    std::fputs(
        (std::string(platform::texts::kOutputFailed) + platform::describe(err) + "\n").c_str(),
        stderr);
    code = kExitFailed;
  }
  return code;
}
