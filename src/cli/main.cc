// tarvello-cli's entry point: the words of the command line and the two output streams
// in UTF-8, whatever the system.
#include <atomic>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/texts.h"
#include "platform/file.h"
#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>
// shellapi.h needs windows.h before it.
#include <shellapi.h>

#include <streambuf>

#include "platform/encoding.h"
#else
#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <string_view>
#endif

namespace {

// Set by Ctrl-C (and on POSIX by SIGTERM and SIGHUP): the running command stops at its
// next piece, removes what it made, and the program ends.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

}  // namespace

#ifdef _WIN32
namespace {

// A console shows UTF-16 through WriteConsoleW whatever its code page; a file or a pipe
// gets the UTF-8 bytes as they are.
class HandleBuffer final : public std::streambuf {
 public:
  explicit HandleBuffer(DWORD which) : handle_(GetStdHandle(which)) {
    DWORD mode = 0;
    console_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE &&
               GetConsoleMode(handle_, &mode) != 0;
    setp(buffer_, buffer_ + sizeof buffer_);
  }
  ~HandleBuffer() override { sync(); }

  bool is_console() const { return console_; }

 protected:
  int_type overflow(int_type c) override {
    if (sync() != 0) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

  int sync() override {
    pending_.append(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(buffer_, buffer_ + sizeof buffer_);
    if (pending_.empty() || handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE) {
      pending_.clear();
      return 0;
    }
    std::size_t ready = console_ ? whole_characters(pending_) : pending_.size();
    bool ok = console_ ? write_console(pending_.substr(0, ready)) : write_bytes(pending_);
    pending_.erase(0, ready);
    return ok ? 0 : -1;
  }

 private:
  // The part of `text` that ends on a character boundary; a character cut by the buffer
  // waits for its other bytes.
  static std::size_t whole_characters(const std::string& text) {
    std::size_t end = text.size();
    for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
      auto byte = static_cast<unsigned char>(text[text.size() - back]);
      if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
      std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
      if (length > back) end = text.size() - back;
      break;
    }
    return end;
  }

  bool write_console(const std::string& utf8) {
    if (utf8.empty()) return true;
    // Malformed bytes show as U+FFFD rather than hiding the rest of the line.
    const std::wstring wide = platform::shown_wide(utf8);
    const wchar_t* data = wide.data();
    DWORD left = static_cast<DWORD>(wide.size());
    while (left > 0) {
      DWORD written = 0;
      if (!WriteConsoleW(handle_, data, left, &written, nullptr) || written == 0) return false;
      data += written;
      left -= written;
    }
    return true;
  }

  bool write_bytes(const std::string& bytes) {
    const char* data = bytes.data();
    DWORD left = static_cast<DWORD>(bytes.size());
    while (left > 0) {
      DWORD written = 0;
      if (!WriteFile(handle_, data, left, &written, nullptr) || written == 0) return false;
      data += written;
      left -= written;
    }
    return true;
  }

  HANDLE handle_;
  bool console_ = false;
  char buffer_[4096];
  std::string pending_;
};

std::vector<std::string> command_line_words() {
  std::vector<std::string> words;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return words;
  for (int i = 0; i < count; ++i) words.push_back(platform::wide_to_utf8(wide[i]));
  LocalFree(wide);
  return words;
}

}  // namespace

// Set once the command has ended and cleaned up after itself.
HANDLE finished = nullptr;

BOOL WINAPI on_console_event(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  interrupted = true;
  // A closed console ends the process as soon as this returns, so wait for the command
  // to remove its working files, within the five seconds the system allows.
  if (event == CTRL_CLOSE_EVENT && finished) WaitForSingleObject(finished, 4500);
  return TRUE;
}

int main() {
  finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(on_console_event, TRUE);
  HandleBuffer out_buffer(STD_OUTPUT_HANDLE);
  HandleBuffer err_buffer(STD_ERROR_HANDLE);
  std::ostream out(&out_buffer);
  std::ostream err(&err_buffer);
  // Unbuffered in effect, so a message is never held back behind the progress bar.
  err << std::unitbuf;
  int code = cli::run(command_line_words(), {out, err, err_buffer.is_console(), &interrupted},
                      platform::executable_dir());
  if (finished) SetEvent(finished);
  // What could not be written out is no success.
  if (!out.flush() && code == platform::kExitOk) {
    err << cli::texts::kOutputFailed << platform::system_message(GetLastError()) << "\n";
    code = platform::kExitFailed;
  }
  err.flush();
  return code;
}

#else

void on_signal(int) {
  interrupted = true;
}

int main(int argc, char** argv) {
  struct sigaction action {};
  action.sa_handler = on_signal;
  // The flag is looked at between pieces of work; the calls in flight go on undisturbed.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  // Past a file-size limit a write then fails with EFBIG, which is reported and cleaned
  // up after, instead of the signal ending the program with its working file left behind.
  std::signal(SIGXFSZ, SIG_IGN);

  // The system's own error texts in the user's language where it has them. They must
  // come as UTF-8 like everything else we print, so a locale of another character set
  // keeps them in English. Nothing else of the locale is used: code page 936 is always
  // converted explicitly.
  if (std::setlocale(LC_CTYPE, "") && std::string_view(nl_langinfo(CODESET)) == "UTF-8") {
    std::setlocale(LC_MESSAGES, "");
  } else {
    std::setlocale(LC_CTYPE, "C");
  }
  std::vector<std::string> words(argv, argv + argc);
  int code = cli::run(words, {std::cout, std::cerr, isatty(STDERR_FILENO) == 1, &interrupted},
                      platform::executable_dir());
  // What could not be written out (a full disk, a closed pipe) is no success. std::cout
  // writes straight into the C library's stdout, which says why when it is closed.
  platform::Error err;
  if (!platform::close_standard_output(err) && code == platform::kExitOk) {
    std::cerr << cli::texts::kOutputFailed << platform::describe(err) << "\n";
    code = platform::kExitFailed;
  }
  return code;
}

#endif
