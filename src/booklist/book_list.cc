#include "booklist/book_list.h"

#include <utility>

namespace booklist {

bool BookList::append(Entry entry) {
  // Title and path travel as one entry, so a full list refuses both together.
  if (full()) return false;
  entries_.push_back(std::move(entry));
  return true;
}

void BookList::select(int position) {
  selected_ = (position >= 0 && position < count()) ? position : -1;
}

void BookList::replace(int position, Entry entry) {
  entries_[static_cast<std::size_t>(position)] = std::move(entry);
}

void BookList::remove(int position) {
  if (position < 0 || position >= count()) return;
  entries_.erase(entries_.begin() + position);
  if (selected_ == position) {
    selected_ = -1;
  } else if (selected_ > position) {
    --selected_;
  }
}

void BookList::clear() {
  entries_.clear();
  selected_ = -1;
}

void BookList::swap(int a, int b) {
  if (a < 0 || b < 0 || a >= count() || b >= count()) return;
  std::swap(entries_[static_cast<std::size_t>(a)], entries_[static_cast<std::size_t>(b)]);
}

void delete_selected(BookList& list) {
  int p = list.selected();
  if (p < 0) return;
  list.remove(p);
  list.select(-1);
}

void clear(BookList& list) {
  list.clear();
}

void move_up(BookList& list) {
  int p = list.selected();
  if (p <= 0) return;
  list.swap(p - 1, p);
  list.select(p - 1);
}

void move_down(BookList& list) {
  int p = list.selected();
  if (p < 0 || p >= list.count() - 1) return;
  list.swap(p, p + 1);
  list.select(p + 1);
}

}  // namespace booklist
