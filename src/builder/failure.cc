// The sentences that tell a command-line user why a build or a read stopped. The window
// shows one fixed message instead; these carry the details.
#include <string>

#include "builder/build.h"
#include "builder/container.h"

namespace builder {
namespace {

std::string quoted(const std::string& file) {
  return "“" + file + "”";
}

// What the build was doing, with the file it was doing it to.
std::string action(Step step, const std::string& file) {
  switch (step) {
    case Step::check_name:
      return "书名" + quoted(file) + "无法使用";
    case Step::clean_up:
      return "无法替换" + quoted(file);
    case Step::index:
    case Step::copy_pdf:
      return "无法读取 PDF 文件" + quoted(file);
    case Step::write_index:
      return "无法写入临时索引文件" + quoted(file);
    case Step::read_index:
      return "无法读回临时索引文件" + quoted(file);
    case Step::read_stub:
      return "无法读取阅读器文件" + quoted(file);
    case Step::open_output:
      return "无法创建工作文件" + quoted(file);
    case Step::write_stub:
    case Step::write_index_block:
      return "无法写入工作文件" + quoted(file);
    case Step::replace:
      return "无法删除旧的电子书" + quoted(file);
    case Step::rename:
      return "无法把工作文件改名为" + quoted(file);
  }
  return "无法生成电子书";
}

std::string reason(Cause cause) {
  switch (cause) {
    case Cause::none:
      return "";
    case Cause::invalid_name:
      return "书名不能作为文件名（不能为空，不能含有 / \\ : * ? \" < > | 或控制字符，"
             "也不能是 CON、NUL、COM1 之类的设备名）";
    case Cause::file_in_the_way:
      return "该位置已有同名文件，未作任何改动";
    case Cause::not_an_ebook:
      return "该文件不是电子书，未作任何改动";
    case Cause::missing:
      return "文件不存在或不是普通文件";
    case Cause::empty:
      return "文件为空";
    case Cause::stub_too_large:
      return "文件超过 589999 字节，放不进电子书的开头";
    case Cause::too_large:
      return "生成的电子书将超过 2147483647 字节";
    case Cause::size_changed:
      return "文件在生成期间被改动";
    case Cause::no_files:
      return "没有要放入电子书的文件";
    case Cause::too_many_files:
      return "一本电子书最多容纳 " + std::to_string(kMaxEntries) + " 个 PDF 文件";
    case Cause::system:
      return "";
  }
  return "";
}

std::string line_of(const ReadResult& result) {
  return result.line ? "索引第 " + std::to_string(result.line) + " 行" : std::string("索引");
}

}  // namespace

std::string describe(const Failure& failure) {
  if (failure.cause == Cause::none) return "";
  if (failure.cause == Cause::no_files || failure.cause == Cause::too_many_files)
    return "无法生成电子书：" + reason(failure.cause);
  std::string text = action(failure.step, failure.file) + "：";
  std::string why = reason(failure.cause);
  const std::string& system = failure.system.message;
  if (why.empty()) {
    text += system.empty() ? "系统拒绝了这一操作" : system;
  } else {
    text += why;
    if (!system.empty()) text += "（" + system + "）";
  }
  return text;
}

std::string describe(const ReadResult& result) {
  switch (result.error) {
    case ReadError::none:
      return "结构完整";
    case ReadError::too_small:
      return "文件太短，不是电子书";
    case ReadError::io:
      return "无法读取文件" +
             (result.system.message.empty() ? std::string() : "：" + result.system.message);
    case ReadError::bad_trailer:
      return "文件末尾记录的索引长度无效，不是电子书或已损坏";
    case ReadError::index_too_large:
      return "文件末尾记录的索引长度过大";
    case ReadError::index_not_cp936:
      return "索引不是有效的 GBK 文本";
    case ReadError::no_name_line:
      return "索引缺少以回车换行结尾的书名行";
    case ReadError::bad_line:
      return line_of(result) + "格式错误";
    case ReadError::number_overflow:
      return line_of(result) + "的数字超过 2147483647";
    case ReadError::no_entries:
      return "索引中没有任何文件";
    case ReadError::entry_outside:
      return line_of(result) + "所指的文件超出了内容区";
    case ReadError::not_contiguous:
      return line_of(result) + "所指的文件与前后文件不相接";
    case ReadError::too_many_entries:
      return "索引中的文件超过 32767 个";
  }
  return "文件已损坏";
}

}  // namespace builder
