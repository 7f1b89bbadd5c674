// The reader window's class and controls, for the window and for whatever drives it.
#pragma once

namespace stub::window {

inline constexpr wchar_t kClassName[] = L"TarvelloReader";
inline constexpr int kLabelId = 100;
inline constexpr int kListId = 101;
inline constexpr int kOpenId = 102;
inline constexpr int kSaveId = 103;

}  // namespace stub::window
