// tarvello-cli: its commands in this process, through cli::run, and the real program for
// what only a process can meet (signals, a file-size limit, a full standard output).
#include "cli/cli.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "cli/progress.h"
#include "container/format.h"
#include "platform/faults.h"
#include "platform/file.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::forge_book;
using testing_support::listing;
using testing_support::pattern_bytes;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

struct Outcome {
  int code = -1;
  std::string out;
  std::string err;
};

class Cli : public ::testing::Test {
 protected:
  Cli() {
    write_file(dir.file("books.ini"), "#!/bin/sh\necho reader\n");
    write_file(dir.file("books-windows.ini"), "MZ windows reader");
    fs::create_directories(fs::u8path(dir.file("in/folder/sub")));
    fs::create_directory(fs::u8path(out));
  }

  Outcome run(std::vector<std::string> words) {
    words.insert(words.begin(), "tarvello-cli");
    std::ostringstream o, e;
    Outcome r;
    r.code = cli::run(words, {o, e, false, nullptr}, dir.path());
    r.out = o.str();
    r.err = e.str();
    return r;
  }

  std::string pdf(const std::string& name, std::size_t size) {
    write_file(dir.file("in/" + name), pattern_bytes(size, static_cast<std::uint32_t>(size)));
    return dir.file("in/" + name);
  }

  TempDir dir;
  std::string out = dir.file("out");
};

TEST_F(Cli, PackListCheckAndExtractRoundTrip) {
  const std::string first = pdf("-x.pdf", 10);
  pdf("folder/第11讲.PDF", 20);
  pdf("folder/第2讲.pdf", 30);
  pdf("folder/.hidden.pdf", 6);
  pdf("folder/sub/deeper.pdf", 7);
  write_file(dir.file("in/folder/notes.txt"), "x");
  // "--" ends the options: a file may start with "-".
  Outcome r =
      run({"pack", "--name", "书 名", "--out-dir", out, "--", first, dir.file("in/folder")});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string book = out + "/书 名.exe";
  EXPECT_EQ(r.out, book + "\n");
  EXPECT_EQ(read_file(book).substr(0, 9), "#!/bin/sh");  // books.ini beside the program
  EXPECT_EQ(run({"list", book}).out,
            "书 名\n590000\t10\t-x\n590010\t30\t第2讲\n590040\t20\t第11讲\n");
  EXPECT_EQ(run({"check", book}).out, "结构完整：3 个文件\n");

  const std::string target = dir.file("x");
  fs::create_directory(fs::u8path(target));
  r = run({"extract", book, target});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            target + "/001--x.pdf\n" + target + "/002-第2讲.pdf\n" + target + "/003-第11讲.pdf\n");
  EXPECT_EQ(read_file(target + "/003-第11讲.pdf"), read_file(dir.file("in/folder/第11讲.PDF")));
  r = run({"extract", book, target});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "文件“" + target + "/001--x.pdf”已存在，不会覆盖它；没有取出任何文件。\n");

  // --for picks the other system's reader beside the program.
  ASSERT_EQ(run({"pack", "--name", "w", "--for", "windows", "--out-dir", out, first}).code, 0);
  EXPECT_EQ(read_file(out + "/w.exe").substr(0, 17), "MZ windows reader");
  EXPECT_EQ(run({"--version"}).out, "tarvello-cli 2.0\n");
  for (const char* command : {"pack", "list", "extract", "check"}) {
    EXPECT_NE(run({command, "--help"}).out.find(std::string("tarvello-cli ") + command),
              std::string::npos);
  }
}

// What the user did wrong, said in Chinese, exit 1 (2 for wrong usage), the folder as it was.
TEST_F(Cli, FailuresSayWhatWentWrong) {
  const std::string good = pdf("good.pdf", 10);
  pdf("empty.pdf", 0);
  fs::create_directory(fs::u8path(dir.file("in/none")));
  write_file(dir.file("tiny.exe"), "abc");
  struct Row {
    std::vector<std::string> words;
    int code;
    std::string said;
  };
  const Row rows[] = {
      {{"pack", "--name", "b", "--out-dir", out, good, dir.file("in/gone.pdf")},
       1,
       "找不到 PDF 文件“"},
      {{"pack", "--name", "b", "--out-dir", out, dir.file("in/empty.pdf")}, 1, "是空的（0 字节）"},
      {{"pack", "--name", "b", "--out-dir", out, dir.file("in/\x1b]0;x\x07\u202E.pdf")},
       1,
       "“" + dir.file("in/?]0;x??.pdf") + "”"},
      {{"pack", "--name", "b", "--stub", dir.file("no.ini"), "--out-dir", out, good},
       1,
       "找不到阅读器文件"},
      {{"pack", "--name", "a/b", "--out-dir", out, good}, 1, "不能含有这些字符：/"},
      {{"pack", "--name", "  ", "--out-dir", out, good}, 1, "请首先输入书名"},
      {{"pack", "--name", "b", "--out-dir", out, dir.file("in/none")}, 1, "里没有 PDF 文件"},
      {{"pack", "--name", "b", "--out-dir", dir.file("nowhere"), good}, 1, "输出文件夹“"},
      {{"pack", "--name", "b", "--for", "mac", good}, 2, "--for 只能是 windows 或 linux"},
      {{"pack", "--name", "b", "--for", "linux", "--stub", good, good}, 2, "只能给出其中一个"},
      {{"pack", good}, 2, "缺少书名"},
      {{"pack", "--name", "b", "notes.txt"}, 2, "既不是文件夹"},
      {{"pack", "--name", "b", "--bogus", good}, 2, "无法识别的参数：--bogus"},
      {{"frobnicate"}, 2, "没有“frobnicate”这个命令"},
      {{"list", "a.exe", "b.exe"}, 2, "用法错误："},
      {{"extract", "a.exe"}, 2, "缺少目标文件夹"},
      {{"check", dir.file("tiny.exe")}, 1, "文件太短，不是电子书"},
      {{"list", dir.file("in/folder")}, 1, "这不是普通文件"},
      {{"list", dir.file("missing.exe")}, 1, "无法读取文件：文件或文件夹不存在"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.words[0] + " " + row.said);
    const Outcome r = run(row.words);
    EXPECT_EQ(r.code, row.code);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(row.said), std::string::npos) << r.err;
    EXPECT_EQ(listing(out), "");
  }
  // Titles from a book reach the terminal without controls.
  write_file(dir.file("forged.exe"), forge_book("\x1b]0;owned\x07", {{"a\x1b[2Jb", "pdf"}}));
  EXPECT_EQ(run({"list", dir.file("forged.exe")}).out, "?]0;owned?\n590000\t3\ta?[2Jb\n");
}

