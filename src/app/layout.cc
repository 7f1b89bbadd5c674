#include "app/layout.h"

#include <array>
#include <cstdlib>

#include "app/messages.h"

namespace app::layout {
namespace {

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kShadow{192, 192, 192};
constexpr Rgb kLight{255, 255, 255};

using enum Kind;
using enum Role;

// clang-format off
constexpr std::array<Control, 22> kControls{{
  // name        kind         left  top   width height text                       font               colour  shown tab role             hand   id
  {"Text1",    text_box,    3900,  120, 4650,  375, "",                        &kDefaultFont,     {},     true,  0, book_name,       false, 1001},
  {"List1",    list_box,    3180,  600, 5370, 4200, "",                        &kDefaultFont,     {},     true,  1, titles,          false, 1002},
  {"List2",    list_box,     240,  360, 2550,  960, "",                        &kDefaultFont,     {},     false, 2, paths,           false, 1003},
  {"Command3", push_button, 6960, 5100, 1530,  375, text::kBuildButton,        &kBuildButtonFont, {},     true,  3, build,           false, 1004},
  {"File1",    file_list,    240, 1380, 2535,  810, "",                        &kDefaultFont,     {},     false, 4, folder_listing,  false, 1005},
  {"Picture1", picture_box,  120,  120, 2955, 3360, "",                        &kDefaultFont,     {},     true,  5, banner,          false, 1006},
  {"Label1",   label,       3300,  180,  540,  180, text::kBookNameLabel,      &kDefaultFont,     {},     true,  6, book_name_label, false, 1007},
  {"Command1", push_button, 6060, 5100,  840,  375, text::kMoveDownButton,     &kDefaultFont,     {},     true,  7, move_down,       false, 1008},
  {"Command2", push_button,  120, 5100,  960,  375, text::kHelpButton,         &kDefaultFont,     {},     true,  8, help,            false, 1009},
  {"Command4", push_button, 1140, 5100, 1085,  375, text::kAddFolderButton,    &kDefaultFont,     {},     true,  9, add_folder,      false, 1010},
  {"Command5", push_button, 2280, 5100, 1005,  375, text::kAddFileButton,      &kDefaultFont,     {},     true, 10, add_file,        false, 1011},
  {"Command6", push_button, 3360, 5100,  900,  375, text::kDeleteButton,       &kDefaultFont,     {},     true, 11, delete_file,     false, 1012},
  {"Command7", push_button, 5220, 5100,  780,  375, text::kMoveUpButton,       &kDefaultFont,     {},     true, 12, move_up,         false, 1013},
  {"Text4",    text_box,     240, 2220,  675,  315, "",                        &kDefaultFont,     {},     false, 13, scratch,        false, 1014},
  {"Command8", push_button, 4320, 5100,  825,  375, text::kClearButton,        &kDefaultFont,     {},     true, 14, clear,           false, 1015},
  {"Label7",   label,        840, 4560, 2040,  210, text::kHomePageText,       &kTahoma,          kBlue,  true, 15, home_page_link,  true,  1016},
  {"Label6",   label,        240, 4260, 2430,  210, text::kContactLabel,       &kTahoma,          {},     true, 16, contact,         false, 1017},
  {"Label5",   label,        240, 3960, 1620,  210, text::kAuthorLabel,        &kTahoma,          {},     true, 17, author,          false, 1018},
  {"Label4",   label,        240, 3660, 2760,  210, text::kProductTitle,       &kTahomaBold,      kRed,   true, 18, product_title,   false, 1019},
  {"Label2",   label,        240, 4560,  540,  210, text::kHomePageLabel,      &kTahoma,          {},     true, 19, home_page_label, false, 1020},
  // Lines run from (left, top) by (width, height): the etched separator, grey above white.
  {"Line1",    line,        8640, 4920, -8640,   0, "",                        &kDefaultFont,     kShadow, true, -1, separator_shadow, false, 1021},
  {"Line2",    line,           0, 4950,  8640,   0, "",                        &kDefaultFont,     kLight,  true, -1, separator_light,  false, 1022},
}};
// clang-format on

}  // namespace

std::span<const Control> controls() {
  return kControls;
}

const Control& control(Role role) {
  for (const Control& c : kControls) {
    if (c.role == role) return c;
  }
  std::abort();  // every role is in the table
}

}  // namespace app::layout
