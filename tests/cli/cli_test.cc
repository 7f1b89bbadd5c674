#include "cli/cli.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/messages.h"
#include "builder/container.h"
#include "platform/encoding.h"
#include "platform/file.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
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

Outcome run_cli(const std::vector<std::string>& words, const std::string& exe_dir = "",
                bool err_is_terminal = false) {
  std::vector<std::string> args{"tarvello-cli"};
  args.insert(args.end(), words.begin(), words.end());
  std::ostringstream out;
  std::ostringstream err;
  Outcome run;
  run.code = cli::run(args, {out, err, err_is_terminal}, exe_dir);
  run.out = out.str();
  run.err = err.str();
  return run;
}

fs::path to_path(const std::string& text) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

// An e-book put together by hand, so its titles can be anything a hostile file may hold.
std::string forge_ebook(const std::string& name,
                        const std::vector<std::pair<std::string, std::string>>& pdfs) {
  std::string bytes = "STUB";
  bytes.resize(builder::kPayloadOffset, '\0');
  std::vector<builder::IndexEntry> entries;
  std::uint64_t position = builder::kPayloadPosition;
  for (const auto& [title, pdf] : pdfs) {
    entries.push_back({title, position, pdf.size()});
    bytes += pdf;
    position += pdf.size();
  }
  std::string index = platform::utf8_to_cp936(builder::index_text(name, entries));
  return bytes + index + builder::trailer_bytes(static_cast<std::uint32_t>(index.size()));
}

class CliTest : public ::testing::Test {
 protected:
  CliTest() {
    write_file(stub, "#!/bin/sh\necho reader\n");
    fs::create_directory(to_path(in));
    fs::create_directory(to_path(out));
  }

  // A PDF of `size` repeatable bytes in the input folder (or a path below it).
  std::string pdf(const std::string& name, std::size_t size) {
    std::string path = platform::join(in, name);
    write_file(path, pattern_bytes(size, static_cast<std::uint32_t>(size)));
    return path;
  }

  Outcome pack(const std::string& name, std::vector<std::string> paths) {
    std::vector<std::string> words{"pack", "--name", name, "--stub", stub, "--out-dir", out};
    words.insert(words.end(), paths.begin(), paths.end());
    return run_cli(words);
  }

  TempDir dir;
  std::string stub = dir.file("books.ini");
  std::string in = dir.file("in");
  std::string out = dir.file("out");
};

// ------------------------------------------------------------------------------- pack

TEST_F(CliTest, PackTakesFilesAndFoldersInTheOrderGiven) {
  std::string first = pdf("b.pdf", 10);
  fs::create_directory(to_path(platform::join(in, "folder")));
  fs::create_directory(to_path(platform::join(in, "folder/sub")));
  pdf("folder/Z.PDF", 20);
  pdf("folder/a.pdf", 30);
  pdf("folder/my.pdfs.pdf", 5);
  pdf("folder/.hidden.pdf", 6);
  pdf("folder/sub/deeper.pdf", 7);
  write_file(platform::join(in, "folder/notes.txt"), "x");
  std::string last = pdf("第三章.Pdf", 8);

  Outcome run = pack("我的书", {first, platform::join(in, "folder"), last});
  ASSERT_EQ(run.code, 0) << run.err;
  std::string ebook = platform::join(out, "我的书.exe");
  EXPECT_EQ(run.out, ebook + "\n");
  EXPECT_EQ(run.err, "");

  auto read = builder::read_book(ebook);
  ASSERT_TRUE(read.book) << builder::describe(read);
  EXPECT_EQ(read.book->name, "我的书");
  std::vector<std::string> titles;
  for (const auto& entry : read.book->entries) titles.push_back(entry.title);
  EXPECT_EQ(titles, (std::vector<std::string>{"b", "a", "mys", "Z", "第三章"}));

  // Every PDF sits, byte for byte, where its index line says.
  std::string bytes = read_file(ebook);
  std::vector<std::size_t> sizes{10, 30, 5, 20, 8};
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const auto& entry = read.book->entries[i];
    EXPECT_EQ(bytes.substr(entry.position - 1, entry.length),
              pattern_bytes(sizes[i], static_cast<std::uint32_t>(sizes[i])));
  }
  EXPECT_EQ(listing(out), "我的书.exe") << "no working files left behind";
}

