#include "builder/input.h"

#include <memory>
#include <utility>

#include "booklist/names.h"
#include "container/format.h"
#include "platform/file.h"

namespace builder {
namespace {

Input folder_input(const std::string& path) {
  Input out;
  auto entries = booklist::folder_entries(path);
  out.kind = !entries           ? Input::Kind::unlisted_folder
             : entries->empty() ? Input::Kind::empty_folder
                                : Input::Kind::folder;
  if (entries) out.entries = std::move(*entries);
  return out;
}

std::vector<booklist::Entry> chapters(const std::string& path, container::Book& book) {
  auto stamp = std::make_shared<booklist::BookStamp>(
      booklist::BookStamp{book.file_size, book.index_offset, std::move(book.index_block)});
  std::vector<booklist::Entry> out;
  for (auto& entry : book.entries)
    out.push_back({std::move(entry.title), path, entry.offset(), entry.length, stamp});
  return out;
}

bool takes_pdf(const std::string& path, PdfNames rule) {
  return rule == PdfNames::dialog ? booklist::is_accepted_file(path)
                                  : booklist::matches_pdf_pattern(platform::base_name(path));
}

}  // namespace

Input read_input(const std::string& path, PdfNames rule) {
  if (platform::is_folder(path)) return folder_input(path);
  Input out;
  container::ReadResult read = container::read_book(path);
  switch (read.verdict()) {
    case container::Verdict::book:
      out.kind = Input::Kind::book;
      out.entries = chapters(path, *read.book);
      break;
    case container::Verdict::damaged:
    case container::Verdict::unreadable:
      out.kind = Input::Kind::damaged_book;
      out.message = container::unreadable(path, read);
      break;
    case container::Verdict::no_book:
      if (takes_pdf(path, rule)) {
        out.kind = Input::Kind::pdf;
        out.entries.push_back({booklist::title_from_file_name(platform::base_name(path)), path});
      }
      break;
  }
  return out;
}

}  // namespace builder
