// The Linux reader as its users meet it: books with the real books.ini at their head, run
// as programs, their output and their files checked.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "container/format.h"
#include "platform/file.h"
#include "support/temp_dir.h"

namespace {

using platform::path_exists;
using testing_support::forge_book;
using testing_support::listing;
using testing_support::Outcome;
using testing_support::pattern_bytes;
using testing_support::read_file;
using testing_support::run_shell;
using testing_support::sh;
using testing_support::TempDir;
using testing_support::write_file;

const std::string kReader = TARVELLO_READER;

// A book started from a script with a display about would open a terminal; each test
// gives the reader a display where it means to.
const bool kNoDisplay = unsetenv("DISPLAY") == 0 && unsetenv("WAYLAND_DISPLAY") == 0;

void make_program(const std::string& path, const std::string& bytes) {
  write_file(path, bytes);
  chmod(path.c_str(), 0755);
}

// `command` run in `dir` with a pseudo-terminal for its input and output, as a person in
// a terminal runs it: `input` typed (without echo), what it printed caught. With
// `hang_up_after` the terminal closes that long after the input, as a closed window does.
Outcome in_terminal(const std::string& dir, const std::string& command, const std::string& input,
                    std::optional<std::chrono::milliseconds> hang_up_after = std::nullopt) {
  termios mode{};
  mode.c_iflag = ICRNL;
  mode.c_cflag = CS8 | CREAD;
  mode.c_lflag = ICANON | ISIG;
  mode.c_cc[VEOF] = 4;
  mode.c_cc[VINTR] = 3;
  mode.c_cc[VMIN] = 1;
  cfsetspeed(&mode, B38400);
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, &mode, nullptr);
  if (pid == 0) {
    if (chdir(dir.c_str()) == 0) execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
    _exit(127);
  }
  Outcome r;
  if (pid < 0) return r;
  EXPECT_EQ(write(terminal, input.data(), input.size()), static_cast<ssize_t>(input.size()));
  if (hang_up_after) {
    std::this_thread::sleep_for(*hang_up_after);
    close(terminal);
  } else {
    char buffer[4096];
    for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) r.out.append(buffer, n);
    close(terminal);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

TEST(Reader, ListsOpensAndTakesOut) {
  TempDir dir;
  const std::string second = pattern_bytes(23456, 2);
  make_program(
      dir.file("书.exe"),
      forge_book("书",
                 {{"第一章", pattern_bytes(1000, 1)}, {"第二章", second}, {"\x1b[31m红", "7"}},
                 read_file(kReader)));
  auto r = run_shell(dir.path(), "./书.exe");
  EXPECT_EQ(r.out,
            "《书》，共 3 个文件：\n1. 第一章（1,000 字节）\n2. 第二章（23,456 字节）\n"
            "3. ?[31m红（1 字节）\n用“书.exe open 序号”阅读其中一个文件，用“书.exe "
            "--help”查看全部用法。\n");

  // "open" hands a private copy, in a new folder of its own, to the desktop's opener: a
  // script of the test's that notes what it was given.
  mkdir(dir.file("bin").c_str(), 0755);
  make_program(dir.file("bin/xdg-open"), "#!/bin/sh\nprintf '%s' \"$1\" > \"$OPENED\"\n");
  const std::string env = "PATH=bin:/usr/bin:/bin TMPDIR=" + dir.path() + " OPENED=opened ";
  r = run_shell(dir.path(), env + "./书.exe open 2");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string opened = read_file(dir.file("opened"));
  EXPECT_EQ(read_file(opened), second);
  EXPECT_EQ(opened.rfind(dir.file("tarvello-"), 0), 0u) << opened;
  struct stat st;
  ASSERT_EQ(stat(opened.substr(0, opened.rfind('/')).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(stat(opened.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u);

  // The copies stay for the viewers xdg-open starts. A later run takes away those whose
  // record is ten minutes old and that no process has open, never one a viewer saved
  // into, nor anything in a folder that is not ours alone.
  const auto open = [&](const char* number) {
    EXPECT_EQ(run_shell(dir.path(), env + "./书.exe open " + number).status, 0);
    return read_file(dir.file("opened"));
  };
  const std::string held = open("1"), saved = open("3");
  const int viewer = ::open(held.c_str(), O_RDONLY);
  write_file(saved, "saved");
  mkdir(dir.file("tarvello-shared").c_str(), 0755);
  write_file(dir.file("tarvello-shared/tarvello-copies.txt"), "5 0 x.pdf\n");
  write_file(dir.file("tarvello-shared/x.pdf"), "12345");
  const auto later_run = [&](const char* age) {
    run_shell(dir.path(), "touch -d '" + std::string(age) + "' tarvello-*/tarvello-copies.txt");
    EXPECT_EQ(run_shell(dir.path(), env + "./书.exe").status, 0);
  };
  later_run("9 minutes ago");
  EXPECT_TRUE(path_exists(opened) && path_exists(held) && path_exists(saved));
  later_run("11 minutes ago");
  EXPECT_FALSE(path_exists(opened.substr(0, opened.rfind('/'))));
  EXPECT_TRUE(path_exists(held) && path_exists(saved));
  close(viewer);
  later_run("11 minutes ago");
  EXPECT_FALSE(path_exists(held.substr(0, held.rfind('/'))));
  EXPECT_EQ(read_file(saved), "saved");
  EXPECT_EQ(read_file(dir.file("tarvello-shared/x.pdf")), "12345");

  // In a terminal it asks after the list: a number opens that file, the same copy while
  // it is unchanged, and asks again; anything else is answered and asked again, writing
  // nothing; an empty line or the end of input ends it.
  const std::string ask = "输入序号阅读（1-3），直接回车结束：";
  const auto again = [&](const std::string& typed) {
    return ask + "“" + typed + "”不是本书的序号：请输入 1 到 3 之间的数字，或直接回车结束。\n";
  };
  r = in_terminal(dir.path(), env + "./书.exe", "2\nabc\n0\n-1\n4\n 2 \n\n");
  const std::string asked = read_file(dir.file("opened"));
  EXPECT_EQ(read_file(asked), second);
  const std::string opening = ask + "已取出到“" + asked + "”，正在用默认程序打开。\n";
  EXPECT_EQ(r.out,
            "《书》，共 3 个文件：\n1. 第一章（1,000 字节）\n2. 第二章（23,456 字节）\n"
            "3. ?[31m红（1 字节）\n" +
                opening + again("abc") + again("0") + again("-1") + again("4") + opening + ask);
  EXPECT_EQ(r.status, 0);
  r = in_terminal(dir.path(), "./书.exe", "\x04");
  EXPECT_EQ(r.out.substr(r.out.size() - ask.size() - 1), ask + "\n");
  EXPECT_EQ(r.status, 0);
  // A closed terminal ends it at once, waiting or copying; a copy is whole or not there.
  make_program(dir.file("大.exe"),
               forge_book("大", {{"大", pattern_bytes(64 << 20, 9)}}, read_file(kReader)));
  for (int wait_ms : {20, 50, 100, 300}) {
    SCOPED_TRACE(wait_ms);
    r = in_terminal(dir.path(), env + "exec ./大.exe", "1\n", std::chrono::milliseconds(wait_ms));
    EXPECT_EQ(r.status, 128 + SIGHUP);
    for (const auto& folder : std::filesystem::directory_iterator(dir.path())) {
      if (auto big = folder.path() / u8"大.pdf"; std::filesystem::exists(big)) {
        EXPECT_EQ(std::filesystem::file_size(big), 64u << 20);
        std::filesystem::permissions(big, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        std::filesystem::remove_all(folder.path());
      }
    }
  }

  mkdir(dir.file("out").c_str(), 0755);
  r = run_shell(dir.path(), "./书.exe extract out");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(listing(dir.file("out")), "001-第一章.pdf 002-第二章.pdf 003-_[31m红.pdf");
  EXPECT_EQ(read_file(dir.file("out/002-第二章.pdf")), second);

  const std::pair<std::string, std::string> failures[] = {
      {"extract out", "文件“out/001-第一章.pdf”已存在，不会覆盖它；没有取出任何文件。\n"},
      {"open 4", "没有第 4 个文件：本书共有 3 个文件。\n"},
      {"show", "用法错误：没有“show”这个命令\n请运行“书.exe --help”查看用法。\n"},
      {"open 1 2", "用法错误：多余的参数“2”\n请运行“书.exe --help”查看用法。\n"},
      {">/dev/full", "无法输出结果：磁盘空间不足\n"},  // a listing that never arrived
  };
  for (const auto& [words, said] : failures) {
    SCOPED_TRACE(words);
    r = run_shell(dir.path(), "./书.exe " + words);
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err, said);
  }
}

// Double-clicked in a file manager: no terminal at either end. With a display the book
// starts itself again in the desktop's terminal, its path reaching it exactly as it is;
// without one, or with no terminal that starts, the desktop hears why.
TEST(Reader, DoubleClickedItOpensInATerminal) {
  TempDir dir;
  const std::string folder = dir.file("a b'\"$`x`\nc");
  mkdir(folder.c_str(), 0755);
  const std::string book = folder + "/书 $HOME.run";
  make_program(book,
               forge_book("书", {{"第一章", "%PDF-1"}, {"第二章", "%PDF-2"}}, read_file(kReader)));
  mkdir(dir.file("bin").c_str(), 0755);
  make_program(dir.file("bin/notify-send"), "#!/bin/sh\nprintf '%s|' \"$@\" > notified\n");
  const std::string list = "《书》，共 2 个文件：\n1. 第一章（6 字节）\n2. 第二章（6 字节）\n";
  const std::string hint =
      "用“书 $HOME.run open 序号”阅读其中一个文件，用“书 $HOME.run --help”查看全部用法。\n";
  // The path as a message shows it: a line break in it is no line break on the screen.
  std::string shown_book = book;
  std::replace(shown_book.begin(), shown_book.end(), '\n', '?');
  const std::string run_it = "请在终端里运行这本电子书：\n" + shown_book;
  const struct {
    const char* name;
    const char* terminal;  // bin/x-terminal-emulator, when there is one
    const char* display;
    int status;
    std::string out, notified;
  } rows[] = {
      // The terminal gets the reader as words of their own; this one runs it without a
      // terminal, and the reader marked as started again lists and never starts again.
      {"the desktop's terminal", "printf '%s\\n' \"$@\" > args; shift; exec \"$@\"", "DISPLAY=:9",
       0, list + hint, ""},
      {"no terminal at all", nullptr, "WAYLAND_DISPLAY=wayland-0", 1, "",
       "提示|找不到终端程序（x-terminal-emulator、gnome-terminal、konsole、xterm 等），"
       "无法显示这本电子书。" +
           run_it + "|"},
      {"a terminal that fails", "exit 3", "DISPLAY=:9", 1, "",
       "提示|终端程序“x-terminal-emulator”没能启动（退出码 3）。" + run_it + "|"},
      {"no display: as in a script", "exit 3", "", 0, list + hint, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    unlink(dir.file("bin/x-terminal-emulator").c_str());
    unlink(dir.file("notified").c_str());
    if (row.terminal)
      make_program(dir.file("bin/x-terminal-emulator"), "#!/bin/sh\n" + std::string(row.terminal));
    const Outcome r = run_shell(
        dir.path(), "PATH=bin " + std::string(row.display) + " " + sh(book) + " </dev/null");
    EXPECT_EQ(r.status, row.status) << r.err;
    EXPECT_EQ(r.out, row.out);
    EXPECT_EQ(path_exists(dir.file("notified")) ? read_file(dir.file("notified")) : "",
              row.notified);
  }
  EXPECT_EQ(read_file(dir.file("args")),
            "-e\n/bin/sh\n-c\nexport TARVELLO_READER_IN_TERMINAL=1; exec \"$0\"\n" + book + "\n");

  // The real thing: xterm on a virtual display, typed into as a reader would; the number
  // opens its file, an empty line closes the window.
  const std::string display =
      "Xvfb -displayfd 3 -nolisten tcp 3>display >/dev/null 2>&1 & "
      "echo $! >xvfb; while [ ! -s display ]; do sleep 0.05; done";
  ASSERT_EQ(run_shell(dir.path(), display).status, 0);
  const std::string x = "DISPLAY=:$(cat display) ";
  symlink("/usr/bin/xterm", dir.file("bin/xterm").c_str());
  unlink(dir.file("bin/x-terminal-emulator").c_str());
  make_program(dir.file("bin/xdg-open"), "#!/bin/sh\n/bin/cp \"$1\" \"$OPENED\"\n");
  // In a desktop's UTF-8 locale: in the C one, xterm takes bytes of the Chinese text for
  // 8-bit controls, and the answer to one (0x9A, in "：") lands in the reader's input.
  const Outcome r =
      run_shell(dir.path(), x + "LC_ALL=C.UTF-8 PATH=bin OPENED=" + sh(dir.file("opened")) +
                                " TMPDIR=" + sh(dir.path()) + " " + sh(book) + " </dev/null");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string xdotool = x + "timeout 20 xdotool ";
  const Outcome typed = run_shell(dir.path(), xdotool +
                                                  "search --sync --classname xterm "
                                                  "windowfocus --sync type '2\n'");
  EXPECT_EQ(typed.status, 0) << typed.err;
  for (int i = 0; i < 200 && !path_exists(dir.file("opened")); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(read_file(dir.file("opened")), "%PDF-2");
  run_shell(dir.path(), xdotool + "key Return");
  EXPECT_EQ(run_shell(dir.path(),
                      "for i in $(seq 200); do " + x +
                          "xdotool search --classname xterm || exit 0; sleep 0.05; done; exit 1")
                .status,
            0);
  run_shell(dir.path(), "kill $(cat xvfb)");
}

// Each kind of damage is refused with its own sentence, and nothing is written.
TEST(Reader, DamagedBooksAreRefusedWithTheirReason) {
  TempDir dir;
  const std::string reader = read_file(kReader);
  const std::string good = forge_book("书", {{"甲", "0123456789"}}, reader);
  auto with_index = [&](const std::string& text) {
    const std::string block = testing_support::cp936(text);
    return good.substr(0, container::kPayloadOffset + 10) + block +
           container::trailer_bytes(static_cast<std::uint32_t>(block.size()));
  };
  const std::string damaged = "电子书已损坏，无法打开：";
  const std::pair<std::string, std::string> cases[] = {
      {good.substr(0, good.size() - 10),
       damaged + "文件末尾记录的索引长度无效，不是电子书或已损坏。"},
      {reader, "此文件不含电子书内容。"},
      {with_index("书\r\n甲590000 10\r\n"), damaged + "索引第 2 行格式错误。"},
      {with_index("书\r\n甲♂590000♀11\r\n"), damaged + "索引第 2 行所指的文件超出了内容区。"},
      {with_index("书\r\n甲♂590000♀5\r\n乙♂590004♀6\r\n"),
       damaged + "索引第 3 行所指的文件与前后文件不相接。"},
  };
  mkdir(dir.file("out").c_str(), 0755);
  for (const auto& [bytes, message] : cases) {
    SCOPED_TRACE(message);
    make_program(dir.file("damaged.exe"), bytes);
    for (const char* words : {"", " extract out"}) {
      SCOPED_TRACE(*words ? words : " (open)");
      const auto r = run_shell(dir.path(), std::string("./damaged.exe") + words);
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, message + "\n");
      EXPECT_EQ(r.out, "");
    }
  }
  EXPECT_EQ(listing(dir.file("out")), "");
}

}  // namespace
