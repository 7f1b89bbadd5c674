// The reader window's class, controls and layout, for the window and for whatever drives it.
#pragma once

namespace reader::window {

inline constexpr wchar_t kClassName[] = L"TarvelloReader";
inline constexpr int kLabelId = 100;
inline constexpr int kListId = 101;
inline constexpr int kOpenId = 102;
inline constexpr int kSaveId = 103;

// Sizes in pixels at 96 dpi; the window scales each by dpi / 96.
inline constexpr int kWidth = 520;  // the frame it opens with
inline constexpr int kHeight = 420;
inline constexpr int kMinWidth = 320;  // the smallest frame it can be dragged to
inline constexpr int kMinHeight = 240;
inline constexpr int kMargin = 12;
inline constexpr int kGap = 8;
inline constexpr int kLabelHeight = 20;
inline constexpr int kButtonWidth = 96;
inline constexpr int kButtonHeight = 28;

constexpr int scaled(int pixels, int dpi) {
  return (pixels * dpi + 48) / 96;
}

struct Box {
  int left, top, width, height;
};
struct Layout {
  Box label, list, open, save;
};

// The controls in a client area of `width` by `height` pixels at `dpi`: the label and
// the list across the top, the two buttons at the bottom right.
constexpr Layout layout(int width, int height, int dpi) {
  const int margin = scaled(kMargin, dpi), gap = scaled(kGap, dpi);
  const int label_height = scaled(kLabelHeight, dpi);
  const int button_width = scaled(kButtonWidth, dpi), button_height = scaled(kButtonHeight, dpi);
  const int buttons_top = height - margin - button_height;
  const int list_top = margin + label_height + gap / 2;
  return {{margin, margin, width - 2 * margin, label_height},
          {margin, list_top, width - 2 * margin, buttons_top - gap - list_top},
          {width - margin - 2 * button_width - gap, buttons_top, button_width, button_height},
          {width - margin - button_width, buttons_top, button_width, button_height}};
}

}  // namespace reader::window
