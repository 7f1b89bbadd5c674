// tarvello-cli: its commands in this process, through cli::run, in a scratch folder that
// is the current one; and the real program for what only a process can meet.
#include "cli/cli.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>

#include "platform/file.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::forge_book;
using testing_support::fs_path;
using testing_support::listing;
using testing_support::Outcome;
using testing_support::pattern_bytes;
using testing_support::read_file;
using testing_support::sh;
using testing_support::write_file;

class Cli : public ::testing::Test {
 protected:
  Cli() : saved_(fs::current_path()) {
    fs::current_path(fs_path(dir.path()));
    write_file("books.ini", "#!/bin/sh\necho reader\n");
    write_file("books-windows.ini", "MZ windows reader");
    fs::create_directories("in/folder/sub");
    fs::create_directories("x");
  }
  ~Cli() override { fs::current_path(saved_); }

  Outcome run(std::vector<std::string> words) {
    words.insert(words.begin(), "tarvello-cli");
    std::ostringstream o, e;
    const int code = cli::run(words, {o, e, false, nullptr}, dir.path());
    return {code, o.str(), e.str()};
  }

  testing_support::TempDir dir;
  fs::path saved_;
};

TEST_F(Cli, PackListCheckAndExtractRoundTrip) {
  for (const auto& [name, size] : {std::pair{"in/-x.pdf", 10},
                                   {"in/folder/第11讲.PDF", 20},
                                   {"in/folder/第2讲.pdf", 30},
                                   {"in/folder/.hidden.pdf", 6},
                                   {"in/folder/sub/deeper.pdf", 7}})
    write_file(name, pattern_bytes(size, size));
  write_file("in/folder/notes.txt", "x");
  // "--" ends the options: a file may start with "-". The e-book lands here, headed by
  // the books.ini beside the program, under an absolute name.
  Outcome r = run({"pack", "--name", "书 名", "--", "in/-x.pdf", "in/folder"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, dir.file("书 名.exe") + "\n");
  EXPECT_EQ(read_file("书 名.exe").substr(0, 9), "#!/bin/sh");
  EXPECT_EQ(run({"list", "书 名.exe"}).out,
            "书 名\n590000\t10\t-x\n590010\t30\t第2讲\n590040\t20\t第11讲\n");
  EXPECT_EQ(run({"check", "书 名.exe"}).out, "结构完整：3 个文件\n");
  r = run({"extract", "书 名.exe", "x"});
  EXPECT_EQ(r.out, "x/001--x.pdf\nx/002-第2讲.pdf\nx/003-第11讲.pdf\n");
  EXPECT_EQ(read_file("x/003-第11讲.pdf"), read_file("in/folder/第11讲.PDF"));
  EXPECT_EQ(run({"extract", "书 名.exe", "x"}).err,
            "文件“x/001--x.pdf”已存在，不会覆盖它；没有取出任何文件。\n");

  // An e-book among the inputs brings its chapters, in the order given, whatever its name;
  // the new book is whole, headed by this build's reader.
  fs::rename("书 名.exe", "旧书");
  ASSERT_EQ(run({"pack", "--name", "新", "in/folder/第2讲.pdf", "旧书"}).status, 0);
  EXPECT_EQ(read_file("新.exe"), forge_book("新",
                                            {{"第2讲", read_file("in/folder/第2讲.pdf")},
                                             {"-x", read_file("in/-x.pdf")},
                                             {"第2讲", read_file("in/folder/第2讲.pdf")},
                                             {"第11讲", read_file("in/folder/第11讲.PDF")}},
                                            read_file("books.ini")));

  // --for picks the other system's reader beside the program.
  ASSERT_EQ(run({"pack", "--name", "w", "--for", "windows", "in/-x.pdf"}).status, 0);
  EXPECT_EQ(read_file("w.exe").substr(0, 17), "MZ windows reader");
}

// What the user did wrong, said in Chinese, exit 1 (2 for wrong usage), nothing written.
TEST_F(Cli, FailuresSayWhatWentWrong) {
  write_file("in/a.pdf", "%PDF");
  std::string damaged = forge_book("b", {{"a", "a"}});
  write_file("damaged.exe", damaged.replace(damaged.find("590000"), 6, "590001"));
  fs::create_directories("in/none");
  const std::string before = listing(".");
  const std::tuple<std::vector<std::string>, int, std::string> rows[] = {
      {{"pack", "--name", "b", "in/a.pdf", "in/gone.pdf"}, 1, "找不到 PDF 文件“in/gone.pdf”"},
      {{"pack", "--name", "b", "in/\x1b]0;x\x07\u202E.pdf"}, 1, "“in/?]0;x??.pdf”"},
      {{"pack", "--name", "b", "--stub", "no.ini", "in/a.pdf"}, 1, "找不到阅读器文件“no.ini”"},
      {{"pack", "--name", "a/b", "in/a.pdf"}, 1, "不能含有这些字符：/"},
      {{"pack", "--name", "b", "in/none"}, 1, "文件夹“in/none”里没有 PDF 文件。"},
      {{"pack", "--name", "b", "--out-dir", "nowhere", "in/a.pdf"},
       1,
       "输出文件夹“nowhere”不存在。"},
      {{"pack", "--name", "b", "--for", "mac", "in/a.pdf"}, 2, "--for 只能是 windows 或 linux"},
      {{"pack", "--name", "b", "--for", "linux", "--stub", "s", "in/a.pdf"}, 2, "只能给出其中一个"},
      {{"pack", "in/a.pdf"}, 2, "缺少书名"},
      {{"pack", "--name", "b", "notes.txt"}, 2, "既不是文件夹、电子书"},
      {{"pack", "--name", "b", "--bogus", "in/a.pdf"}, 2, "无法识别的参数：--bogus"},
      {{"frobnicate"}, 2, "用法错误：没有“frobnicate”这个命令"},
      {{"list", "--", "a.exe", "b"}, 2, "用法错误：多余的参数“b”"},
      {{"extract", "a.exe"}, 2, "缺少目标文件夹"},
      {{"list", "in"}, 1, "这不是普通文件"},
      {{"pack", "--name", "b", "in/a.pdf", "damaged.exe"}, 1, "索引第 2 行所指的文件超出了内容区"},
      {{"list", "missing.exe"}, 1, "无法读取文件：文件或文件夹不存在"},
  };
  for (const auto& [words, code, said] : rows) {
    SCOPED_TRACE(said);  // each row's own sentence names it
    const Outcome r = run(words);
    EXPECT_EQ(r.status, code);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(said), std::string::npos) << r.err;
  }
  EXPECT_EQ(listing("."), before);
  // Titles from a book reach the terminal without controls.
  write_file("forged.exe", forge_book("\x1b]0;owned\x07", {{"a\x1b[2Jb", "pdf"}}));
  EXPECT_EQ(run({"list", "forged.exe"}).out, "?]0;owned?\n590000\t3\ta?[2Jb\n");
}

