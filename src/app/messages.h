// Every text the window shows, written once.
#pragma once

#include <string_view>

namespace app::text {

inline constexpr std::string_view kMessageTitle = "提示";
inline constexpr std::string_view kStubMissing = "重要文件丢失，请到作者主页下载最新版！";
inline constexpr std::string_view kNeedName = "请首先输入书名";
inline constexpr std::string_view kNeedFiles = "请首先添加文件";
inline constexpr std::string_view kBuilt = "已成功生成PDF电子书！";
inline constexpr std::string_view kBuildFailed = "由于文件太大，无法生成电子书！";
inline constexpr std::string_view kCaption = "PDF电子书制作软件(Tarvello) V2.0";
inline constexpr std::string_view kOpenDialogTitle = "打开PDF文件";
inline constexpr std::string_view kPdfFilterLabel = "PDF文件(*.pdf)";

}  // namespace app::text
