// The book list: ordered (title, source) entries with at most one selected entry.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace booklist {

// An e-book as it was when its chapters were added: a build copies from it only while it
// still has this size and this index block, so a book changed meanwhile is never mixed in.
struct BookStamp {
  std::uint64_t size = 0;  // the whole file, a signature included
  std::uint64_t index_offset = 0;
  std::string index_block;  // the index bytes as read
};

struct Entry {
  Entry() = default;
  // A whole PDF file.
  Entry(std::string title_, std::string path_) : title(std::move(title_)), path(std::move(path_)) {}
  // A chapter of the e-book at `path_`.
  Entry(std::string title_, std::string path_, std::uint64_t offset_, std::uint64_t length_,
        std::shared_ptr<const BookStamp> book_)
      : title(std::move(title_)),
        path(std::move(path_)),
        offset(offset_),
        length(length_),
        book(std::move(book_)) {}

  std::string title;  // what the user sees and the index names, UTF-8
  std::string path;   // the PDF's full path, or the e-book's that holds it, UTF-8
  // A chapter of an e-book: its bytes lie at `offset` in the book, `length` long. The
  // stamp is shared by all the chapters of one book. None for a whole PDF file.
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  std::shared_ptr<const BookStamp> book;
  bool operator==(const Entry&) const = default;
};

class BookList {
 public:
  // Positions are signed 16-bit in the window's lists, and an e-book holds no more (the
  // builder holds the two limits together).
  static constexpr int kMaxEntries = 32767;

  int count() const { return static_cast<int>(entries_.size()); }
  const Entry& at(int i) const { return entries_[static_cast<std::size_t>(i)]; }
  const std::vector<Entry>& entries() const { return entries_; }

  // Appends at the end; refuses (returns false, nothing changed) once the list is full.
  bool append(Entry entry);
  bool full() const { return count() >= kMaxEntries; }

  // -1 for no selection. select() takes -1 or a valid position; anything else clears.
  int selected() const { return selected_; }
  void select(int position);

  // Puts `entry` in the place of the one at `position`, which must be valid.
  void replace(int position, Entry entry);
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