// A signed book stays a book: the signer pads it with zero bytes to a multiple of 8 and
// appends its certificate table. Reading leaves the signature valid, a build over the
// signed book replaces it as any earlier book of ours, and other bytes before the table
// are damage.
TEST_F(Cli, SignedBooksStayBooks) {
  write_file("books-windows.ini", testing_support::minimal_pe());
  const auto shell = [&](const std::string& command) {
    return testing_support::run_shell(dir.path(), command).status;
  };
  ASSERT_EQ(shell("openssl req -x509 -newkey rsa:2048 -nodes -keyout k.pem -out c.pem "
                  "-subj /CN=test -days 2"),
            0);
  const std::string sign = "rm -f s.exe && osslsigncode sign -certs c.pem -key k.pem -in ";
  const std::string verify = "osslsigncode verify -CAfile c.pem s.exe";
  std::set<std::uintmax_t> paddings;
  for (std::size_t length = 20; length < 28; ++length) {  // every length modulo 8
    const std::string pdf = pattern_bytes(length, static_cast<std::uint32_t>(length));
    write_file("a.pdf", pdf);
    ASSERT_EQ(run({"pack", "--name", "书", "--for", "windows", "a.pdf"}).status, 0);
    paddings.insert((8 - fs::file_size("书.exe") % 8) % 8);
    ASSERT_EQ(shell(sign + "书.exe -out s.exe"), 0);
    EXPECT_EQ(run({"check", "s.exe"}).out, "结构完整：1 个文件\n") << length;
    EXPECT_EQ(run({"list", "s.exe"}).out, "书\n590000\t" + std::to_string(length) + "\ta\n");
    fs::remove_all("x"), fs::create_directory("x");
    ASSERT_EQ(run({"extract", "s.exe", "x"}).status, 0);
    EXPECT_EQ(read_file("x/001-a.pdf"), pdf);
    EXPECT_EQ(shell(verify), 0) << length;
  }
  EXPECT_EQ(paddings.size(), 8u);

  fs::rename("s.exe", "书.exe");
  ASSERT_EQ(run({"pack", "--name", "书", "--for", "windows", "a.pdf", "a.pdf"}).status, 0);
  EXPECT_EQ(run({"check", "书.exe"}).out, "结构完整：2 个文件\n");

  write_file("j.exe", read_file("书.exe") + "junk");
  ASSERT_EQ(shell(sign + "j.exe -out s.exe"), 0);
  EXPECT_EQ(run({"check", "s.exe"}).err,
            "无法读取电子书“s.exe”：数字签名之前有不属于电子书的数据：这不是电子书，或已损坏。\n");
}

// The real program, interrupted, or past a file-size limit, or with its output full.
TEST_F(Cli, TheProgramCleansUpWhateverEndsIt) {
  for (const char* name : {"a.pdf", "b.pdf"}) {
    write_file(name, "%PDF");
    fs::resize_file(name, 900u << 20);  // sparse: quick to make
  }
  const std::string pack = sh(TARVELLO_CLI) + " pack --name big --out-dir x a.pdf b.pdf";
  // Ctrl-C once the copy is under way.
  auto r = testing_support::run_shell(
      dir.path(),
      pack + " & while [ ! -e x/big.txt ]; do sleep 0.001; done; kill -INT $!; wait $!");
  EXPECT_EQ(r.status, 130);
  EXPECT_EQ(r.err, "已停止生成电子书，没有留下任何文件。\n");
  // A file-size limit: the write fails and is reported, instead of the signal ending it.
  r = testing_support::run_shell(dir.path(), "ulimit -f 2048 && " + pack);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("文件超过了系统允许的大小"), std::string::npos) << r.err;
  EXPECT_EQ(listing("x"), "");
  // What could not be printed is no success.
  write_file("book.exe", forge_book("b", {{"a", "a"}}));
  for (const char* words : {" list book.exe", " --help"}) {
    SCOPED_TRACE(words);
    r = testing_support::run_shell(dir.path(), sh(TARVELLO_CLI) + words + " >/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "无法输出结果：磁盘空间不足\n");
  }
}

}  // namespace
