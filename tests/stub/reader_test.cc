// The Linux reader as its users meet it: e-books packed by the builder with the real
// books.ini at their head, run as programs, their output and their files checked. The
// damaged books are laid out by hand, each with the one sentence it must give.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "builder/build.h"
#include "builder/container.h"
#include "platform/encoding.h"
#include "support/temp_dir.h"

extern char** environ;

namespace {

using testing_support::listing;
using testing_support::pattern_bytes;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

const std::string kReader = TARVELLO_READER;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `argv` with stdout and stderr caught in files of `dir`, `env` added to ours.
Outcome run(const TempDir& dir, std::vector<std::string> argv, std::vector<std::string> env = {}) {
  const std::string out_path = dir.file(".out"), err_path = dir.file(".err");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  std::vector<char*> args, vars;
  for (auto& a : argv) args.push_back(a.data());
  for (auto& v : env) vars.push_back(v.data());
  args.push_back(nullptr);
  vars.push_back(nullptr);
  pid_t pid = 0;
  Outcome result;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), vars.data()) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  unlink(out_path.c_str());
  unlink(err_path.c_str());
  return result;
}

struct Pdf {
  std::string title;
  std::string bytes;
};

// Packs `pdfs` with the builder, the real reader at the head, into `dir`.
std::string pack(const TempDir& dir, const std::string& name, const std::vector<Pdf>& pdfs) {
  builder::BuildRequest request;
  request.book_name = name;
  request.out_dir = dir.path();
  request.stub_path = kReader;
  for (std::size_t i = 0; i < pdfs.size(); ++i) {
    std::string path = dir.file("source-" + std::to_string(i) + ".pdf");
    write_file(path, pdfs[i].bytes);
    request.entries.push_back({pdfs[i].title, path});
  }
  builder::BuildResult result = builder::write_ebook(request);
  EXPECT_TRUE(result.ok) << builder::describe(result.failure);
  for (std::size_t i = 0; i < pdfs.size(); ++i) {
    unlink(dir.file("source-" + std::to_string(i) + ".pdf").c_str());
  }
  return result.output_path;
}

const std::vector<Pdf> kThreeChapters = {
    {"第一章", pattern_bytes(1000, 1)},
    {"第二章", pattern_bytes(23456, 2)},
    {"附录", pattern_bytes(7, 3)},
};