class ScopedCurrentFolder {
 public:
  explicit ScopedCurrentFolder(const std::string& dir) : saved_(fs::current_path()) {
    fs::current_path(to_path(dir));
  }
  ~ScopedCurrentFolder() { fs::current_path(saved_); }

 private:
  fs::path saved_;
};

TEST_F(CliTest, PackDefaultsToTheStubBesideTheProgramAndTheCurrentFolder) {
  pdf("a.pdf", 10);
  ScopedCurrentFolder here(in);
  Outcome run = run_cli({"pack", "--name", "n", "a.pdf"}, dir.path());
  ASSERT_EQ(run.code, 0) << run.err;
  auto u8 = fs::current_path().u8string();
  std::string cwd(reinterpret_cast<const char*>(u8.data()), u8.size());
  EXPECT_EQ(run.out, platform::join(cwd, "n.exe") + "\n") << "an absolute path";
  EXPECT_EQ(read_file("n.exe").substr(0, 9), "#!/bin/sh");
}

TEST_F(CliTest, PackFailuresNameTheCauseAndLeaveTheFolderAsItWas) {
  std::string good = pdf("good.pdf", 10);
  std::string empty = pdf("empty.pdf", 0);
  fs::create_directory(to_path(platform::join(in, "no-pdfs")));
  write_file(platform::join(out, "keep.txt"), "mine");
  std::string before = listing(out);

  struct Case {
    const char* what;
    std::string name;
    std::vector<std::string> paths;
    std::string stub;
    std::string err_part;  // what the message must hold
  };
  std::vector<Case> cases = {
      {"missing PDF", "book", {good, platform::join(in, "gone.pdf")}, stub, "gone.pdf"},
      {"empty PDF", "book", {empty}, stub, "empty.pdf"},
      {"missing stub", "book", {good}, dir.file("nowhere.ini"), "nowhere.ini"},
      {"name no file can take", "a/b", {good}, stub, "a/b"},
      {"blank name", "  ", {good}, stub, std::string(app::text::kNeedName)},
      {"folder without PDFs",
       "book",
       {platform::join(in, "no-pdfs")},
       stub,
       std::string(app::text::kNeedFiles)},
  };
  for (const auto& c : cases) {
    std::vector<std::string> words{"pack", "--name", c.name, "--stub", c.stub, "--out-dir", out};
    words.insert(words.end(), c.paths.begin(), c.paths.end());
    Outcome run = run_cli(words);
    EXPECT_EQ(run.code, 1) << c.what;
    EXPECT_EQ(run.out, "") << c.what;
    EXPECT_NE(run.err.find(c.err_part), std::string::npos) << c.what << ": " << run.err;
    EXPECT_EQ(run.err.find(app::text::kBuildFailed), std::string::npos)
        << c.what << ": the details, not the window's message";
    EXPECT_EQ(listing(out), before) << c.what;
  }
  EXPECT_EQ(read_file(platform::join(out, "keep.txt")), "mine");
}

TEST_F(CliTest, PackRefusesMoreFilesThanABookHolds) {
  std::string one = pdf("one.pdf", 1);
  std::vector<std::string> paths(32768, one);
  Outcome run = pack("big", paths);
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("32767"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("32768"), std::string::npos) << run.err;
  EXPECT_EQ(listing(out), "");
}

// ------------------------------------------------------------------------------- list, check

