// Everything the reader says, in one place for its window and its terminal face.
#pragma once

#include <string_view>

namespace reader::texts {

// The caption of every message, and the same ready for a W call where nothing may be
// allocated (out of memory).
inline constexpr std::string_view kMessageTitle = "提示";
inline constexpr wchar_t kMessageTitleWide[] = L"提示";

inline constexpr std::string_view kNoBook = "此文件不含电子书内容。";
// "{}": what is wrong with it.
inline constexpr std::string_view kDamaged = "电子书已损坏，无法打开：{}。";
inline constexpr std::string_view kUnreadable = "无法读取电子书文件：";
inline constexpr std::string_view kNoTempFolder = "无法建立临时文件夹：";
inline constexpr std::string_view kNoTitle = "（无标题）";

// When memory runs out nothing more may be allocated: a wide literal, shown as it is.
inline constexpr wchar_t kGivingUp[] = L"内存不足或内部错误，阅读器必须退出。";

// The window.
// Above the list: how many files the book holds.
inline constexpr std::string_view kListLabel = "共 {} 个文件，双击一个文件即可阅读：";
inline constexpr std::string_view kOpen = "打开";
inline constexpr std::string_view kSaveAs = "另存为…";
inline constexpr std::string_view kSaveTitle = "另存为";
// The file type the save dialog offers.
inline constexpr std::string_view kPdfFilterLabel = "PDF文件(*.pdf)";
inline constexpr std::string_view kAllFiles = "所有文件(*.*)";
// The quoted file, then why; without a file, why alone.
inline constexpr std::string_view kCannotSave = "无法保存{}：{}";
inline constexpr std::string_view kCannotSaveAtAll = "无法保存：{}";
// At the close, for a copy that a viewer saved into: its name, then the folder it is in.
inline constexpr std::string_view kChangedCopy =
    "文件{}已被其他程序修改过（例如保存了批注），阅读器不会删除它。它在文件夹：\n{}\n\n"
    "要把它另存到别处吗？";
inline constexpr std::string_view kNoViewer =
    "文件已取出，但系统中没有能打开它的程序，请先安装 PDF 阅读程序。文件在：\n";

// The terminal. Each "{}" is filled in turn; names come quoted (platform::quoted).
inline constexpr std::string_view kHelp =
    "阅读这本 PDF 电子书。\n"
    "用法：\n"
    "  {}                   列出书名和书中的每个文件\n"
    "  {} open 序号         取出这个序号的文件，交给默认程序（xdg-open）打开\n"
    "  {} extract 文件夹    把全部文件取出到一个已有的文件夹，不覆盖任何文件\n"
    "  {} --help            显示本帮助\n";
inline constexpr std::string_view kListHead = "《{}》，共 {} 个文件：\n";
inline constexpr std::string_view kListLine = "{}. {}（{} 字节）\n";
inline constexpr std::string_view kListHint =
    "用“{} open 序号”阅读其中一个文件，用“{} --help”查看全部用法。\n";
// What is wrong with the command line, as tarvello-cli says it too: what was wrong, then
// the program's name.
inline constexpr std::string_view kUsageError = "用法错误：{}\n请运行“{} --help”查看用法。\n";
// "{}": the word, quoted.
inline constexpr std::string_view kUnknownCommand = "没有{}这个命令";
inline constexpr std::string_view kTooManyWords = "多余的参数{}";
inline constexpr std::string_view kNeedNumber = "open 后面要给出文件的序号";
inline constexpr std::string_view kNeedFolder = "extract 后面要给出目标文件夹";
inline constexpr std::string_view kNoSuchEntry = "没有第 {} 个文件：本书共有 {} 个文件。\n";
inline constexpr std::string_view kOpening = "已取出到{}，正在用默认程序打开。\n";
inline constexpr std::string_view kNoOpener = "已取出到{}，但无法启动 xdg-open：{}\n";
inline constexpr std::string_view kOpenerFailed =
    "已取出到{}，但 xdg-open 没能打开它（退出码 {}）。\n";
inline constexpr std::string_view kExtracted = "已取出 {} 个文件到{}。\n";
// In a terminal, after the list: the number of files, then what was typed, quoted.
inline constexpr std::string_view kAsk = "输入序号阅读（1-{}），直接回车结束：";
inline constexpr std::string_view kAskAgain =
    "{}不是本书的序号：请输入 1 到 {} 之间的数字，或直接回车结束。\n";
// Before the reason, when the list could not be written out.
inline constexpr std::string_view kOutputFailed = "无法输出结果：";
// Before a terminal the reader started itself in closes on a failure.
inline constexpr std::string_view kPressEnter = "按回车键关闭。";

// Double-clicked, with no terminal: said by notify-send. The terminal's name, quoted, and
// why; then the book's path.
inline constexpr std::string_view kNoTerminal =
    "找不到终端程序（x-terminal-emulator、gnome-terminal、konsole、xterm 等），"
    "无法显示这本电子书。";
inline constexpr std::string_view kNoTerminalStart = "无法启动终端程序{}：{}。";
inline constexpr std::string_view kTerminalFailed = "终端程序{}没能启动（退出码 {}）。";
inline constexpr std::string_view kRunItYourself = "请在终端里运行这本电子书：\n{}";

}  // namespace reader::texts