TEST(Reader, ListsTheNameAndTheNumberedTitlesWithTheirSizes) {
  TempDir dir;
  std::string book = pack(dir, "测试之书", kThreeChapters);
  Outcome r = run(dir, {book});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "《测试之书》，共 3 个文件：\n"
            "1. 第一章（1,000 字节）\n"
            "2. 第二章（23,456 字节）\n"
            "3. 附录（7 字节）\n"
            "用“测试之书.exe open 序号”阅读其中一个文件，用“测试之书.exe --help”查看全部用法。\n");
  EXPECT_EQ(r.err, "");

  Outcome help = run(dir, {book, "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("测试之书.exe extract 文件夹"), std::string::npos) << help.out;
}

TEST(Reader, ExtractWritesEveryPdfByteForByteAndNeverOverwrites) {
  TempDir dir;
  std::string book = pack(dir, "书", kThreeChapters);
  ASSERT_EQ(mkdir(dir.file("out").c_str(), 0755), 0);
  Outcome r = run(dir, {book, "extract", dir.file("out")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(listing(dir.file("out")), "001-第一章.pdf 002-第二章.pdf 003-附录.pdf");
  for (std::size_t i = 0; i < kThreeChapters.size(); ++i) {
    const char* names[] = {"001-第一章.pdf", "002-第二章.pdf", "003-附录.pdf"};
    EXPECT_EQ(read_file(dir.file("out") + "/" + names[i]), kThreeChapters[i].bytes) << names[i];
  }
  EXPECT_NE(r.out.find("已取出 3 个文件到"), std::string::npos) << r.out;

  // A second run finds the first name taken and writes nothing.
  unlink((dir.file("out") + "/002-第二章.pdf").c_str());
  Outcome again = run(dir, {book, "extract", dir.file("out")});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.err,
            "文件“" + dir.file("out") + "/001-第一章.pdf”已存在，不会覆盖它；没有取出任何文件。\n");
  EXPECT_EQ(listing(dir.file("out")), "001-第一章.pdf 003-附录.pdf");

  Outcome missing = run(dir, {book, "extract", dir.file("nowhere")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "文件夹“" + dir.file("nowhere") + "”不存在。\n");
}

// A write that fails half way (here the file size limit) leaves no half PDF behind.
TEST(Reader, ExtractRemovesThePdfItCouldNotFinish) {
  TempDir dir;
  std::string book =
      pack(dir, "书", {{"小", pattern_bytes(300, 4)}, {"大", pattern_bytes(9000, 5)}});
  ASSERT_EQ(mkdir(dir.file("out").c_str(), 0755), 0);
  Outcome r = run(dir, {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 4; exec \"$0\" extract \"$1\"",
                        book, dir.file("out")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("无法取出“" + dir.file("out") + "/002-大.pdf”：", 0), 0u) << r.err;
  EXPECT_EQ(listing(dir.file("out")), "001-小.pdf");
  EXPECT_EQ(read_file(dir.file("out") + "/001-小.pdf"), pattern_bytes(300, 4));
}

// xdg-open is a script of the test's own that notes what it was given.
class ReaderOpen : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(mkdir(dir.file("bin").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.file("tmp").c_str(), 0755), 0);
    write_opener("printf '%s' \"$1\" > \"$OPENED\"");
  }

  void write_opener(const std::string& body) {
    std::string opener = dir.file("bin") + "/xdg-open";
    write_file(opener, "#!/bin/sh\n" + body + "\n");
    chmod(opener.c_str(), 0755);
  }

  Outcome open(const std::string& book, const std::string& number) {
    return run(dir, {book, "open", number},
               {"PATH=" + dir.file("bin") + ":/usr/bin:/bin", "TMPDIR=" + dir.file("tmp"),
                "OPENED=" + dir.file("opened")});
  }

  TempDir dir;
};

TEST_F(ReaderOpen, HandsAPrivateCopyToTheDesktop) {
  std::string book = pack(dir, "书", kThreeChapters);
  Outcome r = open(book, "2");
  ASSERT_EQ(r.status, 0) << r.err;
  std::string opened = read_file(dir.file("opened"));
  EXPECT_EQ(r.out, "已取出到“" + opened + "”，正在用默认程序打开。\n");
  EXPECT_EQ(read_file(opened), kThreeChapters[1].bytes);

  // In a folder of its own under TMPDIR that no one else may enter.
  std::string folder = opened.substr(0, opened.rfind('/'));
  EXPECT_EQ(folder.rfind(dir.file("tmp") + "/tarvello-", 0), 0u) << folder;
  EXPECT_EQ(opened.substr(folder.size()), "/第二章.pdf");
  struct stat st;
  ASSERT_EQ(stat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // Every opening gets a new folder.
  ASSERT_EQ(open(book, "2").status, 0);
  EXPECT_NE(read_file(dir.file("opened")), opened);
}

TEST_F(ReaderOpen, SaysWhenThereIsNoSuchEntryOrNoOpener) {
  std::string book = pack(dir, "书", kThreeChapters);
  for (const char* word : {"0", "4", "01", "-1", "abc", "1x", "99999999999999999999"}) {
    Outcome r = open(book, word);
    EXPECT_EQ(r.status, 1) << word;
    EXPECT_EQ(r.err, "没有第 " + std::string(word) + " 个文件：本书共有 3 个文件。\n");
  }
  EXPECT_EQ(listing(dir.file("tmp")), "");

  write_opener("exit 4");
  Outcome failed = open(book, "1");
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.err.find("但 xdg-open 没能打开它（退出码 4）"), std::string::npos) << failed.err;

  unlink((dir.file("bin") + "/xdg-open").c_str());
  Outcome none =
      run(dir, {book, "open", "1"}, {"PATH=" + dir.file("bin"), "TMPDIR=" + dir.file("tmp")});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("但无法启动 xdg-open："), std::string::npos) << none.err;
}

TEST(Reader, WrongWordsAreUsageErrors) {
  TempDir dir;
  std::string book = pack(dir, "书", kThreeChapters);
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"show"}, "没有“show”这个命令"},
      {{"open"}, "open 后面要给出文件的序号"},
      {{"extract"}, "extract 后面要给出目标文件夹"},
      {{"open", "1", "2"}, "多余的参数“2”"},
  };
  for (const auto& [words, problem] : cases) {
    std::vector<std::string> argv = {book};
    argv.insert(argv.end(), words.begin(), words.end());
    Outcome r = run(dir, argv);
    EXPECT_EQ(r.status, 2) << problem;
    EXPECT_EQ(r.err, "用法错误：" + problem + "\n请运行“书.exe --help”查看用法。\n");
  }
}

