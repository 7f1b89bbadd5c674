#include "platform/encoding.h"
#include "platform/file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using platform::CopyEnd;
using platform::cp936_to_utf8;
using platform::Error;
using platform::ErrorKind;
using platform::File;
using testing_support::cp936;
using testing_support::fs_path;
using testing_support::listing;
using testing_support::pattern_bytes;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

std::string hex(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes)
    out += "0123456789ABCDEF"[c >> 4], out += "0123456789ABCDEF"[c & 15];
  return out;
}

// The bytes Windows writes for code page 936, on every platform. Rows that read back
// are characters the code page holds; the others hold none (one '?' per character, never
// a look-alike) or malformed UTF-8 (one '?' per bad byte).
struct Row {
  const char* name;
  std::string utf8, bytes;
  bool reads_back;
};
const Row kRows[] = {
    {"ASCII", "Book 1.pdf ~!@#$%^&*()", "Book 1.pdf ~!@#$%^&*()", true},
    {"the index's signs", "\u2642\u2640\u4E66\u3000\uFFE5",
     "\xA1\xE1\xA1\xE2\xCA\xE9\xA1\xA1\xA3\xA4", true},
    // Where the tables in the wild disagree: pinned to Windows.
    {"disputed cells", "\u20AC\u00B7\u2014\u2015\uFF5E\u2225",
     "\x80\xA1\xA4\xA1\xAA\xA8\x44\xA1\xAB\xA1\xCE", true},
    // Windows' private-use cells, by rule and in runs.
    {"private use", "\uE000\uE4C6\uE5E5\uE766\uE864", "\xAA\xA1\xA1\x40\xA3\xA0\xA2\xAB\xFE\xA0",
     true},
    {"not in the code page", "a\U0001F4DAb\u30FB\u00A0\u301C\u2212\u00B5\uD55C\uE865\uF8F5",
     "a?b????????", false},
    {"bad UTF-8", "a\x80z\xE4\xB9", "a?z??", false},
    {"overlong, surrogate, past U+10FFFF", "\xC0\xAF\xE0\x80\xAF\xED\xA0\x80\xF4\x90\x80\x80\xFE",
     "?????????????", false},
};

TEST(Cp936, WritesTheWindowsBytesAndReadsThemBack) {
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(hex(cp936(row.utf8)), hex(row.bytes));
    if (row.reads_back) {
      EXPECT_EQ(cp936_to_utf8(row.bytes), row.utf8);
    }
  }
  // Not code page 936: a lead byte at the end, trail bytes out of range, 0xFF.
  for (std::string bad : {"\xCA", "abc\xCA", "\xCA\x7F", "\xCA\x20", "\x81\xFF", "a\xFF"}) {
    EXPECT_FALSE(cp936_to_utf8(bad)) << hex(bad);
  }
  // A trail byte in the ASCII range belongs to its lead, not to the text after it.
  EXPECT_EQ(cp936_to_utf8("\x81\x40"), "\u4E02");
}

TEST(Cp936, EveryCellReadsBackAndTheWholeTableMatchesWindows) {
  std::string all;
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead)
    for (unsigned trail = 0x40; trail <= 0xFE; ++trail)
      if (trail != 0x7F) all += {static_cast<char>(lead), static_cast<char>(trail)};
  auto text = cp936_to_utf8(all);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(hex(cp936(*text)), hex(all));

  // A checksum of the bytes Windows writes for every character of the BMP, so a single
  // character one platform converts differently shows.
  std::string bmp;
  for (char32_t cp = 0x80; cp <= 0xFFFF; ++cp)
    if (cp < 0xD800 || cp > 0xDFFF) platform::append_utf8(bmp, cp);
  std::uint64_t h = 0xcbf29ce484222325u;
  for (unsigned char c : cp936(bmp)) h = (h ^ c) * 0x100000001b3u;
  EXPECT_EQ(h, 0xb5a24903bb445036u);
}

#ifdef _WIN32
TEST(Utf16, NamesNeverTurnIntoOtherNames) {
  EXPECT_EQ(platform::utf8_to_wide("\u4E66.pdf \U0001F600"), L"\u4E66.pdf \U0001F600");
  EXPECT_EQ(platform::wide_to_utf8(L"\u4E66\U0001F600"), "\u4E66\U0001F600");
  EXPECT_FALSE(platform::utf8_to_wide("a\xE4\xB9.pdf"));
  EXPECT_EQ(platform::shown_wide("a\xE4\xB9"), L"a\uFFFD\uFFFD");
}
#endif

