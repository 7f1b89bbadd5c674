// The main window as data: every control with its place, looks and role, written once
// and laid out by each front end. Places and sizes are twips (15 to a pixel at 96 dpi),
// measured from the top-left corner of the client area.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "app/texts.h"

namespace app::layout {

inline constexpr int kClientWidth = 8625;   // 575 pixels at 96 dpi
inline constexpr int kClientHeight = 5655;  // 377 pixels at 96 dpi

// An option is one of a set of choices with one on at a time (a radio button).
enum class Kind { text_box, list_box, file_list, push_button, picture_box, label, line, option };

// What a control is for; front ends wire events by role, never by name or caption.
enum class Role {
  book_name,         // Text1
  titles,            // List1
  paths,             // List2, never shown
  build,             // Command3
  folder_listing,    // File1, never shown
  banner,            // Picture1
  book_name_label,   // Label1
  move_down,         // Command1
  help,              // Command2
  add_folder,        // Command4
  add_file,          // Command5
  delete_file,       // Command6
  move_up,           // Command7
  scratch,           // Text4, never shown
  clear,             // Command8
  home_page_link,    // Label7
  contact,           // Label6
  author,            // Label5
  product_title,     // Label4
  home_page_label,   // Label2
  separator_shadow,  // Line1
  separator_light,   // Line2
  // The Linux window's own rows (kLinuxControls).
  save_to_label,  // "保存到："
  out_folder,     // the folder the books go to
  choose_folder,  // changes it
  for_windows,    // books for readers on Windows
  for_linux,      // books for readers on Linux
};

struct Font {
  std::string_view face;
  int points;
  int weight;   // 400 regular, 700 bold
  int charset;  // 134 GB2312, 0 ANSI
};

inline constexpr Font kDefaultFont{"宋体", 9, 400, 134};
inline constexpr Font kBuildButtonFont{"宋体", 9, 700, 134};
inline constexpr Font kTahoma{"Tahoma", 9, 400, 0};
inline constexpr Font kTahomaBold{"Tahoma", 9, 700, 0};

struct Rgb {
  std::uint8_t r, g, b;
  friend constexpr bool operator==(Rgb, Rgb) = default;
};

struct Control {
  std::string_view name;
  Kind kind;
  // A line runs from (left, top) to (left + width, top + height); every other control
  // is a box.
  int left, top, width, height;
  std::string_view text;
  const Font* font;  // never null: controls without a font of their own get kDefaultFont
  std::optional<Rgb> colour;
  bool visible;
  Role role;
  bool hand_pointer;
  int id;  // the child window id on Windows; stable, so tests find controls by it
};

namespace table {
using enum Kind;
using enum Role;
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kShadow{192, 192, 192};
inline constexpr Rgb kLight{255, 255, 255};

// clang-format off
inline constexpr auto kControls = std::to_array<Control>({
  // name        kind         left  top   width height text                       font               colour  shown role             hand   id
  {"Text1",    text_box,    3900,  120, 4650,  375, "",                        &kDefaultFont,     {},     true,  book_name,       false, 1001},
  {"List1",    list_box,    3180,  600, 5370, 4200, "",                        &kDefaultFont,     {},     true,  titles,          false, 1002},
  {"List2",    list_box,     240,  360, 2550,  960, "",                        &kDefaultFont,     {},     false, paths,           false, 1003},
  {"Command3", push_button, 6960, 5100, 1530,  375, texts::kBuildButton,        &kBuildButtonFont, {},     true,  build,           false, 1004},
  {"File1",    file_list,    240, 1380, 2535,  810, "",                        &kDefaultFont,     {},     false, folder_listing,  false, 1005},
  {"Picture1", picture_box,  120,  120, 2955, 3360, "",                        &kDefaultFont,     {},     true,  banner,          false, 1006},
  {"Label1",   label,       3300,  180,  540,  180, texts::kBookNameLabel,      &kDefaultFont,     {},     true,  book_name_label, false, 1007},
  {"Command1", push_button, 6060, 5100,  840,  375, texts::kMoveDownButton,     &kDefaultFont,     {},     true,  move_down,       false, 1008},
  {"Command2", push_button,  120, 5100,  960,  375, texts::kHelpButton,         &kDefaultFont,     {},     true,  help,            false, 1009},
  {"Command4", push_button, 1140, 5100, 1085,  375, texts::kAddFolderButton,    &kDefaultFont,     {},     true,  add_folder,      false, 1010},
  {"Command5", push_button, 2280, 5100, 1005,  375, texts::kAddFileButton,      &kDefaultFont,     {},     true,  add_file,        false, 1011},
  {"Command6", push_button, 3360, 5100,  900,  375, texts::kDeleteButton,       &kDefaultFont,     {},     true,  delete_file,     false, 1012},
  {"Command7", push_button, 5220, 5100,  780,  375, texts::kMoveUpButton,       &kDefaultFont,     {},     true,  move_up,         false, 1013},
  {"Text4",    text_box,     240, 2220,  675,  315, "",                        &kDefaultFont,     {},     false, scratch,         false, 1014},
  {"Command8", push_button, 4320, 5100,  825,  375, texts::kClearButton,        &kDefaultFont,     {},     true,  clear,           false, 1015},
  {"Label7",   label,        840, 4560, 2040,  210, texts::kHomePageText,       &kTahoma,          kBlue,  true,  home_page_link,  true,  1016},
  {"Label6",   label,        240, 4260, 2430,  210, texts::kContactLabel,       &kTahoma,          {},     true,  contact,         false, 1017},
  {"Label5",   label,        240, 3960, 1620,  210, texts::kAuthorLabel,        &kTahoma,          {},     true,  author,          false, 1018},
  {"Label4",   label,        240, 3660, 2760,  210, texts::kProductTitle,       &kTahomaBold,      kRed,   true,  product_title,   false, 1019},
  {"Label2",   label,        240, 4560,  540,  210, texts::kHomePageLabel,      &kTahoma,          {},     true,  home_page_label, false, 1020},
  // Lines run from (left, top) by (width, height): the etched separator, grey above white.
  {"Line1",    line,        8640, 4920, -8640,   0, "",                        &kDefaultFont,     kShadow, true, separator_shadow, false, 1021},
  {"Line2",    line,           0, 4950,  8640,   0, "",                        &kDefaultFont,     kLight,  true, separator_light,  false, 1022},
});

// The Linux window's rows below the buttons, which it alone has: where the books go and
// which readers they are for. The Windows window writes its books beside itself, for
// Windows, so its table above stays as it is.
inline constexpr auto kLinuxControls = std::to_array<Control>({
  // name        kind          left  top   width height text                       font               colour  shown role             hand   id
  {"Label8",   label,         120, 5670,  720,  180, texts::kSaveToLabel,        &kDefaultFont,     {},     true,  save_to_label,   false, 1023},
  {"Label9",   label,         840, 5670, 6000,  180, "",                        &kDefaultFont,     {},     true,  out_folder,      false, 1024},
  {"Command9", push_button,  6960, 5580, 1530,  375, texts::kChooseFolderButton, &kDefaultFont,     {},     true,  choose_folder,   false, 1025},
  {"Option1",  option,        120, 6060, 2400,  375, texts::kForWindowsOption,   &kDefaultFont,     {},     true,  for_windows,     false, 1026},
  {"Option2",  option,       2640, 6060, 2400,  375, texts::kForLinuxOption,     &kDefaultFont,     {},     true,  for_linux,       false, 1027},
});
// clang-format on

}  // namespace table

// Every control; the table's order is the tab order, the two lines last.
using table::kControls;
constexpr std::span<const Control> controls() {
  return kControls;
}

// The Linux window: the table above, then its own rows, in a taller window.
inline constexpr int kLinuxClientHeight = 6615;  // 441 pixels at 96 dpi
using table::kLinuxControls;
constexpr std::span<const Control> linux_controls() {
  return kLinuxControls;
}
inline constexpr std::size_t kRoleCount = kControls.size() + kLinuxControls.size();

// The control with `role`, in either table; every role has exactly one.
const Control& control(Role role);

// Twips to pixels at `dpi` (96 at the designed size), rounded to the nearest pixel.
constexpr int to_pixels(int twips, int dpi = 96) {
  const long long scaled = static_cast<long long>(twips) * dpi;
  const long long per_inch = 1440;
  return static_cast<int>((scaled + per_inch / 2) / per_inch);
}

// Whether Tab ever stops at the control: shown, and neither a label nor a line.
constexpr bool takes_focus(const Control& c) {
  return c.visible && c.kind != Kind::label && c.kind != Kind::line;
}

}  // namespace app::layout
