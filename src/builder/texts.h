// Everything a build says when it stops: messages.cc picks the sentence for each cause
// and step. Each "{}" is filled in turn (platform::fill); files come quoted.
#pragma once

#include <string_view>

namespace builder::texts {

inline constexpr std::string_view kNeedName = "请首先输入书名";
inline constexpr std::string_view kNoFiles = "请首先添加文件";
// "{}": container::kMaxEntries.
inline constexpr std::string_view kTooManyFiles =
    "无法生成电子书：一本电子书最多容纳 {} 个 PDF 文件。";
// "{}": the book name, then one of the name problems below.
inline constexpr std::string_view kInvalidName = "书名{}不能用作文件名：{}。请修改书名。";
inline constexpr std::string_view kFileInTheWay =
    "{}已存在，但不是本程序留下的文件。为免改动它，没有生成电子书；请把它移走或改名后重试。";
inline constexpr std::string_view kNotAnEbook =
    "{}已存在，但不是电子书。为免改动它，没有生成电子书；请换一个书名，或把它移走。";
// "{}": the reader as given, then its file name alone.
inline constexpr std::string_view kReaderMissing =
    "找不到阅读器文件{}。请把 {} 放回程序所在的文件夹。";
inline constexpr std::string_view kPdfMissing =
    "找不到 PDF 文件{}，它可能已被移动、改名或删除。请把它从列表中删除后重新添加。";
inline constexpr std::string_view kReaderNotOrdinary =
    "阅读器文件{}不是普通文件（而是文件夹或设备），不能放进电子书。";
inline constexpr std::string_view kPdfNotOrdinary =
    "PDF 文件{}不是普通文件（而是文件夹或设备），不能放进电子书。";
inline constexpr std::string_view kReaderEmpty = "阅读器文件{}是空的，请重新下载本软件。";
inline constexpr std::string_view kPdfEmpty =
    "PDF 文件{}是空的（0 字节），不能放进电子书。请把它从列表中删除。";
// "{}": the reader, then container::kMaxReaderSize.
inline constexpr std::string_view kReaderTooLarge =
    "阅读器文件{}超过 {} 字节，放不进电子书的开头。请重新下载本软件。";
inline constexpr std::string_view kBookTooLarge = "由于文件太大，无法生成电子书！";
inline constexpr std::string_view kSizeChanged = "PDF 文件{}在生成期间被改动了，请稍后重试。";
// A sentence stays whole, so that one search finds it.
// clang-format off
inline constexpr std::string_view kBookChanged =
    "电子书{}在加入列表之后被移动、改动或损坏了，没有生成电子书。请把它的章节从列表中删除后重新加入。";
// clang-format on
inline constexpr std::string_view kNoCodePage =
    "系统缺少 GBK（代码页 936）的转换表，无法写出电子书的目录。";
inline constexpr std::string_view kCancelled = "已停止生成电子书，没有留下任何文件。";

// When the system refused: what could not be done, the system's reason, then the advice
// (or nothing).
inline constexpr std::string_view kSystemFailure = "{}：{}。{}";
inline constexpr std::string_view kCannotReadPdf = "无法读取 PDF 文件{}";
inline constexpr std::string_view kCannotReadReader = "无法读取阅读器文件{}";
inline constexpr std::string_view kCannotWriteInFolder = "无法在文件夹{}中写入文件";
inline constexpr std::string_view kCannotWriteBook = "无法写入正在生成的电子书{}";
inline constexpr std::string_view kCannotReplace = "无法用新的电子书替换{}（原来的电子书没有改动）";
inline constexpr std::string_view kCannotRename = "无法把生成的电子书改名为{}";
inline constexpr std::string_view kFreeSpace = "请腾出磁盘空间后重试。";
inline constexpr std::string_view kWritableFolder =
    "请把程序放到可以写入的文件夹中，或换一个文件夹。";
inline constexpr std::string_view kCheckPermission = "请检查这个文件的权限。";
inline constexpr std::string_view kShorterName =
    "请换一个短一些的书名，或把程序放到路径短一些的文件夹中。";

// What is wrong with a book name (book_name_problem).
inline constexpr std::string_view kNameIsDots = "不能是“.”或“..”";
// "{}": the most bytes a book name may have.
inline constexpr std::string_view kNameTooLong = "太长，最多 {} 字节";
inline constexpr std::string_view kNameNotUtf8 = "含有无效的字符";
// "{}": the characters, each once, apart by spaces.
inline constexpr std::string_view kNameHasUnsafe = "不能含有这些字符：{}";
inline constexpr std::string_view kNameIsDevice =
    "不能是 Windows 保留的设备名（CON、NUL、COM1 之类）";

}  // namespace builder::texts
