// The one sentence a person reads when a build stops: what happened, to which file, and
// what to do about it. The windows show it in their message box and the command line
// prints it, so both say the same.
#include <string>

#include "builder/build.h"
#include "container/format.h"
#include "platform/text.h"

namespace builder {
namespace {

using platform::ErrorKind;

bool is_pdf_step(Step step) {
  return step == Step::index || step == Step::copy_pdf;
}

// The file a step writes is the e-book being made, whatever its working name.
bool writes_the_book(Step step) {
  return step == Step::write_index || step == Step::read_index || step == Step::open_output ||
         step == Step::write_stub || step == Step::write_pdf || step == Step::write_index_block;
}

std::string folder_of(const std::string& path) {
  const std::string name = platform::base_name(path);
  if (name.size() >= path.size()) return ".";
  return path.substr(0, path.size() - name.size() - 1);
}

// What a person can do about a system error while the book is written.
std::string advice(const Failure& f) {
  switch (f.system.kind) {
    case ErrorKind::disk_full:
      return "请腾出磁盘空间后重试。";
    case ErrorKind::no_permission:
    case ErrorKind::read_only:
      return writes_the_book(f.step) || f.step == Step::rename || f.step == Step::replace
                 ? "请把程序放到可以写入的文件夹中，或换一个文件夹。"
                 : "请检查这个文件的权限。";
    case ErrorKind::name_too_long:
      return "请换一个短一些的书名，或把程序放到路径短一些的文件夹中。";
    default:
      return "";
  }
}

std::string system_failure(const Failure& f) {
  const std::string file = platform::quoted(f.file);
  const std::string why = platform::describe(f.system);
  std::string what;
  if (is_pdf_step(f.step)) {
    what = "无法读取 PDF 文件" + file;
  } else if (f.step == Step::read_stub) {
    what = "无法读取阅读器文件" + file;
  } else if ((f.step == Step::open_output || f.step == Step::write_index) &&
             (f.system.kind == ErrorKind::no_permission || f.system.kind == ErrorKind::read_only)) {
    // Nothing could be created there at all: the folder is the trouble, not the file.
    what = "无法在文件夹" + platform::quoted(folder_of(f.file)) + "中写入文件";
  } else if (writes_the_book(f.step)) {
    what = "无法写入正在生成的电子书" + file;
  } else if (f.step == Step::replace) {
    what = "无法用新的电子书替换" + file + "（原来的电子书没有改动）";
  } else {
    what = "无法把生成的电子书改名为" + file;
  }
  return what + "：" + why + "。" + advice(f);
}

}  // namespace

std::string message(const Failure& f) {
  const std::string file = platform::quoted(f.file);
  const bool stub = f.step == Step::read_stub;
  switch (f.cause) {
    case Cause::none:
      return "";
    case Cause::need_name:
      return "请首先输入书名";
    case Cause::no_files:
      return "请首先添加文件";
    case Cause::too_many_files:
      return "无法生成电子书：一本电子书最多容纳 " + std::to_string(container::kMaxEntries) +
             " 个 PDF 文件。";
    case Cause::invalid_name:
      return "书名" + file + "不能用作文件名：" + f.detail + "。请修改书名。";
    case Cause::file_in_the_way:
      return file +
             "已存在，但不是本程序留下的文件。为免改动它，没有生成电子书；请把它移走或改名后重试。";
    case Cause::not_an_ebook:
      return file + "已存在，但不是电子书。为免改动它，没有生成电子书；请换一个书名，或把它移走。";
    case Cause::missing:
      return stub ? "找不到阅读器文件" + file + "。请把 books.ini 放回程序所在的文件夹。"
                  : "找不到 PDF 文件" + file +
                        "，它可能已被移动、改名或删除。请把它从列表中删除后重新添加。";
    case Cause::not_ordinary:
      return (stub ? "阅读器文件" : "PDF 文件") + file +
             "不是普通文件（而是文件夹或设备），不能放进电子书。";
    case Cause::empty:
      return stub ? "阅读器文件" + file + "是空的，请重新下载本软件。"
                  : "PDF 文件" + file + "是空的（0 字节），不能放进电子书。请把它从列表中删除。";
    case Cause::stub_too_large:
      return "阅读器文件" + file + "超过 " + std::to_string(container::kMaxStubSize) +
             " 字节，放不进电子书的开头。请重新下载本软件。";
    case Cause::too_large:
      return "由于文件太大，无法生成电子书！";
    case Cause::size_changed:
      return "PDF 文件" + file + "在生成期间被改动了，请稍后重试。";
    case Cause::book_changed:
      return "电子书" + file + "在加入列表之后被移动、改动或损坏了，没有生成电子书。请把它的章节从列表中删除后重新加入。";
    case Cause::no_code_page:
      return "系统缺少 GBK（代码页 936）的转换表，无法写出电子书的目录。";
    case Cause::cancelled:
      return "已停止生成电子书，没有留下任何文件。";
    case Cause::system:
      return system_failure(f);
  }
  return "";
}

}  // namespace builder
