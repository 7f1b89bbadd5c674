#include "platform/file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/encoding.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using platform::Error;
using platform::File;
using testing_support::listing;
using testing_support::pattern_bytes;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

void make_dir(const std::string& path) {
#ifdef _WIN32
  ASSERT_TRUE(CreateDirectoryW(platform::utf8_to_wide(path).value().c_str(), nullptr)) << path;
#else
  ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path;
#endif
}

#ifdef _WIN32
void add_attributes(const std::string& path, DWORD attributes) {
  auto wide = platform::utf8_to_wide(path).value();
  DWORD now = GetFileAttributesW(wide.c_str());
  ASSERT_NE(now, INVALID_FILE_ATTRIBUTES) << path;
  ASSERT_TRUE(SetFileAttributesW(wide.c_str(), now | attributes)) << path;
}
#else
void make_link(const std::string& target, const std::string& link) {
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0) << link;
}
#endif

void make_read_only(const std::string& path) {
#ifdef _WIN32
  add_attributes(path, FILE_ATTRIBUTE_READONLY);
#else
  ASSERT_EQ(chmod(path.c_str(), 0444), 0) << path;
#endif
}

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

// --- Names ----------------------------------------------------------------------------

TEST(Names, JoinAndBaseName) {
  const std::string sep(1, platform::separator());
  EXPECT_EQ(platform::join("dir", "a.pdf"), "dir" + sep + "a.pdf");
  // A folder that already ends in a separator gets a second one: names are joined as
  // they are, the way the stored entry paths have always been made.
  EXPECT_EQ(platform::join("root" + sep, "a.pdf"), "root" + sep + sep + "a.pdf");

  EXPECT_EQ(platform::base_name("dir" + sep + "sub" + sep + "\u4E66.pdf"), "\u4E66.pdf");
  EXPECT_EQ(platform::base_name("plain.pdf"), "plain.pdf");
  EXPECT_EQ(platform::base_name("dir" + sep), "");
#ifdef _WIN32
  EXPECT_EQ(platform::base_name("C:\\books/x.pdf"), "x.pdf");
  EXPECT_EQ(platform::base_name("C:x.pdf"), "C:x.pdf");
#else
  EXPECT_EQ(platform::base_name("dir/a\\b.pdf"), "a\\b.pdf");  // a backslash is a character
#endif
}

TEST(Names, ExecutableDir) {
  const std::string dir = platform::executable_dir();
  ASSERT_FALSE(dir.empty());
  EXPECT_TRUE(platform::path_exists(dir));
  EXPECT_FALSE(platform::is_ordinary_file(dir));
#ifdef _WIN32
  const bool root = dir.size() == 3 && dir[1] == ':';
  EXPECT_TRUE(dir.size() > 2 && dir[1] == ':') << dir;
#else
  const bool root = dir == "/";
  EXPECT_EQ(dir[0], '/');
#endif
  if (!root) {
    EXPECT_NE(dir.back(), platform::separator()) << dir;
  }
}

// --- What counts as an ordinary file --------------------------------------------------

TEST(OrdinaryFile, PlainAndReadOnlyFilesCountOthersDoNot) {
  TempDir tmp;
  write_file(tmp.file("a.pdf"), "x");
  write_file(tmp.file("locked.pdf"), "x");
  make_read_only(tmp.file("locked.pdf"));
  write_file(tmp.file(".hidden.pdf"), "x");
  make_dir(tmp.file("folder.pdf"));

  EXPECT_TRUE(platform::is_ordinary_file(tmp.file("a.pdf")));
  EXPECT_TRUE(platform::is_ordinary_file(tmp.file("locked.pdf")));
  EXPECT_FALSE(platform::is_ordinary_file(tmp.file("folder.pdf")));
  EXPECT_FALSE(platform::is_ordinary_file(tmp.file("missing.pdf")));
  EXPECT_FALSE(platform::is_ordinary_file(tmp.file("a.pdf") + platform::separator() + "x"));
#ifdef _WIN32
  // On Windows the attributes hide a file, not a leading dot (though Wine marks dot files
  // hidden, as Unix would have it).
  const DWORD dot = GetFileAttributesW(platform::utf8_to_wide(tmp.file(".hidden.pdf"))->c_str());
  EXPECT_EQ(platform::is_ordinary_file(tmp.file(".hidden.pdf")), !(dot & FILE_ATTRIBUTE_HIDDEN));
  write_file(tmp.file("h.pdf"), "x");
  add_attributes(tmp.file("h.pdf"), FILE_ATTRIBUTE_HIDDEN);
  write_file(tmp.file("s.pdf"), "x");
  add_attributes(tmp.file("s.pdf"), FILE_ATTRIBUTE_SYSTEM);
  EXPECT_FALSE(platform::is_ordinary_file(tmp.file("h.pdf")));
  EXPECT_FALSE(platform::is_ordinary_file(tmp.file("s.pdf")));
  // Wildcards never match: "a.pdf" exists, but no file is called "?.pdf".
  EXPECT_FALSE(platform::is_ordinary_file(tmp.file("?.pdf")));
  EXPECT_FALSE(platform::is_ordinary_file(tmp.file("*")));
#else
  EXPECT_FALSE(platform::is_ordinary_file(tmp.file(".hidden.pdf")));
#endif
}

