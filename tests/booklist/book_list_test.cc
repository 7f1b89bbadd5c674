#include "booklist/book_list.h"

#include <gtest/gtest.h>

namespace {

using booklist::BookList;
using booklist::Entry;

BookList abc(int selected) {
  BookList list;
  list.append({"A", "a"});
  list.append({"B", "b"});
  list.append({"C", "c"});
  list.select(selected);
  return list;
}

std::string titles(const BookList& list) {
  std::string out;
  for (const auto& e : list.entries()) out += e.title + e.path + " ";
  return out;
}

TEST(BookListCommands, MovesSwapNeighboursAndCarryTheSelection) {
  BookList up = abc(1);
  booklist::move_up(up);
  EXPECT_EQ(titles(up), "Bb Aa Cc ");
  EXPECT_EQ(up.selected(), 0);

  BookList down = abc(1);
  booklist::move_down(down);
  EXPECT_EQ(titles(down), "Aa Cc Bb ");
  EXPECT_EQ(down.selected(), 2);

  booklist::move_up(down);  // and back again
  EXPECT_EQ(titles(down), "Aa Bb Cc ");
  EXPECT_EQ(down.selected(), 1);
}

TEST(BookListCommands, MovesAtTheEdgesOrWithoutSelectionChangeNothing) {
  using Command = void (*)(BookList&);
  const std::pair<int, Command> cases[] = {{0, booklist::move_up},
                                           {2, booklist::move_down},
                                           {-1, booklist::move_up},
                                           {-1, booklist::move_down}};
  for (auto [selected, command] : cases) {
    BookList list = abc(selected);
    command(list);
    EXPECT_EQ(titles(list), "Aa Bb Cc ");
    EXPECT_EQ(list.selected(), selected);
  }
  BookList one;
  one.append({"X", "x"});
  one.select(0);
  booklist::move_up(one);
  booklist::move_down(one);
  EXPECT_EQ(titles(one), "Xx ");
  EXPECT_EQ(one.selected(), 0);
}

TEST(BookListCommands, DeleteRemovesTheSelectedEntryAndClearsTheSelection) {
  BookList list = abc(1);
  booklist::delete_selected(list);
  EXPECT_EQ(titles(list), "Aa Cc ");
  EXPECT_EQ(list.selected(), -1);
  booklist::delete_selected(list);  // nothing selected: nothing happens
  EXPECT_EQ(titles(list), "Aa Cc ");

  BookList twins;
  twins.append({"T", "t"});
  twins.append({"T", "t"});
  twins.select(1);
  booklist::delete_selected(twins);
  EXPECT_EQ(titles(twins), "Tt ");

  booklist::clear(twins);
  EXPECT_TRUE(twins.empty());
  EXPECT_EQ(twins.selected(), -1);
}

TEST(BookListCommands, SelectionStaysInRange) {
  BookList list = abc(2);
  list.select(3);
  EXPECT_EQ(list.selected(), -1);
  list.select(2);
  list.remove(0);  // the selected entry moves up with the rest
  EXPECT_EQ(list.selected(), 1);
  EXPECT_EQ(list.at(1).title, "C");
}

TEST(BookList, AppendStopsAtTheCapWithoutBreakingThePairing) {
  BookList list;
  for (int i = 0; i < BookList::kMaxEntries; ++i) {
    ASSERT_TRUE(list.append({"t", "p"}));
  }
  EXPECT_TRUE(list.full());
  EXPECT_FALSE(list.append({"over", "over"}));
  EXPECT_EQ(list.count(), 32767);
  EXPECT_EQ(list.at(list.count() - 1), (Entry{"t", "p"}));
}

}  // namespace
