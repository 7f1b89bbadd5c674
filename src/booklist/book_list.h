// The book list: ordered (title, path) entries with at most one selected entry.
#pragma once

#include <string>
#include <vector>

namespace booklist {

struct Entry {
  std::string title;  // what the user sees and the index names, UTF-8
  std::string path;   // the PDF's full path, UTF-8
  bool operator==(const Entry&) const = default;
};

class BookList {
 public:
  // Positions are signed 16-bit in the window's lists, and an e-book holds no more (the
  // builder holds the two limits together).
  static constexpr int kMaxEntries = 32767;

  int count() const { return static_cast<int>(entries_.size()); }
  bool empty() const { return entries_.empty(); }
  const Entry& at(int i) const { return entries_[static_cast<std::size_t>(i)]; }
  const std::vector<Entry>& entries() const { return entries_; }

  // Appends at the end; refuses (returns false, nothing changed) once the list is full.
  bool append(Entry entry);
  bool full() const { return count() >= kMaxEntries; }

  // -1 for no selection. select() takes -1 or a valid position; anything else clears.
  int selected() const { return selected_; }
  void select(int position);

  void remove(int position);
  void clear();
  void swap(int a, int b);

 private:
  std::vector<Entry> entries_;
  int selected_ = -1;
};

// The four editing commands of the window.
void delete_selected(BookList& list);
void clear(BookList& list);
void move_up(BookList& list);
void move_down(BookList& list);

}  // namespace booklist
