// Everything the e-book layer says: what is wrong with a book, and why taking its PDFs
// out stopped. Each "{}" is filled in turn (platform::fill); names come quoted.
#pragma once

#include <string_view>

namespace container::texts {

// A book that reads, as describe() and tarvello-cli's check say it.
inline constexpr std::string_view kIntact = "结构完整";

// What describe() says of a book that does not read.
inline constexpr std::string_view kTooSmall = "文件太短，不是电子书";
inline constexpr std::string_view kNotOrdinary = "这不是普通文件，不是电子书";
// "{}": kMaxContainerSize.
inline constexpr std::string_view kTooLarge = "文件超过 {} 字节，不是电子书或已损坏";
// "{}": the system's reason.
inline constexpr std::string_view kCannotRead = "无法读取文件：{}";
inline constexpr std::string_view kBadTrailer = "文件末尾记录的索引长度无效，不是电子书或已损坏";
inline constexpr std::string_view kIndexTooLarge = "文件末尾记录的索引长度过大";
inline constexpr std::string_view kIndexNotGbk = "索引不是有效的 GBK 文本";
inline constexpr std::string_view kNoNameLine = "索引缺少以回车换行结尾的书名行";
inline constexpr std::string_view kNoEntries = "索引中没有任何文件";
inline constexpr std::string_view kBadSignature = "文件记录的数字签名超出了文件末尾，已损坏";
inline constexpr std::string_view kJunkBeforeSignature =
    "数字签名之前有不属于电子书的数据：这不是电子书，或已损坏";
// "{}": kMaxEntries.
inline constexpr std::string_view kTooManyEntries = "索引中的文件超过 {} 个";
inline constexpr std::string_view kDamaged = "文件已损坏";
// Damage in one line of the index. The first "{}" is kIndexLine, or kIndex where no
// line is known.
inline constexpr std::string_view kIndexLine = "索引第 {} 行";
inline constexpr std::string_view kIndex = "索引";
inline constexpr std::string_view kBadLine = "{}格式错误";
inline constexpr std::string_view kNumberOverflow = "{}的数字超过 {}";  // then kMaxContainerSize
inline constexpr std::string_view kEntryOutside = "{}所指的文件超出了内容区";
inline constexpr std::string_view kNotContiguous = "{}所指的文件与前后文件不相接";

// "{}": the book, then what describe() says of it, or the system's reason.
inline constexpr std::string_view kUnreadableBook = "无法读取电子书{}：{}。";

// Why taking PDFs out stopped. "{}": the file, then the system's reason where there is one.
inline constexpr std::string_view kNoTargetFolder = "文件夹{}不存在。";
inline constexpr std::string_view kTargetExists = "文件{}已存在，不会覆盖它；没有取出任何文件。";
inline constexpr std::string_view kCannotCreate = "无法创建文件{}：{}。";
inline constexpr std::string_view kBookCut = "电子书{}不完整（文件被截断），无法取出其中的文件。";
inline constexpr std::string_view kCannotWrite = "无法写入文件{}：{}。";
inline constexpr std::string_view kStopped = "已停止，没有留下取出一半的文件。";

// The name a PDF taken out gets when nothing of its title is left.
inline constexpr std::string_view kUntitledFile = "未命名.pdf";

}  // namespace container::texts
