#include "platform/file.h"

#include <gtest/gtest.h>

#include <algorithm>
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

using platform::Copy;
using platform::Error;
using platform::ErrorKind;
using platform::File;
using testing_support::listing;
using testing_support::pattern_bytes;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

// What can stand at a name, and how each call must judge it.
enum class Thing { none, file, read_only, hidden, folder, link, dangling_link, fifo };

void make(const TempDir& tmp, const std::string& name, Thing thing) {
  const std::string path = tmp.file(name);
#ifdef _WIN32
  auto wide = platform::utf8_to_wide(path).value();
  auto set = [&](DWORD attributes) {
    ASSERT_TRUE(SetFileAttributesW(wide.c_str(), GetFileAttributesW(wide.c_str()) | attributes));
  };
  switch (thing) {
    case Thing::folder:
      ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr));
      return;
    case Thing::none:
      return;
    default:
      write_file(path, "x");
      if (thing == Thing::read_only) {
        set(FILE_ATTRIBUTE_READONLY);
      }
      if (thing == Thing::hidden) {
        set(FILE_ATTRIBUTE_HIDDEN);
      }
      return;
  }
#else
  switch (thing) {
    case Thing::none:
      return;
    case Thing::folder:
      ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
      return;
    case Thing::link:
      write_file(path + "-target", "x");
      ASSERT_EQ(symlink((path + "-target").c_str(), path.c_str()), 0);
      return;
    case Thing::dangling_link:
      ASSERT_EQ(symlink((path + "-nowhere").c_str(), path.c_str()), 0);
      return;
    case Thing::fifo:
      ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
      return;
    default:
      write_file(path, "x");
      if (thing == Thing::read_only) {
        ASSERT_EQ(chmod(path.c_str(), 0444), 0);
      }
      return;
  }
#endif
}

struct PathRow {
  const char* name;
  Thing thing;
  bool ordinary;
  bool exists;
  ErrorKind open;  // open_read's error; other for success
};

// A pipe must never block a caller, and is no empty file either.
TEST(Paths, EachKindIsJudgedAndOpenedForWhatItIs) {
  const PathRow rows[] = {
      {"plain.pdf", Thing::file, true, true, ErrorKind::other},
      {"locked.pdf", Thing::read_only, true, true, ErrorKind::other},
      {"folder.pdf", Thing::folder, false, true, ErrorKind::not_ordinary},
      {"missing.pdf", Thing::none, false, false, ErrorKind::not_found},
#ifdef _WIN32
      {"hidden.pdf", Thing::hidden, false, true, ErrorKind::other},
#else
      {".hidden.pdf", Thing::file, false, true, ErrorKind::other},
      {"link.pdf", Thing::link, true, true, ErrorKind::other},
      {"dangling.pdf", Thing::dangling_link, false, true, ErrorKind::not_found},
      {"pipe.pdf", Thing::fifo, false, true, ErrorKind::not_ordinary},
#endif
  };
  TempDir tmp;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    make(tmp, row.name, row.thing);
    const std::string path = tmp.file(row.name);
    EXPECT_EQ(platform::is_ordinary_file(path), row.ordinary);
    EXPECT_EQ(platform::path_exists(path), row.exists);
    EXPECT_EQ(platform::is_folder(path), row.thing == Thing::folder);
    Error err;
    EXPECT_EQ(File::open_read(path, err).has_value(), row.open == ErrorKind::other);
    EXPECT_EQ(err.kind, row.open);
    Error size_err;
    EXPECT_EQ(platform::file_size(path, size_err).has_value(), row.open == ErrorKind::other);
    EXPECT_EQ(size_err.kind, row.open);
    // Creating never takes over anything already there, a dangling link included.
    Error create_err;
    EXPECT_EQ(File::create_new(path, create_err).has_value(), !row.exists);
  }
#ifndef _WIN32
  // ...and never creates the file a planted link points to.
  EXPECT_FALSE(platform::path_exists(tmp.file("dangling.pdf-nowhere")));
#endif
  // The listing takes the ordinary files, no folders, nothing hidden, and nothing below.
  write_file(tmp.file("folder.pdf") + platform::separator() + "deep.pdf", "x");
  Error err;
  auto names = platform::list_ordinary_files(tmp.path(), err);
  ASSERT_TRUE(names.has_value()) << err.message;
  std::sort(names->begin(), names->end());
#ifdef _WIN32
  EXPECT_EQ(*names, (std::vector<std::string>{"locked.pdf", "missing.pdf", "plain.pdf"}));
#else
  EXPECT_EQ(*names, (std::vector<std::string>{"link.pdf", "link.pdf-target", "locked.pdf",
                                              "missing.pdf", "plain.pdf"}));