#ifndef _WIN32
TEST(OrdinaryFile, SymbolicLinks) {
  TempDir tmp;
  write_file(tmp.file("real.pdf"), "x");
  make_dir(tmp.file("dir"));
  make_link("real.pdf", tmp.file("to-file.pdf"));
  make_link("dir", tmp.file("to-dir.pdf"));
  make_link("nowhere.pdf", tmp.file("dangling.pdf"));
  make_link("real.pdf", tmp.file(".hidden-link.pdf"));

  EXPECT_TRUE(platform::is_ordinary_file(tmp.file("to-file.pdf")));
  EXPECT_FALSE(platform::is_ordinary_file(tmp.file("to-dir.pdf")));
  EXPECT_FALSE(platform::is_ordinary_file(tmp.file("dangling.pdf")));
  EXPECT_FALSE(platform::is_ordinary_file(tmp.file(".hidden-link.pdf")));

  EXPECT_TRUE(platform::path_exists(tmp.file("dangling.pdf")));
  EXPECT_FALSE(platform::path_exists(tmp.file("nowhere.pdf")));
}
#endif

TEST(OrdinaryFile, ListingSkipsFoldersAndHiddenFiles) {
  TempDir tmp;
  write_file(tmp.file("a.pdf"), "x");
  write_file(tmp.file("B.PDF"), "x");
  write_file(tmp.file("\u4E66.pdf"), "x");
  write_file(tmp.file("locked.pdf"), "x");
  make_read_only(tmp.file("locked.pdf"));
  make_dir(tmp.file("sub.pdf"));
  write_file(tmp.file("sub.pdf") + platform::separator() + "deep.pdf", "x");
  std::vector<std::string> expected = {"B.PDF", "a.pdf", "locked.pdf", "\u4E66.pdf"};
#ifdef _WIN32
  write_file(tmp.file("h.pdf"), "x");
  add_attributes(tmp.file("h.pdf"), FILE_ATTRIBUTE_HIDDEN);
  write_file(tmp.file("s.pdf"), "x");
  add_attributes(tmp.file("s.pdf"), FILE_ATTRIBUTE_SYSTEM);
#else
  write_file(tmp.file(".hidden.pdf"), "x");
  make_link("a.pdf", tmp.file("link.pdf"));
  make_link("sub.pdf", tmp.file("dirlink.pdf"));
  make_link("gone.pdf", tmp.file("dangling.pdf"));
  expected.push_back("link.pdf");
#endif

  Error err;
  auto names = platform::list_ordinary_files(tmp.path(), err);
  ASSERT_TRUE(names.has_value()) << err.message;
  EXPECT_EQ(sorted(*names), sorted(expected));

  auto empty_dir = tmp.file("empty");
  make_dir(empty_dir);
  names = platform::list_ordinary_files(empty_dir, err);
  ASSERT_TRUE(names.has_value());
  EXPECT_TRUE(names->empty());

  Error missing;
  EXPECT_FALSE(platform::list_ordinary_files(tmp.file("missing"), missing).has_value());
  EXPECT_NE(missing.code, 0);
  EXPECT_FALSE(missing.message.empty());
}

// --- Delete and rename ------------------------------------------------------------------