TEST_F(CliTest, ListPrintsTheNameThenPositionLengthAndTitle) {
  ASSERT_EQ(pack("书名 ", {pdf("第一章.pdf", 10), pdf("b.PDF", 20)}).code, 0);
  Outcome run = run_cli({"list", platform::join(out, "书名 .exe")});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "书名 \n590000\t10\t第一章\n590010\t20\tb\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(CliTest, ListKeepsControlCharactersOffTheTerminal) {
  std::string ebook = dir.file("forged.exe");
  write_file(ebook, forge_ebook("\x1b]0;owned\x07", {{"a\x1b[2Jb\tc", "pdf"}}));
  Outcome run = run_cli({"list", ebook});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "?]0;owned?\n590000\t3\ta?[2Jb?c\n");
}

TEST_F(CliTest, CheckAcceptsWholeBooksAndRefusesDamagedOnes) {
  ASSERT_EQ(pack("book", {pdf("a.pdf", 10), pdf("b.pdf", 20)}).code, 0);
  std::string ebook = platform::join(out, "book.exe");
  Outcome good = run_cli({"check", ebook});
  EXPECT_EQ(good.code, 0) << good.err;
  EXPECT_EQ(good.out, "结构完整：2 个文件\n");

  std::string bytes = read_file(ebook);
  std::string truncated = dir.file("truncated.exe");
  write_file(truncated, bytes.substr(0, bytes.size() - 1));
  std::string cut_payload = dir.file("cut.exe");
  write_file(cut_payload, bytes.substr(0, 590004) + bytes.substr(590010));
  std::string random = dir.file("random.exe");
  write_file(random, pattern_bytes(700000, 7));
  std::string tiny = dir.file("tiny.exe");
  write_file(tiny, "abc");

  for (const auto& path : {truncated, cut_payload, random, tiny, dir.file("missing.exe")}) {
    for (const char* command : {"check", "list"}) {
      Outcome run = run_cli({command, path});
      EXPECT_EQ(run.code, 1) << command << " " << path;
      EXPECT_EQ(run.out, "") << command << " " << path;
      EXPECT_EQ(run.err.rfind("无法读取电子书“" + path + "”：", 0), 0u) << run.err;
    }
  }
}

// ------------------------------------------------------------------------------- extract

TEST_F(CliTest, ExtractGivesBackEveryPdfByteForByte) {
  std::vector<std::string> pdfs{pdf("a.pdf", 1000), pdf("第二.pdf", 1), pdf("c.pdf", 70000)};
  ASSERT_EQ(pack("book", pdfs).code, 0);
  std::string target = dir.file("extracted");
  fs::create_directory(to_path(target));

  Outcome run = run_cli({"extract", platform::join(out, "book.exe"), target});
  ASSERT_EQ(run.code, 0) << run.err;
  std::vector<std::string> names{"001-a.pdf", "002-第二.pdf", "003-c.pdf"};
  std::string expected_out;
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string path = platform::join(target, names[i]);
    expected_out += path + "\n";
    EXPECT_EQ(read_file(path), read_file(pdfs[i])) << names[i];
  }
  EXPECT_EQ(run.out, expected_out);
  EXPECT_EQ(listing(target), "001-a.pdf 002-第二.pdf 003-c.pdf");
}

TEST_F(CliTest, ExtractKeepsHostileTitlesInsideTheFolder) {
  std::vector<std::pair<std::string, std::string>> pdfs = {
      {"../../evil", "1"},  {"a/b", "22"},          {"CON", "333"},
      {"..", "4444"},       {"", "55555"},          {"..\\..\\win", "6"},
      {"/etc/passwd", "7"}, {"x\x1b:*?\"<>|", "8"}, {"a/b", "9"},
  };
  std::string ebook = dir.file("hostile.exe");
  write_file(ebook, forge_ebook("evil", pdfs));
  std::string sandbox = dir.file("sandbox");
  std::string target = platform::join(sandbox, "target");
  fs::create_directories(to_path(target));

  Outcome run = run_cli({"extract", ebook, target});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(listing(target),
            "001-_.._evil.pdf 002-a_b.pdf 003-CON.pdf 004.pdf 005.pdf 006-_.._win.pdf "
            "007-_etc_passwd.pdf 008-x________.pdf 009-a_b.pdf");
  EXPECT_EQ(listing(sandbox), "target");
  EXPECT_EQ(listing(dir.path()), "books.ini hostile.exe in out sandbox");
  EXPECT_EQ(read_file(platform::join(target, "005.pdf")), "55555");
  EXPECT_EQ(read_file(platform::join(target, "009-a_b.pdf")), "9");
}

