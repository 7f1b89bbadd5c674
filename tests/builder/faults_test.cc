// Every file-system call of a build, and of taking PDFs out of a book, fails once in
// turn, as a user's disk could fail: nothing is ever lost or left behind, every file is
// closed again, and the message names the file that failed.
#include <gtest/gtest.h>

#include <functional>

#include "builder/build.h"
#include "container/extract.h"
#include "platform/faults.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace {

using platform::faults::Fault;
using testing_support::listing;
using testing_support::open_descriptors;
using testing_support::pattern_bytes;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

// Runs `attempt` with the 1st, 2nd, 3rd … call failing, until a run meets no armed call;
// `check` judges each run, told the file the failed call was about. Returns how many
// calls could fail.
int each_call_fails(Fault fault, const std::function<bool()>& attempt,
                    const std::function<void(bool ok, const std::string& file)>& check) {
  for (int n = 1;; ++n) {
    const long descriptors = open_descriptors();
    platform::faults::arm(static_cast<std::uint64_t>(n), fault);
    const bool ok = attempt();
    const bool fired = platform::faults::fired();
    const std::string file = platform::faults::fired_path();
    platform::faults::disarm();
    EXPECT_EQ(open_descriptors(), descriptors) << "call " << n;
    check(ok, file);
    if (!fired) return n - 1;
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "with call " << n << " failing";
      return n;
    }
  }
}

TEST(Faults, NoFailedCallLosesABookOrLeavesAFile) {
  for (Fault fault : {Fault::disk_full, Fault::io, Fault::no_permission}) {
    for (bool rebuild : {false, true}) {
      SCOPED_TRACE(rebuild ? "rebuild" : "first build");
      TempDir in, out;
      write_file(in.file("books.ini"), "reader");
      write_file(in.file("a.pdf"), pattern_bytes(3000, 1));
      write_file(in.file("b.pdf"), pattern_bytes(5, 2));
      builder::BuildRequest request{"书",       {{"a", in.file("a.pdf")}, {"b", in.file("b.pdf")}},
                                    out.path(), in.file("books.ini"),
                                    {},         nullptr};
      ASSERT_TRUE(builder::write_ebook(request).ok);
      const std::string book = read_file(out.file("书.exe"));
      if (rebuild) {
        write_file(in.file("b.pdf"), pattern_bytes(7, 3));
      } else {
        platform::Error ignored;
        platform::delete_file(out.file("书.exe"), ignored);
      }
      const std::string before = listing(out.path());
      builder::BuildResult result;
      const int calls = each_call_fails(
          fault, [&] { return (result = builder::write_ebook(request)).ok; },
          [&](bool ok, const std::string& file) {
            if (ok) {
              // Built in spite of it (the failed call did not matter): whole and right.
              EXPECT_EQ(listing(out.path()), "书.exe");
              auto back = container::read_book(out.file("书.exe"));
              EXPECT_EQ(back.error, container::ReadError::none);
              EXPECT_EQ(back.book->entries.back().length, rebuild ? 7u : 5u);
              // As it was for the next run.
              platform::Error ignored;
              platform::delete_file(out.file("书.exe"), ignored);
              if (rebuild) write_file(out.file("书.exe"), book);
            } else {
              EXPECT_EQ(listing(out.path()), before);
              if (rebuild) {
                EXPECT_EQ(read_file(out.file("书.exe")), book);
              }
              const std::string said = builder::message(result.failure);
              // The file, or for a folder that refuses new files, the folder.
              const bool names_it = said.find(platform::quoted(file)) != std::string::npos ||
                                    said.find(platform::quoted(out.path())) != std::string::npos;
              EXPECT_TRUE(names_it) << said << " (" << file << ")";
            }
          });
      EXPECT_GT(calls, 30);
    }
  }
}

TEST(Faults, TakingPdfsOutLeavesNoPartOfOne) {
  TempDir dir, out;
  write_file(dir.file("book.exe"),
             testing_support::forge_book("书", {{"a", pattern_bytes(3u << 20, 1)}, {"b", "b"}}));
  write_file(out.file("mine.pdf"), "the user's");
  platform::Error err;
  auto file = platform::File::open_read(dir.file("book.exe"), err);
  auto info = container::read_book(*file).book.value();
  std::vector<std::string> written;
  container::ExtractFailure failure;
  const int calls = each_call_fails(
      Fault::io,
      [&] { return !(failure = container::extract_all(*file, info, out.path(), written)); },
      [&](bool ok, const std::string& failed_file) {
        if (ok) {
          EXPECT_EQ(listing(out.path()), "001-a.pdf 002-b.pdf mine.pdf");
          for (const auto& made : written) platform::delete_file(made, err);
        } else {
          EXPECT_EQ(listing(out.path()), "mine.pdf");
          EXPECT_NE(container::describe(failure).find(platform::quoted(failed_file)),
                    std::string::npos)
              << container::describe(failure);
        }
        EXPECT_EQ(read_file(out.file("mine.pdf")), "the user's");
      });
  EXPECT_GT(calls, 5);
}

}  // namespace
