// What a path given to a book list brings in: the one answer the window's drop and the
// command line's pack both act on, each with its own policy for what stays out.
#pragma once

#include <string>
#include <vector>

#include "booklist/book_list.h"

namespace builder {

// Which file names count as PDFs besides the folders' and the e-books' own. Two rules on
// purpose (booklist/names.h says why).
enum class PdfNames {
  dialog,   // ".pdf" or ".PDF", as the open-file dialog takes them: the window's
  pattern,  // ".pdf" in any case, as a folder's listing takes them: the command line's
};

struct Input {
  enum class Kind {
    folder,           // a folder: its PDFs, in folder order
    empty_folder,     // a folder without a PDF
    unlisted_folder,  // a folder that cannot be listed
    book,             // an e-book, by its content whatever its name: its chapters
    damaged_book,     // a damaged e-book, or a file the disk fails to read: `message`
    pdf,              // any other file whose name the rule takes: one PDF
    not_taken,        // neither an e-book nor, by its name, a PDF
  };
  Kind kind = Kind::not_taken;
  std::vector<booklist::Entry> entries;  // for folder, book and pdf
  std::string message;                   // for damaged_book: the readers' sentence
};

// A folder first, then an e-book by its content, then a PDF by its name under `rule`.
// A book's chapters are ranges of its bytes, stamped so a build can tell whether the book
// changed since.
Input read_input(const std::string& path, PdfNames rule);

}  // namespace builder