TEST_F(CliTest, ExtractNeverOverwritesAndWritesNothingWhenANameIsTaken) {
  ASSERT_EQ(pack("book", {pdf("a.pdf", 10), pdf("b.pdf", 20)}).code, 0);
  std::string target = dir.file("extracted");
  fs::create_directory(to_path(target));
  std::string taken = platform::join(target, "002-b.pdf");
  write_file(taken, "mine");

  Outcome run = run_cli({"extract", platform::join(out, "book.exe"), target});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find(taken), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(read_file(taken), "mine");
  EXPECT_EQ(listing(target), "002-b.pdf");

  Outcome no_folder = run_cli({"extract", platform::join(out, "book.exe"), dir.file("nowhere")});
  EXPECT_EQ(no_folder.code, 1);
  EXPECT_FALSE(platform::path_exists(dir.file("nowhere")));
}

// Makes every write past `bytes` fail, as a full disk would.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~ScopedFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, old_handler_);
  }

 private:
  rlimit saved_{};
  void (*old_handler_)(int) = nullptr;
};

TEST_F(CliTest, ExtractRemovesAFileItCouldNotFinish) {
  ASSERT_EQ(pack("book", {pdf("a.pdf", 100), pdf("b.pdf", 50000)}).code, 0);
  std::string target = dir.file("extracted");
  fs::create_directory(to_path(target));

  Outcome run;
  {
    ScopedFileSizeLimit limit(4096);
    run = run_cli({"extract", platform::join(out, "book.exe"), target});
  }
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.err.find("002-b.pdf"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, platform::join(target, "001-a.pdf") + "\n");
  EXPECT_EQ(listing(target), "001-a.pdf") << "the broken copy is gone, the whole one stays";
}

// ------------------------------------------------------------------------------- usage

TEST(CliUsage, WrongUsageExitsWithTwoAndPrintsNothingOnStandardOutput) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"bogus"},
      {"pack", "a.pdf"},
      {"pack", "--name"},
      {"pack", "--name", "a", "--name", "b", "a.pdf"},
      {"pack", "--name", "a"},
      {"pack", "--name", "a", "--bogus", "a.pdf"},
      {"pack", "--name", "a", "notes.txt"},
      {"list"},
      {"list", "a.exe", "b.exe"},
      {"extract", "a.exe"},
      {"check"},
  };
  for (const auto& words : cases) {
    std::string shown;
    for (const auto& w : words) shown += w + " ";
    Outcome run = run_cli(words);
    EXPECT_EQ(run.code, 2) << shown;
    EXPECT_EQ(run.out, "") << shown;
    EXPECT_NE(run.err.find("用法错误："), std::string::npos) << shown << run.err;
  }
  EXPECT_NE(run_cli({"pack", "--name", "a", "notes.txt"}).err.find("“notes.txt”"),
            std::string::npos);
}

TEST(CliUsage, EveryCommandHasHelp) {
  for (const char* command : {"pack", "list", "extract", "check"}) {
    Outcome run = run_cli({command, "--help"});
    EXPECT_EQ(run.code, 0) << command;
    EXPECT_NE(run.out.find(std::string("用法: tarvello-cli ") + command), std::string::npos)
        << run.out;
    EXPECT_EQ(run.err, "");
  }
  Outcome top = run_cli({"-h"});
  EXPECT_EQ(top.code, 0);
  for (const char* command : {"pack", "list", "extract", "check"}) {
    EXPECT_NE(top.out.find(command), std::string::npos) << top.out;
  }
}

}  // namespace