#endif
  EXPECT_FALSE(platform::list_ordinary_files(tmp.file("nowhere"), err).has_value());
  EXPECT_EQ(err.kind, ErrorKind::not_found);
}

TEST(Names, DeleteRenameAndReplaceTakeOneLiteralName) {
  TempDir tmp;
  const std::string sep(1, platform::separator());
  EXPECT_EQ(platform::join("root" + sep, "a.pdf"), "root" + sep + sep + "a.pdf");  // as given
  EXPECT_EQ(platform::base_name("dir" + sep + "\u4E66.pdf"), "\u4E66.pdf");

  write_file(tmp.file("a1.pdf"), "1");
  write_file(tmp.file("a2.pdf"), "2");
  Error err;
  // Wildcards are characters, and folders are never deleted.
  EXPECT_FALSE(platform::delete_file(tmp.file("a?.pdf"), err));
  make(tmp, "dir", Thing::folder);
  EXPECT_FALSE(platform::delete_file(tmp.file("dir"), err));
  EXPECT_EQ(listing(tmp.path()), "a1.pdf a2.pdf dir");

  // A rename never replaces; replace_file does, in one step.
  EXPECT_FALSE(platform::rename_no_replace(tmp.file("a1.pdf"), tmp.file("a2.pdf"), err));
  EXPECT_EQ(read_file(tmp.file("a2.pdf")), "2");
  EXPECT_TRUE(platform::rename_no_replace(tmp.file("a1.pdf"), tmp.file("b.pdf"), err));
  EXPECT_TRUE(platform::replace_file(tmp.file("b.pdf"), tmp.file("a2.pdf"), err)) << err.message;
  EXPECT_EQ(listing(tmp.path()), "a2.pdf dir");
  EXPECT_EQ(read_file(tmp.file("a2.pdf")), "1");
#ifndef _WIN32
  make(tmp, "dangling", Thing::dangling_link);
  EXPECT_FALSE(platform::rename_no_replace(tmp.file("a2.pdf"), tmp.file("dangling"), err));
  make(tmp, "link", Thing::link);
  EXPECT_TRUE(platform::delete_file(tmp.file("link"), err));
  EXPECT_TRUE(platform::path_exists(tmp.file("link-target")));  // the link went, not its target

  // A finished e-book is a program: execute wherever read is allowed.
  ASSERT_EQ(chmod(tmp.file("a2.pdf").c_str(), 0640), 0);
  EXPECT_TRUE(platform::make_executable(tmp.file("a2.pdf"), err));
  struct stat st;
  ASSERT_EQ(stat(tmp.file("a2.pdf").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0750u);
#endif
}

TEST(Files, PositionsCopiesAndShortSources) {
  TempDir tmp;
  Error err;
  auto out = File::create_new(tmp.file("out"), err);
  ASSERT_TRUE(out) << err.message;
  // Positions count from 1; what lies before a write is zeros.
  ASSERT_TRUE(out->write_at_position(6, "xy", 2, err));
  EXPECT_FALSE(out->write_at_position(0, "z", 1, err));
  out->close();
  EXPECT_EQ(read_file(tmp.file("out")), std::string(5, '\0') + "xy");
  auto in = File::open_read(tmp.file("out"), err);
  char buf[8];
  EXPECT_FALSE(in->read_exact_at(5, buf, 3, err));  // only two bytes are there

  // Large copies are exact, from the same file system (the kernel's copy) and from
  // another (the plain one), and report every byte.
  const std::string data = pattern_bytes((3u << 20) + 123, 7);
  std::vector<std::string> sources = {tmp.file("big")};
#ifdef __linux__
  if (platform::is_folder("/dev/shm"))
    sources.push_back("/dev/shm/tarvello-copy-" + std::to_string(getpid()));
#endif
  for (const auto& path : sources) {
    SCOPED_TRACE(path);
    write_file(path, data);
    auto source = File::open_read(path, err);
    auto copy = File::create_new(path + ".copy", err);
    std::uint64_t told = 0;
    EXPECT_EQ(copy->copy_from(*source, 0, data.size(), err,
                              [&](std::uint64_t n) {
                                told += n;
                                return true;
                              }),
              Copy::done)
        << err.message;
    EXPECT_EQ(told, data.size());
    // A source that ends early says so; a progress that says stop stops.
    EXPECT_EQ(copy->copy_from(*source, data.size() - 10, 11, err), Copy::source_ended);
    EXPECT_EQ(copy->copy_from(*source, 0, 10, err, [](std::uint64_t) { return false; }),
              Copy::stopped);
    copy->close();
    source->close();
    EXPECT_EQ(read_file(path + ".copy").substr(0, data.size()), data);
    for (const auto& made : {path, path + ".copy"}) platform::delete_file(made, err);
  }
}

}  // namespace
