#include "booklist/names.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;
using testing_support::write_file;

TEST(TitleRule, EveryPdfGoesWhateverItsCase) {
  EXPECT_EQ(booklist::title_from_file_name("Report.pdf"), "Report");
  EXPECT_EQ(booklist::title_from_file_name("SCAN.PDF"), "SCAN");
  EXPECT_EQ(booklist::title_from_file_name("my.pdfs.pdf"), "mys");
  EXPECT_EQ(booklist::title_from_file_name("a.pdf.pdf"), "a");
  EXPECT_EQ(booklist::title_from_file_name(".pdf"), "");
  EXPECT_EQ(booklist::title_from_file_name("x.PdF"), "x");
  EXPECT_EQ(booklist::title_from_file_name("第 一 章.pdf"), "第 一 章");
  // Removing one ".pdf" may join the pieces around it into another: it stays.
  EXPECT_EQ(booklist::title_from_file_name(".p.pdfdf"), ".pdf");
}

TEST(AcceptedFile, OnlyTheTwoExactEndingsPass) {
  EXPECT_TRUE(booklist::is_accepted_file("C:\\Docs\\Report.pdf"));
  EXPECT_TRUE(booklist::is_accepted_file("/d/SCAN.PDF"));
  EXPECT_FALSE(booklist::is_accepted_file("/d/Notes.Pdf"));
  EXPECT_FALSE(booklist::is_accepted_file("/d/readme.txt"));
  EXPECT_FALSE(booklist::is_accepted_file("pdf"));
  EXPECT_TRUE(booklist::matches_pdf_pattern("Notes.Pdf"));
  EXPECT_FALSE(booklist::matches_pdf_pattern("pdf"));
  EXPECT_FALSE(booklist::matches_pdf_pattern("a.pdf.txt"));
}

TEST(Blank, SpacesAndIdeographicSpacesOnly) {
  EXPECT_TRUE(booklist::is_blank(""));
  EXPECT_TRUE(booklist::is_blank("   "));
  EXPECT_TRUE(booklist::is_blank(" \u3000 "));
  EXPECT_FALSE(booklist::is_blank(" a "));
  EXPECT_FALSE(booklist::is_blank("\t"));
  EXPECT_EQ(booklist::trim_spaces("  C:\\a b.pdf "), "C:\\a b.pdf");
  EXPECT_EQ(booklist::trim_spaces("   "), "");
}

TEST(FolderListing, OrdinaryPdfsOnlyInOneFixedOrder) {
  TempDir dir;
  std::vector<std::string> expected = {"A.pdf",       "a.pdf",     "b.PDF",
                                       "my.pdfs.pdf", "Notes.Pdf", "书.pdf"};
#ifdef _WIN32
  expected.erase(expected.begin() + 1);  // one folder cannot hold both A.pdf and a.pdf here
#else
  write_file(dir.file(".hidden.pdf"), "%PDF");
#endif
  for (const auto& name : expected) write_file(dir.file(name), "%PDF");
  write_file(dir.file("notes.txt"), "text");
  std::u8string sub = u8"sub.pdf";
  std::filesystem::create_directory(std::filesystem::path(dir.path()) / sub);
  write_file(platform::join(dir.file("sub.pdf"), "inner.pdf"), "%PDF");

  auto names = booklist::list_pdf_names(dir.path());
  ASSERT_TRUE(names);
  EXPECT_EQ(*names, expected);
  EXPECT_EQ(booklist::list_pdf_names(dir.path()), names);  // the same on every run
  EXPECT_FALSE(booklist::list_pdf_names(dir.file("missing")));
}

TEST(FolderListing, EntryPathsJoinAsTheyAre) {
  std::string sep(1, platform::separator());
  EXPECT_EQ(booklist::folder_entry_path("D" + sep + "Books", "A.pdf"),
            "D" + sep + "Books" + sep + "A.pdf");
  // A root keeps its own separator: two in a row.
  EXPECT_EQ(booklist::folder_entry_path("E:" + sep, "x.pdf"), "E:" + sep + sep + "x.pdf");
}

}  // namespace