TEST(Delete, OneLiteralNameNeverAFolder) {
  TempDir tmp;
  write_file(tmp.file("a1.pdf"), "1");
  write_file(tmp.file("ab.pdf"), "2");
  make_dir(tmp.file("dir"));
  const std::string before = listing(tmp.path());

  Error err;
  EXPECT_FALSE(platform::delete_file(tmp.file("a?.pdf"), err));
  EXPECT_FALSE(platform::delete_file(tmp.file("*"), err));
  EXPECT_FALSE(platform::delete_file(tmp.file("dir"), err));
  EXPECT_NE(err.code, 0);
  EXPECT_EQ(listing(tmp.path()), before);

  Error missing;
  EXPECT_FALSE(platform::delete_file(tmp.file("missing.pdf"), missing));
  EXPECT_NE(missing.code, 0);
  EXPECT_FALSE(missing.message.empty());

  EXPECT_TRUE(platform::delete_file(tmp.file("a1.pdf"), err)) << err.message;
  EXPECT_EQ(listing(tmp.path()), "ab.pdf dir");
}

#ifndef _WIN32
// On POSIX '*' and '?' are ordinary characters of a name.
TEST(Delete, WildcardCharactersAreJustCharacters) {
  TempDir tmp;
  for (const char* name : {"*", "?", "a", "b", "*.pdf", "x.pdf"}) write_file(tmp.file(name), "x");
  Error err;
  EXPECT_TRUE(platform::delete_file(tmp.file("*"), err)) << err.message;
  EXPECT_TRUE(platform::delete_file(tmp.file("?"), err)) << err.message;
  EXPECT_TRUE(platform::delete_file(tmp.file("*.pdf"), err)) << err.message;
  EXPECT_EQ(listing(tmp.path()), "a b x.pdf");
}

TEST(Delete, RemovesTheLinkNotItsTarget) {
  TempDir tmp;
  write_file(tmp.file("real.pdf"), "keep");
  make_link("real.pdf", tmp.file("link.pdf"));
  Error err;
  EXPECT_TRUE(platform::delete_file(tmp.file("link.pdf"), err)) << err.message;
  EXPECT_EQ(read_file(tmp.file("real.pdf")), "keep");
}
#endif

TEST(Rename, NeverReplaces) {
  TempDir tmp;
  write_file(tmp.file("from.txt"), "new");
  write_file(tmp.file("to.exe"), "old");
  make_dir(tmp.file("dir"));

  Error err;
  EXPECT_FALSE(platform::rename_no_replace(tmp.file("from.txt"), tmp.file("to.exe"), err));
  EXPECT_NE(err.code, 0);
  EXPECT_FALSE(err.message.empty());
  EXPECT_FALSE(platform::rename_no_replace(tmp.file("from.txt"), tmp.file("dir"), err));
  EXPECT_EQ(read_file(tmp.file("from.txt")), "new");
  EXPECT_EQ(read_file(tmp.file("to.exe")), "old");

  Error missing;
  EXPECT_FALSE(platform::rename_no_replace(tmp.file("gone"), tmp.file("x"), missing));
  EXPECT_NE(missing.code, 0);

  EXPECT_TRUE(platform::rename_no_replace(tmp.file("from.txt"), tmp.file("\u65B0\u4E66.exe"), err))
      << err.message;
  EXPECT_EQ(read_file(tmp.file("\u65B0\u4E66.exe")), "new");
  EXPECT_FALSE(platform::path_exists(tmp.file("from.txt")));
}

#ifndef _WIN32
TEST(Rename, RefusesADanglingLinkAsTarget) {
  TempDir tmp;
  write_file(tmp.file("from.txt"), "new");
  make_link("nowhere", tmp.file("to.exe"));
  Error err;
  EXPECT_FALSE(platform::rename_no_replace(tmp.file("from.txt"), tmp.file("to.exe"), err));
  EXPECT_EQ(read_file(tmp.file("from.txt")), "new");
  EXPECT_FALSE(platform::path_exists(tmp.file("nowhere")));
}

