// The Linux reader as its users meet it: books with the real books.ini at their head, run
// as programs, their output and their files checked.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "container/format.h"
#include "platform/encoding.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

using testing_support::forge_book;
using testing_support::listing;
using testing_support::Outcome;
using testing_support::pattern_bytes;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

const std::string kReader = TARVELLO_READER;

std::string make_book(const TempDir& dir, const std::string& file, const std::string& bytes) {
  write_file(dir.file(file), bytes);
  chmod(dir.file(file).c_str(), 0755);
  return dir.file(file);
}

const std::vector<std::pair<std::string, std::string>> kChapters = {
    {"第一章", pattern_bytes(1000, 1)}, {"第二章", pattern_bytes(23456, 2)}, {"\x1b[31m红", "7"}};

TEST(Reader, ListsOpensAndTakesOut) {
  TempDir dir;
  const std::string book =
      make_book(dir, "书.exe", forge_book("书", kChapters, read_file(kReader)));
  Outcome r = testing_support::run_program({book}, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "《书》，共 3 个文件：\n1. 第一章（1,000 字节）\n2. 第二章（23,456 字节）\n"
            "3. ?[31m红（1 字节）\n用“书.exe open 序号”阅读其中一个文件，用“书.exe "
            "--help”查看全部用法。\n");

  // "open" hands a private copy, in a new folder of its own, to the desktop's opener: a
  // script of the test's that notes what it was given.
  mkdir(dir.file("bin").c_str(), 0755);
  mkdir(dir.file("tmp").c_str(), 0755);
  make_book(dir, "bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"$OPENED\"\n");
  const std::vector<std::string> env = {"PATH=" + dir.file("bin") + ":/usr/bin:/bin",
                                        "TMPDIR=" + dir.file("tmp"),
                                        "OPENED=" + dir.file("opened")};
  r = testing_support::run_program({book, "open", "2"}, dir.path(), env);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string opened = read_file(dir.file("opened"));
  EXPECT_EQ(read_file(opened), kChapters[1].second);
  EXPECT_EQ(opened.rfind(dir.file("tmp") + "/tarvello-", 0), 0u) << opened;
  struct stat st;
  ASSERT_EQ(stat(opened.substr(0, opened.rfind('/')).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  r = testing_support::run_program({book, "open", "4"}, dir.path(), env);
  EXPECT_EQ(r.err, "没有第 4 个文件：本书共有 3 个文件。\n");

  mkdir(dir.file("out").c_str(), 0755);
  r = testing_support::run_program({book, "extract", dir.file("out")}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(listing(dir.file("out")), "001-第一章.pdf 002-第二章.pdf 003-_[31m红.pdf");
  EXPECT_EQ(read_file(dir.file("out/002-第二章.pdf")), kChapters[1].second);
  r = testing_support::run_program({book, "extract", dir.file("out")}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "文件“" + dir.file("out") + "/001-第一章.pdf”已存在，不会覆盖它；没有取出任何文件。\n");

  const std::pair<std::vector<std::string>, std::string> usage[] = {
      {{"show"}, "没有“show”这个命令"},
      {{"open"}, "open 后面要给出文件的序号"},
      {{"open", "1", "2"}, "多余的参数“2”"},
  };
  for (auto [words, problem] : usage) {
    words.insert(words.begin(), book);
    r = testing_support::run_program(words, dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "用法错误：" + problem + "\n请运行“书.exe --help”查看用法。\n");
  }
  // A listing that cannot be written out is no success.
  r = testing_support::run_program({book}, dir.path(), {}, "/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "无法输出结果：磁盘空间不足\n");
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
      {good.substr(0, container::kPayloadOffset), "此文件不含电子书内容。"},
      {reader, "此文件不含电子书内容。"},
      {with_index("书\r\n甲590000 10\r\n"), damaged + "索引第 2 行格式错误。"},
      {with_index("书\r\n甲♂590000♀99999999999\r\n"),
       damaged + "索引第 2 行的数字超过 2147483647。"},
      {with_index("书\r\n甲♂590000♀11\r\n"), damaged + "索引第 2 行所指的文件超出了内容区。"},
      {with_index("书\r\n甲♂590000♀5\r\n乙♂590004♀6\r\n"),
       damaged + "索引第 3 行所指的文件与前后文件不相接。"},
      {with_index("书\r\n"), damaged + "索引中没有任何文件。"},
  };
  mkdir(dir.file("out").c_str(), 0755);
  for (const auto& [bytes, message] : cases) {
    const std::string book = make_book(dir, "damaged.exe", bytes);
    for (std::vector<std::string> words :
         {std::vector<std::string>{}, {"extract", dir.file("out")}}) {
      words.insert(words.begin(), book);
      Outcome r = testing_support::run_program(words, dir.path());
      EXPECT_EQ(r.status, 1) << message;
      EXPECT_EQ(r.err, message + "\n");
      EXPECT_EQ(r.out, "");
    }
  }
  EXPECT_EQ(listing(dir.file("out")), "");
  EXPECT_LE(reader.size(), container::kMaxStubSize);
}

}  // namespace
