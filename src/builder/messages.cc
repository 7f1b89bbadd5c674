// The one sentence a person reads when a build stops: what happened, to which file, and
// what to do about it. The windows show it in their message box and the command line
// prints it, so both say the same. The sentences themselves are in builder/texts.h.
#include <string>
#include <string_view>

#include "builder/build.h"
#include "builder/texts.h"
#include "container/format.h"
#include "platform/text.h"

namespace builder {
namespace {

using platform::ErrorKind;
using platform::fill;
using platform::shown;

bool is_pdf_step(Step step) {
  return step == Step::index || step == Step::copy_pdf;
}

// The file a step writes is the e-book being made, whatever its working name.
bool writes_the_book(Step step) {
  return step == Step::write_index || step == Step::read_index || step == Step::open_output ||
         step == Step::write_reader || step == Step::write_pdf || step == Step::write_index_block;
}

std::string folder_of(const std::string& path) {
  const std::string name = platform::base_name(path);
  if (name.size() >= path.size()) return ".";
  return path.substr(0, path.size() - name.size() - 1);
}

// What a person can do about a system error while the book is written.
std::string_view advice(const Failure& f) {
  switch (f.system.kind) {
    case ErrorKind::disk_full:
      return texts::kFreeSpace;
    case ErrorKind::no_permission:
    case ErrorKind::read_only:
      return writes_the_book(f.step) || f.step == Step::rename || f.step == Step::replace
                 ? texts::kWritableFolder
                 : texts::kCheckPermission;
    case ErrorKind::name_too_long:
      return texts::kShorterName;
    default:
      return "";
  }
}

std::string system_failure(const Failure& f) {
  const std::string file = platform::quoted(f.file);
  std::string what;
  if (is_pdf_step(f.step)) {
    what = fill(texts::kCannotReadPdf, {file});
  } else if (f.step == Step::read_reader) {
    what = fill(texts::kCannotReadReader, {file});
  } else if ((f.step == Step::open_output || f.step == Step::write_index) &&
             (f.system.kind == ErrorKind::no_permission || f.system.kind == ErrorKind::read_only ||
              f.system.kind == ErrorKind::not_found)) {
    // Nothing could be created there at all: the folder is the trouble, not the file (a
    // new file is missing only when its folder is).
    what = fill(texts::kCannotWriteInFolder, {platform::quoted(folder_of(f.file))});
  } else if (writes_the_book(f.step)) {
    what = fill(texts::kCannotWriteBook, {file});
  } else if (f.step == Step::replace) {
    what = fill(texts::kCannotReplace, {file});
  } else {
    what = fill(texts::kCannotRename, {file});
  }
  return fill(texts::kSystemFailure, {what, platform::describe(f.system), advice(f)});
}

}  // namespace

std::string message(const Failure& f) {
  const std::string file = platform::quoted(f.file);
  const bool reader = f.step == Step::read_reader;
  switch (f.cause) {
    case Cause::none:
      return "";
    case Cause::need_name:
      return std::string(texts::kNeedName);
    case Cause::no_files:
      return std::string(texts::kNoFiles);
    case Cause::too_many_files:
      return fill(texts::kTooManyFiles, {std::to_string(container::kMaxEntries)});
    case Cause::invalid_name:
      return fill(texts::kInvalidName, {file, f.detail});
    case Cause::file_in_the_way:
      return fill(texts::kFileInTheWay, {file});
    case Cause::not_an_ebook:
      return fill(texts::kNotAnEbook, {file});
    case Cause::missing:
      // The reader asked back is the one missing: this system's books.ini, the other
      // system's reader, or whichever file was named for it.
      return reader ? fill(texts::kReaderMissing, {file, shown(platform::base_name(f.file))})
                    : fill(texts::kPdfMissing, {file});
    case Cause::not_ordinary:
      return fill(reader ? texts::kReaderNotOrdinary : texts::kPdfNotOrdinary, {file});
    case Cause::empty:
      return fill(reader ? texts::kReaderEmpty : texts::kPdfEmpty, {file});
    case Cause::reader_too_large:
      return fill(texts::kReaderTooLarge, {file, std::to_string(container::kMaxReaderSize)});
    case Cause::too_large:
      return std::string(texts::kBookTooLarge);
    case Cause::size_changed:
      return fill(texts::kSizeChanged, {file});
    case Cause::book_changed:
      return fill(texts::kBookChanged, {file});
    case Cause::no_code_page:
      return std::string(texts::kNoCodePage);
    case Cause::cancelled:
      return std::string(texts::kCancelled);
    case Cause::system:
      return system_failure(f);
  }
  return "";
}

}  // namespace builder
