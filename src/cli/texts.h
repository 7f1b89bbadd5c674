// Everything tarvello-cli says of its own: its help, what is wrong with a command line,
// and the failures it finds before a build or a read starts. The build's, the book's and
// the system's sentences come from their own layers. Each "{}" is filled in turn
// (platform::fill); names come quoted.
#pragma once

#include <string_view>

namespace cli::texts {

// The help.
inline constexpr std::string_view kSummary =
    "把 PDF 文件打包成电子书，或者列出、取出、检查电子书中的 PDF 文件。";
inline constexpr std::string_view kUsageLabel = "用法";
inline constexpr std::string_view kOptionsLabel = "选项";
inline constexpr std::string_view kArgumentsLabel = "参数";
inline constexpr std::string_view kCommandsLabel = "命令";
inline constexpr std::string_view kRequiredLabel = "必需";
inline constexpr std::string_view kHelpFlag = "显示本帮助后退出";
inline constexpr std::string_view kVersionFlag = "显示版本后退出";
inline constexpr std::string_view kPackSummary =
    "把 PDF 文件、文件夹中的 PDF 文件和电子书中的各篇按顺序打包成一本电子书";
inline constexpr std::string_view kNameOption = "书名（必需）";
inline constexpr std::string_view kForOption =
    "电子书在哪种系统上阅读：windows 或 linux，默认为本系统；取程序旁的阅读器";
inline constexpr std::string_view kReaderOption = "阅读器文件，默认按 --for 取程序旁的阅读器";
inline constexpr std::string_view kOutDirOption = "电子书写到这个文件夹，默认为当前文件夹";
inline constexpr std::string_view kPathsArgument =
    "PDF 文件（名字以 .pdf 结尾，不分大小写）、文件夹（取其中的 PDF 文件，按名字排序）"
    "或电子书（不论名字，按原顺序和标题取其中各篇），按给出的顺序收入";
inline constexpr std::string_view kListSummary =
    "列出电子书的书名和其中每个 PDF 文件的位置、长度和标题";
inline constexpr std::string_view kExtractSummary =
    "把电子书中的每个 PDF 文件取出到一个已有的文件夹，不覆盖任何文件";
inline constexpr std::string_view kCheckSummary = "检查电子书的结构是否完整";
inline constexpr std::string_view kEbookArgument = "电子书文件";
inline constexpr std::string_view kDirArgument = "目标文件夹，须已存在";

// What is wrong with the command line: what was wrong, then the program's name. The
// reader says it the same way.
inline constexpr std::string_view kUsageError = "用法错误：{}\n请运行“{} --help”查看用法。\n";
// What goes into kUsageError. "{}": the word, quoted.
inline constexpr std::string_view kUnknownCommand = "没有{}这个命令";
inline constexpr std::string_view kTooManyWords = "多余的参数{}";
inline constexpr std::string_view kOptionTwice = "选项 {} 只能给一次";
inline constexpr std::string_view kOptionNeedsValue = "选项 {} 缺少取值";
// "{}": what the parser said.
inline constexpr std::string_view kBadArguments = "参数有误（{}）";
inline constexpr std::string_view kNeedCommand = "缺少命令：pack、list、extract 或 check";
// "{}": the words, apart by spaces.
inline constexpr std::string_view kUnrecognized = "无法识别的参数：{}";
inline constexpr std::string_view kNeedName = "缺少书名，请用 --name 给出";
inline constexpr std::string_view kNeedPaths = "缺少要打包的 PDF 文件或文件夹";
inline constexpr std::string_view kReaderOrFor = "--stub 和 --for 只能给出其中一个";
inline constexpr std::string_view kBadSystem = "--for 只能是 windows 或 linux，不能是{}";
inline constexpr std::string_view kNotAnInput = "{}既不是文件夹、电子书，名字也不以 .pdf 结尾";
inline constexpr std::string_view kNeedEbook = "缺少电子书文件";
inline constexpr std::string_view kNeedDir = "缺少目标文件夹";

// Failures.
inline constexpr std::string_view kNoOutDir = "输出文件夹{}不存在。";
inline constexpr std::string_view kFolderUnreadable = "无法读取文件夹{}中的文件列表。";
inline constexpr std::string_view kFolderEmpty = "文件夹{}里没有 PDF 文件。";
// "{}": container::texts::kIntact, then how many PDFs the book holds.
inline constexpr std::string_view kChecked = "{}：{} 个文件\n";
// Before the reason, when what was printed could not be written out.
inline constexpr std::string_view kOutputFailed = "无法输出结果：";
// "{}": what went wrong (out of memory and the like).
inline constexpr std::string_view kInternalError = "内部错误：{}\n";

}  // namespace cli::texts
