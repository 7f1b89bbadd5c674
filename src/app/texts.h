// Every text the window shows, written once.
#pragma once

#include <string_view>

#include "version.h"

// A macro, so the caption can be put together with the version at compile time.
#define TARVELLO_PRODUCT_TITLE "PDF电子书制作软件(Tarvello)"

namespace app::texts {

// The caption of every message.
inline constexpr std::string_view kMessageTitle = "提示";
inline constexpr std::string_view kReaderLost = "重要文件丢失，请到作者主页下载最新版！";
inline constexpr std::string_view kBuilt = "已成功生成PDF电子书！";
inline constexpr std::string_view kCaption = TARVELLO_PRODUCT_TITLE " V" TARVELLO_VERSION;
// After kCaption while a build runs; "{}": the percent done.
inline constexpr std::string_view kBuilding = " - 正在生成 {}%";
inline constexpr std::string_view kOpenDialogTitle = "打开PDF文件";
// The file type the open-file dialog offers.
inline constexpr std::string_view kPdfFilterLabel = "PDF文件(*.pdf)";
// "{}": the most characters a path the program uses may have. The path follows.
inline constexpr std::string_view kPathTooLong =
    "所选路径超过 {} 个字符，本程序无法使用，请把文件移到路径较短的文件夹中：\n";

// After a drop that filled the list: the most it holds, and how many files stayed out.
inline constexpr std::string_view kListFull =
    "列表已满（最多 {} 个文件），还有 {} 个文件没有加入。";
// After a drop, for a file left out by the add-file rule; "{}": the file, quoted.
inline constexpr std::string_view kNotTaken =
    "{}既不是电子书，名字也不以 .pdf 或 .PDF 结尾，没有加入。";

// On a readers choice whose reader is missing: "{}" the reader, quoted.
inline constexpr std::string_view kReaderMissingTip =
    "找不到阅读器文件{}，无法生成给这些读者的电子书。";

// Captions of the window's controls.
inline constexpr std::string_view kBuildButton = "生成PDF电子书";
inline constexpr std::string_view kMoveDownButton = "下移";
inline constexpr std::string_view kHelpButton = "在线帮助";
inline constexpr std::string_view kAddFolderButton = "添加文件夹";
inline constexpr std::string_view kAddFileButton = "添加文件";
inline constexpr std::string_view kDeleteButton = "删除文件";
inline constexpr std::string_view kMoveUpButton = "上移";
inline constexpr std::string_view kClearButton = "清空";
inline constexpr std::string_view kBookNameLabel = "书名：";
inline constexpr std::string_view kProductTitle = TARVELLO_PRODUCT_TITLE;
inline constexpr std::string_view kAuthorLabel = "作者：" TARVELLO_MAKER;
inline constexpr std::string_view kContactLabel = "联系邮箱：mail@tarvello.test";
inline constexpr std::string_view kHomePageLabel = "主页：";
// Display text only: a click opens the stored home-page address.
inline constexpr std::string_view kHomePageText = "http://tarvello.test/";
// The Linux window's own rows.
inline constexpr std::string_view kSaveToLabel = "保存到：";
inline constexpr std::string_view kChooseFolderButton = "更改保存位置";
inline constexpr std::string_view kForWindowsOption = "给用 Windows 的读者";
inline constexpr std::string_view kForLinuxOption = "给用 Linux 的读者";

}  // namespace app::texts