// What can stand at a name, and how each call must judge it. A pipe must never block a
// caller, and is no empty file either; nothing already there is ever taken over.
TEST(Paths, EachKindIsJudgedAndOpenedForWhatItIs) {
  using Make = std::function<void(const std::string&)>;
  const Make file = [](const std::string& p) { write_file(p, "x"); };
  const struct {
    const char* name;
    Make make;
    bool ordinary, exists;
    ErrorKind open;  // open_read's error; other for success
  } rows[] = {
      {"plain.pdf", file, true, true, ErrorKind::other},
      {"locked.pdf", [&](auto& p) { file(p), fs::permissions(fs_path(p), fs::perms::owner_read); },
       true, true, ErrorKind::other},
      {"folder.pdf", [](auto& p) { fs::create_directory(fs_path(p)); }, false, true,
       ErrorKind::not_ordinary},
      {"missing.pdf", [](auto&) {}, false, false, ErrorKind::not_found},
#ifdef _WIN32
      {"hidden.pdf",
       [&](auto& p) { file(p), SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_HIDDEN); }, false, true,
       ErrorKind::other},
#else
      {".hidden.pdf", file, false, true, ErrorKind::other},
      {"link.pdf", [&](auto& p) { file(p + "-target"), fs::create_symlink(p + "-target", p); },
       true, true, ErrorKind::other},
      {"dangling.pdf", [](auto& p) { fs::create_symlink(p + "-nowhere", p); }, false, true,
       ErrorKind::not_found},
      {"pipe.pdf", [](auto& p) { mkfifo(p.c_str(), 0644); }, false, true, ErrorKind::not_ordinary},
#endif
  };
  TempDir tmp;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = tmp.file(row.name);
    row.make(path);
    EXPECT_EQ(platform::is_ordinary_file(path), row.ordinary);
    EXPECT_EQ(platform::path_exists(path), row.exists);
    Error err, size_err, create_err;
    EXPECT_EQ(File::open_read(path, err).has_value(), row.open == ErrorKind::other);
    EXPECT_EQ(err.kind, row.open);
    EXPECT_EQ(platform::file_size(path, size_err).has_value(), row.open == ErrorKind::other);
    EXPECT_EQ(size_err.kind, row.open);
    EXPECT_EQ(File::create_new(path, create_err).has_value(), !row.exists);
  }
  // A planted link's target is never created; the listing takes ordinary files only.
  EXPECT_FALSE(platform::path_exists(tmp.file("dangling.pdf-nowhere")));
  write_file(tmp.file("folder.pdf/deep.pdf"), "x");
  Error err;
  auto names = platform::list_ordinary_files(tmp.path(), err).value();
  std::sort(names.begin(), names.end());
#ifdef _WIN32
  EXPECT_EQ(names, (std::vector<std::string>{"locked.pdf", "missing.pdf", "plain.pdf"}));
#else
  EXPECT_EQ(names, (std::vector<std::string>{"link.pdf", "link.pdf-target", "locked.pdf",
                                             "missing.pdf", "plain.pdf"}));
#endif
  EXPECT_FALSE(platform::list_ordinary_files(tmp.file("nowhere"), err));
  EXPECT_EQ(err.kind, ErrorKind::not_found);
}

TEST(Names, DeleteRenameAndReplaceTakeOneLiteralName) {
  TempDir tmp;
  const std::string sep(1, platform::separator());
  EXPECT_EQ(platform::join("root" + sep, "a.pdf"), "root" + sep + sep + "a.pdf");  // as given
  write_file(tmp.file("a1.pdf"), "1");
  write_file(tmp.file("a2.pdf"), "2");
  fs::create_directory(fs_path(tmp.file("dir")));
  Error err;
  // Wildcards are characters, and folders are never deleted.
  EXPECT_FALSE(platform::delete_file(tmp.file("a?.pdf"), err));
  EXPECT_FALSE(platform::delete_file(tmp.file("dir"), err));
  // A rename never replaces; replace_file does, in one step.
  EXPECT_FALSE(platform::rename_no_replace(tmp.file("a1.pdf"), tmp.file("a2.pdf"), err));
  EXPECT_EQ(read_file(tmp.file("a2.pdf")), "2");
  EXPECT_TRUE(platform::rename_no_replace(tmp.file("a1.pdf"), tmp.file("b.pdf"), err));
  EXPECT_TRUE(platform::replace_file(tmp.file("b.pdf"), tmp.file("a2.pdf"), err)) << err.message;
  EXPECT_EQ(listing(tmp.path()), "a2.pdf dir");
  EXPECT_EQ(read_file(tmp.file("a2.pdf")), "1");
#ifndef _WIN32
  fs::create_symlink("nowhere", tmp.file("dangling"));
  EXPECT_FALSE(platform::rename_no_replace(tmp.file("a2.pdf"), tmp.file("dangling"), err));
  fs::create_symlink("a2.pdf", tmp.file("link"));
  EXPECT_TRUE(platform::delete_file(tmp.file("link"), err));
  EXPECT_TRUE(platform::path_exists(tmp.file("a2.pdf")));  // the link went, not its target
#endif
}