TEST(MakeExecutable, AddsExecuteWhereReadIs) {
  TempDir tmp;
  write_file(tmp.file("book"), "x");
  ASSERT_EQ(chmod(tmp.file("book").c_str(), 0640), 0);
  Error err;
  ASSERT_TRUE(platform::make_executable(tmp.file("book"), err)) << err.message;
  struct stat st;
  ASSERT_EQ(stat(tmp.file("book").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0750u);
  EXPECT_FALSE(platform::make_executable(tmp.file("missing"), err));
}
#endif

// --- Opening --------------------------------------------------------------------------

TEST(Open, CreateNewRefusesAnythingAlreadyThere) {
  TempDir tmp;
  write_file(tmp.file("book.txt"), "precious");
  make_dir(tmp.file("dir"));
  Error err;
  EXPECT_FALSE(File::create_new(tmp.file("book.txt"), err).has_value());
  EXPECT_NE(err.code, 0);
  EXPECT_FALSE(File::create_new(tmp.file("dir"), err).has_value());
  EXPECT_EQ(read_file(tmp.file("book.txt")), "precious");

  auto f = File::create_new(tmp.file("\u4E66.txt"), err);
  ASSERT_TRUE(f.has_value()) << err.message;
  EXPECT_TRUE(f->is_open());
  ASSERT_TRUE(f->write("abc", 3, err));
  EXPECT_TRUE(f->close(err));
  EXPECT_FALSE(f->is_open());
  EXPECT_EQ(read_file(tmp.file("\u4E66.txt")), "abc");
  Error size_err;
  EXPECT_EQ(platform::file_size(tmp.file("\u4E66.txt"), size_err), 3u);
  EXPECT_TRUE(platform::is_ordinary_file(tmp.file("\u4E66.txt")));
}

#ifndef _WIN32
TEST(Open, CreateNewNeverFollowsAPlantedLink) {
  TempDir tmp;
  write_file(tmp.file("victim"), "untouched");
  make_link("victim", tmp.file("book.txt"));
  make_link("would-appear", tmp.file("dangling.txt"));
  Error err;
  EXPECT_FALSE(File::create_new(tmp.file("book.txt"), err).has_value());
  EXPECT_FALSE(File::create_new(tmp.file("dangling.txt"), err).has_value());
  EXPECT_EQ(read_file(tmp.file("victim")), "untouched");
  EXPECT_FALSE(platform::path_exists(tmp.file("would-appear")));
}

TEST(Open, CreateNewUsesMode0644UnderTheUmask) {
  TempDir tmp;
  const mode_t old = umask(022);
  Error err;
  auto f = File::create_new(tmp.file("book"), err);
  umask(old);
  ASSERT_TRUE(f.has_value()) << err.message;
  struct stat st;
  ASSERT_EQ(stat(tmp.file("book").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}
#endif

TEST(Open, OpenReadRefusesFoldersAndMissingFiles) {
  TempDir tmp;
  make_dir(tmp.file("dir"));
  Error err;
  EXPECT_FALSE(File::open_read(tmp.file("dir"), err).has_value());
  EXPECT_NE(err.code, 0);
  EXPECT_FALSE(File::open_read(tmp.file("missing"), err).has_value());
  EXPECT_FALSE(platform::file_size(tmp.file("missing"), err).has_value());
  EXPECT_FALSE(platform::file_size(tmp.file("dir"), err).has_value());

  write_file(tmp.file("locked.pdf"), "ro");
  make_read_only(tmp.file("locked.pdf"));
  auto f = File::open_read(tmp.file("locked.pdf"), err);
  ASSERT_TRUE(f.has_value()) << err.message;
  char buf[8];
  EXPECT_EQ(f->read(buf, sizeof buf, err), 2u);
  EXPECT_EQ(f->read(buf, sizeof buf, err), 0u);
  EXPECT_EQ(f->size(err), 2u);
}

TEST(Open, MovedFileKeepsTheHandle) {
  TempDir tmp;
  write_file(tmp.file("a"), "abc");
  Error err;
  auto f = File::open_read(tmp.file("a"), err);
  ASSERT_TRUE(f.has_value());
  File moved = std::move(*f);
  EXPECT_FALSE(f->is_open());
  EXPECT_TRUE(moved.is_open());
  File other;
  other = std::move(moved);
  char c[3];
  EXPECT_TRUE(other.read_exact_at(0, c, 3, err));
  EXPECT_EQ(std::string(c, 3), "abc");
}

// --- Reading and writing --------------------------------------------------------------

TEST(Write, AtPositionLeavesAHoleOfZeros) {
  TempDir tmp;
  Error err;
  auto f = File::create_new(tmp.file("book.txt"), err);
  ASSERT_TRUE(f.has_value()) << err.message;
  ASSERT_TRUE(f->write_at_position(1, "AB", 2, err));
  ASSERT_TRUE(f->write_at_position(11, "CD", 2, err));  // 1-based: offset 10
  ASSERT_TRUE(f->write("E", 1, err));                   // straight after "CD"
  ASSERT_TRUE(f->write_at_position(2, "b", 1, err));
  EXPECT_EQ(f->size(err), 13u);
  EXPECT_FALSE(f->write_at_position(0, "X", 1, err));  // there is no position 0
  EXPECT_NE(err.code, 0);
  f->close();
  EXPECT_EQ(read_file(tmp.file("book.txt")), std::string("Ab\0\0\0\0\0\0\0\0CDE", 13));
}

TEST(Write, ReadExactAtFailsOnAShortFile) {
  TempDir tmp;
  write_file(tmp.file("a"), "0123456789");
  Error err;
  auto f = File::open_read(tmp.file("a"), err);
  ASSERT_TRUE(f.has_value());
  char buf[4];
  ASSERT_TRUE(f->read_exact_at(6, buf, 4, err));
  EXPECT_EQ(std::string(buf, 4), "6789");
  Error short_err;
  EXPECT_FALSE(f->read_exact_at(7, buf, 4, short_err));
  EXPECT_NE(short_err.code, 0);
  EXPECT_FALSE(short_err.message.empty());
}

// A few MiB, so the copy crosses its buffer several times and ends mid-buffer.
TEST(Copy, LargeFileIsByteExact) {
  TempDir tmp;
  const std::size_t size = (5u << 20) + 12345;
  const std::string data = pattern_bytes(size, 7);
  write_file(tmp.file("in.pdf"), data);

  Error err;
  auto in = File::open_read(tmp.file("in.pdf"), err);
  auto out = File::create_new(tmp.file("out"), err);
  ASSERT_TRUE(in && out) << err.message;
  ASSERT_TRUE(out->write("HEAD", 4, err));
  std::uint64_t reported = 0;
  ASSERT_TRUE(out->copy_from(*in, 0, size, err, [&](std::uint64_t n) { reported += n; }))
      << err.message;
  EXPECT_EQ(reported, size);
  // A part from the middle, then more after it: the current position followed the copy.
  ASSERT_TRUE(out->copy_from(*in, 1000, 3000, err)) << err.message;
  ASSERT_TRUE(out->write("TAIL", 4, err));
  out->close();

  const std::string got = read_file(tmp.file("out"));
  ASSERT_EQ(got.size(), 4 + size + 3000 + 4);
  EXPECT_TRUE(got.compare(0, 4, "HEAD") == 0);
  EXPECT_TRUE(got.compare(4, size, data) == 0);
  EXPECT_TRUE(got.compare(4 + size, 3000, data, 1000, 3000) == 0);
  EXPECT_TRUE(got.compare(4 + size + 3000, 4, "TAIL") == 0);
}

#ifdef __linux__
// Between two kinds of filesystem the kernel will not copy, and the buffered copy takes
// over.
TEST(Copy, AcrossFilesystems) {
  const std::string shm = "/dev/shm";
  if (!platform::path_exists(shm)) GTEST_SKIP() << "no /dev/shm";
  TempDir tmp;
  const std::string source = platform::join(shm, platform::base_name(tmp.path()) + "-source");
  const std::string data = pattern_bytes((3u << 20) + 99, 11);
  write_file(source, data);
  Error err;
  auto in = File::open_read(source, err);
  auto out = File::create_new(tmp.file("out"), err);
  ASSERT_TRUE(in && out) << err.message;
  const bool copied = out->copy_from(*in, 0, data.size(), err);
  Error ignored;
  platform::delete_file(source, ignored);
  ASSERT_TRUE(copied) << err.message;
  out->close();
  EXPECT_TRUE(read_file(tmp.file("out")) == data);
}
#endif

TEST(Copy, ShortSourceFails) {
  TempDir tmp;
  write_file(tmp.file("in.pdf"), pattern_bytes((1u << 20) + 10, 3));
  Error err;
  auto in = File::open_read(tmp.file("in.pdf"), err);
  auto out = File::create_new(tmp.file("out"), err);
  ASSERT_TRUE(in && out);
  Error short_err;
  EXPECT_FALSE(out->copy_from(*in, 0, (1u << 20) + 11, short_err));
  EXPECT_NE(short_err.code, 0);
  EXPECT_FALSE(short_err.message.empty());
  Error past_err;
  EXPECT_FALSE(out->copy_from(*in, (2u << 20), 1, past_err));
  EXPECT_NE(past_err.code, 0);
  // Nothing at all is not short.
  EXPECT_TRUE(out->copy_from(*in, 5, 0, err));
}

}  // namespace
