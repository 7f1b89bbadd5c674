// The Linux reader as its users meet it: books with the real books.ini at their head, run
// as programs, their output and their files checked.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "container/format.h"
#include "platform/encoding.h"
#include "platform/file.h"
#include "support/temp_dir.h"

namespace {

using platform::path_exists;
using testing_support::forge_book;
using testing_support::listing;
using testing_support::pattern_bytes;
using testing_support::read_file;
using testing_support::run_shell;
using testing_support::TempDir;
using testing_support::write_file;

const std::string kReader = TARVELLO_READER;

void make_program(const std::string& path, const std::string& bytes) {
  write_file(path, bytes);
  chmod(path.c_str(), 0755);
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

// Each kind of damage is refused with its own sentence, and nothing is written.
TEST(Reader, DamagedBooksAreRefusedWithTheirReason) {
  TempDir dir;
  const std::string reader = read_file(kReader);
  const std::string good = forge_book("书", {{"甲", "0123456789"}}, reader);
  auto with_index = [&](const std::string& text) {
    const std::string block = platform::utf8_to_cp936(text).value();
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