// A copy handed to a viewer goes only while it is as stamped and nobody holds it open
// (here this very process), read-only or not; a changed one, a folder or a link stays.
TEST(Names, OnlyAnUnchangedFileNobodyHoldsIsRemoved) {
  using platform::Removal;
  TempDir tmp;
  Error err;
  const std::string copy = tmp.file("copy.pdf");
  write_file(copy, "12345");
  ASSERT_TRUE(platform::make_read_only(copy, err));
  const auto stamp = platform::stamp_of(copy, err);
  ASSERT_TRUE(stamp);
  EXPECT_EQ(stamp->size, 5u);
  {
    auto viewer = File::open_read(copy, err);
    EXPECT_EQ(platform::remove_unchanged(copy, *stamp, err), Removal::in_use);
  }
  EXPECT_EQ(platform::remove_unchanged(copy, {5, stamp->time + 1}, err), Removal::changed);
  EXPECT_EQ(platform::remove_unchanged(copy, {4, stamp->time}, err), Removal::changed);
  EXPECT_EQ(platform::stamp_of(copy, err), stamp);
  EXPECT_EQ(platform::remove_unchanged(copy, *stamp, err), Removal::removed) << err.message;
  EXPECT_EQ(platform::remove_unchanged(copy, *stamp, err), Removal::gone);

  const std::string folder = tmp.file("mine");
  fs::create_directory(fs_path(folder));
  EXPECT_EQ(platform::remove_unchanged(folder, {}, err), Removal::changed);
  EXPECT_FALSE(platform::stamp_of(folder, err));
  EXPECT_EQ(err.kind, ErrorKind::not_ordinary);
  fs::create_directory(fs_path(tmp.file("open")));
  std::vector<std::string> own = {"mine", "open"};
#ifndef _WIN32
  write_file(tmp.file("target.pdf"), "1");
  fs::create_symlink("target.pdf", tmp.file("link.pdf"));
  const auto target = platform::stamp_of(tmp.file("target.pdf"), err);
  EXPECT_EQ(platform::remove_unchanged(tmp.file("link.pdf"), *target, err), Removal::changed);
  EXPECT_FALSE(platform::stamp_of(tmp.file("link.pdf"), err));
  chmod(folder.c_str(), 0700);
  own = {"mine"};  // "open" is 0755
#endif
  auto listed = platform::list_own_folders(tmp.path(), err).value();
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, own);
  write_file(tmp.file("mine/x"), "");
  EXPECT_FALSE(platform::remove_folder(folder, err));
  fs::remove(fs_path(tmp.file("mine/x")));
  EXPECT_TRUE(platform::remove_folder(folder, err)) << err.message;
}

TEST(Files, PositionsCopiesAndShortSources) {
  TempDir tmp;
  Error err;
  auto out = File::create_new(tmp.file("out"), err);
  // What lies before a write is zeros.
  ASSERT_TRUE(out->write_at(5, "xy", 2, err));
  char buf[8];
  EXPECT_FALSE(out->read_exact_at(5, buf, 3, err));  // only two bytes are there
  out->close();
  EXPECT_EQ(read_file(tmp.file("out")), std::string(5, '\0') + "xy");

  // Large copies are exact, from the same file system (the kernel's copy) and from
  // another (the plain one), and report every byte.
  const std::string data = pattern_bytes((3u << 20) + 123, 7);
  std::vector<std::string> sources = {tmp.file("big")};
#ifdef __linux__
  if (platform::is_folder("/dev/shm"))
    sources.push_back("/dev/shm/tarvello-" + std::to_string(getpid()));
#endif
  for (const auto& path : sources) {
    write_file(path, data);
    auto source = File::open_read(path, err);
    auto copy = File::create_new(path + ".copy", err);
    std::uint64_t told = 0;
    EXPECT_EQ(
        copy->copy_from(*source, 0, data.size(), err, [&](std::uint64_t n) { return told += n; }),
        CopyEnd::done);
    EXPECT_EQ(told, data.size());
    // A source that ends early says so; a progress that says stop stops.
    EXPECT_EQ(copy->copy_from(*source, data.size() - 10, 11, err), CopyEnd::source_ended);
    EXPECT_EQ(copy->copy_from(*source, 0, 10, err, [](std::uint64_t) { return false; }),
              CopyEnd::stopped);
    copy->close();
    source->close();
    EXPECT_EQ(read_file(path + ".copy").substr(0, data.size()), data) << path;
    for (const auto& made : {path, path + ".copy"}) platform::delete_file(made, err);
  }
}

}  // namespace