// Titles come from whoever made the book: whatever they say, every file lands inside the
// target folder under a plain name, and the terminal gets no control characters.
TEST(Reader, HostileTitlesStayInsideTheFolder) {
  TempDir dir;
  const std::vector<std::string> titles = {"../../逃出", "/etc/passwd", "..",         "CON",
                                           "a\\b",       "<>:\"|?*",    "\x1b[31m红", "nul.txt"};
  std::vector<Pdf> pdfs;
  for (std::size_t i = 0; i < titles.size(); ++i) {
    pdfs.push_back({titles[i], pattern_bytes(10 + i, static_cast<std::uint32_t>(i))});
  }
  ASSERT_EQ(mkdir(dir.file("deep").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(dir.file("deep/out").c_str(), 0755), 0);
  std::string book = pack(dir, "书", pdfs);
  Outcome r = run(dir, {book, "extract", dir.file("deep/out")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(listing(dir.file("deep/out")),
            "001-_.._逃出.pdf 002-_etc_passwd.pdf 003.pdf 004-CON.pdf 005-a_b.pdf "
            "006-_______.pdf 007-_[31m红.pdf 008-nul.txt.pdf");
  EXPECT_EQ(listing(dir.file("deep")), "out");
  EXPECT_EQ(read_file(dir.file("deep/out/003.pdf")), pdfs[2].bytes);

  Outcome list = run(dir, {book});
  EXPECT_NE(list.out.find("7. ?[31m红（16 字节）"), std::string::npos) << list.out;
  EXPECT_EQ(list.out.find('\x1b'), std::string::npos);
}

// ---------------------------------------------------------------------------- damaged books

// The reader's bytes, the hole, `payload` bytes and `index` (UTF-8 text, turned into code
// page 936 unless `raw`), then a trailer of `trailer` or, by default, the index's length.
std::string hand_made(std::uint64_t payload, const std::string& index, bool raw = false,
                      std::optional<std::string> trailer = std::nullopt) {
  std::string out = read_file(kReader);
  out.resize(builder::kPayloadOffset, '\0');
  out += pattern_bytes(payload, 9);
  std::string block = raw ? index : platform::utf8_to_cp936(index);
  out += block;
  out += trailer ? *trailer : builder::trailer_bytes(static_cast<std::uint32_t>(block.size()));
  return out;
}

// Each damaged book is refused with its own sentence, by every command, and writes nothing.
TEST(Reader, DamagedBooksAreRefusedWithTheirReason) {
  TempDir dir;
  const std::string good = hand_made(30, "书\r\n甲♂590000♀10\r\n乙♂590010♀20\r\n");
  const std::string damaged = "电子书已损坏，无法打开：";
  std::string many = "书\r\n";
  for (int i = 0; i < 1000000; ++i) many += "t♂" + std::to_string(590000 + i) + "♀1\r\n";

  struct Case {
    std::string name;
    std::string bytes;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"cut in the index", good.substr(0, good.size() - 10),
       damaged + "文件末尾记录的索引长度无效，不是电子书或已损坏。"},
      {"cut in the payload", good.substr(0, builder::kPayloadOffset + 20),
       damaged + "文件末尾记录的索引长度无效，不是电子书或已损坏。"},
      {"cut before the payload", good.substr(0, builder::kPayloadOffset), "此文件不含电子书内容。"},
      {"trailer zero", hand_made(30, "书\r\n甲♂590000♀30\r\n", false, std::string(4, '\0')),
       damaged + "文件末尾记录的索引长度无效，不是电子书或已损坏。"},
      {"trailer negative", hand_made(30, "书\r\n甲♂590000♀30\r\n", false, "\xf0\xff\xff\xff"),
       damaged + "文件末尾记录的索引长度无效，不是电子书或已损坏。"},
      {"trailer past the file",
       hand_made(30, "书\r\n甲♂590000♀30\r\n", false, std::string("\x00\x00\x10\x00", 4)),
       damaged + "文件末尾记录的索引长度无效，不是电子书或已损坏。"},
      {"not code page 936",
       hand_made(30,
                 "\xff\xfe\r\nx\xa1\xe1"
                 "590000\xa1\xe2"
                 "30\r\n",
                 true),
       damaged + "索引不是有效的 GBK 文本。"},
      {"line without signs", hand_made(30, "书\r\n甲590000 30\r\n"),
       damaged + "索引第 2 行格式错误。"},
      {"number overflow", hand_made(30, "书\r\n甲♂590000♀99999999999999999999\r\n"),
       damaged + "索引第 2 行的数字超过 2147483647。"},
      {"before the payload", hand_made(30, "书\r\n甲♂1♀30\r\n"),
       damaged + "索引第 2 行所指的文件超出了内容区。"},
      {"into the index", hand_made(30, "书\r\n甲♂590000♀31\r\n"),
       damaged + "索引第 2 行所指的文件超出了内容区。"},
      {"overlapping", hand_made(30, "书\r\n甲♂590000♀20\r\n乙♂590010♀20\r\n"),
       damaged + "索引第 3 行所指的文件与前后文件不相接。"},
      {"out of order", hand_made(30, "书\r\n乙♂590010♀20\r\n甲♂590000♀10\r\n"),
       damaged + "索引第 2 行所指的文件与前后文件不相接。"},
      {"no entries", hand_made(30, "书\r\n"), damaged + "索引中没有任何文件。"},
      {"a million entries", hand_made(1000000, many), damaged + "索引中的文件超过 32767 个。"},
  };
  ASSERT_EQ(mkdir(dir.file("out").c_str(), 0755), 0);
  for (const auto& c : cases) {
    const std::string book = dir.file("damaged.exe");
    write_file(book, c.bytes);
    chmod(book.c_str(), 0755);
    for (std::vector<std::string> words :
         {std::vector<std::string>{}, {"open", "1"}, {"extract", dir.file("out")}}) {
      words.insert(words.begin(), book);
      Outcome r = run(dir, words);
      EXPECT_EQ(r.status, 1) << c.name;
      EXPECT_EQ(r.err, c.message + "\n") << c.name;
      EXPECT_EQ(r.out, "") << c.name;
    }
    EXPECT_EQ(listing(dir.file("out")), "") << c.name;
    unlink(book.c_str());
  }
}

TEST(Reader, OnItsOwnItSaysItHoldsNoBook) {
  TempDir dir;
  Outcome r = run(dir, {kReader});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "此文件不含电子书内容。\n");
  EXPECT_EQ(run(dir, {kReader, "--help"}).status, 0);

  struct stat st;
  ASSERT_EQ(stat(kReader.c_str(), &st), 0);
  EXPECT_LE(static_cast<std::uint64_t>(st.st_size), builder::kMaxStubSize);
}

}  // namespace