// The same routine as the readers': a failing call leaves nothing, and names its file.
TEST_F(Cli, EveryFailedCallOfAnExtractLeavesTheFolderAsItWas) {
  write_file(dir.file("book.exe"), forge_book("b", {{"a", pattern_bytes(5000, 1)}, {"c", "c"}}));
  const std::string target = dir.file("x");
  fs::create_directory(fs::u8path(target));
  for (int n = 1;; ++n) {
    platform::faults::arm(static_cast<std::uint64_t>(n), platform::faults::Fault::disk_full);
    const Outcome r = run({"extract", dir.file("book.exe"), target});
    const bool fired = platform::faults::fired();
    const std::string path = platform::faults::fired_path();  // before disarm() clears it
    platform::faults::disarm();
    if (!fired) break;
    if (r.code == 0) {
      EXPECT_EQ(listing(target), "001-a.pdf 002-c.pdf");
      fs::remove_all(fs::u8path(target));
      fs::create_directory(fs::u8path(target));
    } else {
      EXPECT_EQ(listing(target), "") << "call " << n;
      EXPECT_NE(r.err.find(path), std::string::npos) << "call " << n << ": " << r.err;
    }
  }
}

// The real program, interrupted, or past a file-size limit, or with its output full.
TEST_F(Cli, TheProgramCleansUpWhateverEndsIt) {
  for (const char* name : {"a.pdf", "b.pdf"}) {
    write_file(dir.file(name), "%PDF");
    fs::resize_file(fs::u8path(dir.file(name)), 900u << 20);  // sparse: quick to make
  }
  const std::vector<std::string> pack = {
      TARVELLO_CLI, "pack", "--name",          "big",
      "--out-dir",  out,    dir.file("a.pdf"), dir.file("b.pdf")};
  // Ctrl-C once the copy is under way.
  auto r = testing_support::run_program(pack, dir.path(), {}, "", [&](pid_t pid) {
    for (int i = 0; i < 3000 && !platform::path_exists(out + "/big.txt"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kill(pid, SIGINT);
  });
  EXPECT_EQ(r.status, 130) << r.err;
  EXPECT_NE(r.err.find("已停止生成电子书，没有留下任何文件。"), std::string::npos) << r.err;
  EXPECT_EQ(listing(out), "");

  // A file-size limit: the write fails and is reported, instead of the signal ending it.
  std::vector<std::string> limited = {"/bin/sh", "-c", "ulimit -f 2048 && exec \"$0\" \"$@\""};
  limited.insert(limited.end(), pack.begin(), pack.end());
  r = testing_support::run_program(limited, dir.path());
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("文件超过了系统允许的大小"), std::string::npos) << r.err;
  EXPECT_EQ(listing(out), "");

  // What could not be printed is no success.
  write_file(dir.file("book.exe"), forge_book("b", {{"a", "a"}}));
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{TARVELLO_CLI, "list", dir.file("book.exe")},
        std::vector<std::string>{TARVELLO_CLI, "--help"}}) {
    r = testing_support::run_program(words, dir.path(), {}, "/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "无法输出结果：磁盘空间不足\n");
  }
}

TEST(ProgressBar, ShowsOnlyForLongJobsAndWipesItselfAtTheEnd) {
  std::chrono::steady_clock::time_point now{};
  std::ostringstream err;
  {
    cli::ProgressBar bar(err, true, [&] { return now; });
    bar.update(0, 200);
    now += std::chrono::milliseconds(250);
    bar.update(10, 200);
    EXPECT_EQ(err.str(), "") << "nothing in the quiet period";
    now += std::chrono::milliseconds(100);
    bar.update(100, 200);
    EXPECT_EQ(err.str(), "\r[###############---------------]  50%  0.0/0.0 MiB");
  }
  EXPECT_EQ(err.str().substr(err.str().size() - 2), " \r") << "wiped at the end";
  std::ostringstream quiet;
  cli::ProgressBar off(quiet, false, [&] { return now += std::chrono::seconds(5); });
  off.update(0, 10);
  off.update(5, 10);
  EXPECT_EQ(quiet.str(), "");
}

}  // namespace
