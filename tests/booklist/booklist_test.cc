#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "booklist/book_list.h"
#include "booklist/names.h"

namespace {

using booklist::BookList;

// Titles and paths after each command, with the selection marked by '*'.
std::string shown(const BookList& list) {
  std::string out;
  for (int i = 0; i < list.count(); ++i) {
    out += (i == list.selected() ? "*" : "") + list.at(i).title + list.at(i).path + " ";
  }
  return out;
}

TEST(BookList, CommandsKeepTitlesAndPathsPairedAndTheSelectionRight) {
  struct Row {
    const char* name;
    void (*command)(BookList&);
    int selected;
    const char* after;
  };
  const Row rows[] = {
      {"up from the middle", booklist::move_up, 1, "*Bb Aa Cc "},
      {"down from the middle", booklist::move_down, 1, "Aa Cc *Bb "},
      {"up from the top", booklist::move_up, 0, "*Aa Bb Cc "},
      {"down from the bottom", booklist::move_down, 2, "Aa Bb *Cc "},
      {"up with nothing selected", booklist::move_up, -1, "Aa Bb Cc "},
      {"down with nothing selected", booklist::move_down, -1, "Aa Bb Cc "},
      {"delete the middle", booklist::delete_selected, 1, "Aa Cc "},
      {"delete with nothing selected", booklist::delete_selected, -1, "Aa Bb Cc "},
      {"clear", booklist::clear, 1, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    BookList list;
    for (const char* t : {"A", "B", "C"})
      list.append({t, std::string(1, static_cast<char>(t[0] + 32))});
    list.select(row.selected);
    row.command(list);
    EXPECT_EQ(shown(list), row.after);
  }
  // The list stops at its cap, refusing title and path together.
  BookList full;
  for (int i = 0; i < BookList::kMaxEntries; ++i) ASSERT_TRUE(full.append({"t", "p"}));
  EXPECT_FALSE(full.append({"one", "more"}));
  EXPECT_EQ(full.count(), BookList::kMaxEntries);
}

TEST(Names, TitleAcceptedFileAndBlankRules) {
  const std::pair<const char*, const char*> titles[] = {
      {"Report.pdf", "Report"}, {"SCAN.PDF", "SCAN"}, {"my.pdfs.pdf", "mys"},
      {"a.pdf.pdf", "a"},       {".pdf", ""},         {"x.PdF", "x"},
      {".p.pdfdf", ".pdf"},  // no second pass
  };
  for (const auto& [name, title] : titles)
    EXPECT_EQ(booklist::title_from_file_name(name), title) << name;
  EXPECT_FALSE(booklist::matches_pdf_pattern("a.pdf.txt"));
  EXPECT_TRUE(booklist::is_blank(" \u3000 "));
  EXPECT_FALSE(booklist::is_blank("\t"));
  EXPECT_EQ(booklist::trim_spaces("  C:\\a b.pdf "), "C:\\a b.pdf");
}

// Each row lists names in the order a reader expects them.
TEST(Names, NaturalOrder) {
  const std::vector<std::vector<std::string>> rows = {
      {"第1讲", "第2讲", "第11讲"},
      {"第一章", "第二章", "第三章", "第七章", "第九章", "第十章", "第十一章", "第二十章",
       "第九十九章", "第一百章", "第一百零五章"},
      {"1.2", "1.10", "1.10.1", "2"},
      {"附录", "附录A", "附录b", "附录C"},
      {"第2章", "第二章", "第３章"},  // the same value in two forms, full-width digits too
      {"二〇二二年", "二〇二三年"},
      {"007", "7", "8"},
      {"Apple", "apple", "Banana"},  // case ignored, then the bytes decide
      {"a", "b", "书", "本"},        // nothing numeric: one fixed order all the same
  };
  for (const auto& row : rows) {
    for (std::size_t i = 0; i + 1 < row.size(); ++i) {
      EXPECT_TRUE(booklist::natural_less(row[i], row[i + 1])) << row[i] << " < " << row[i + 1];
      EXPECT_FALSE(booklist::natural_less(row[i + 1], row[i])) << row[i + 1] << " > " << row[i];
    }
  }
}

}  // namespace
