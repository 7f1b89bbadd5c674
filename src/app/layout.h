// The main window as data: every control with its place, looks and role, written once
// and laid out by each front end. Places and sizes are twips (15 to a pixel at 96 dpi),
// measured from the top-left corner of the client area.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace app::layout {

inline constexpr int kTwipsPerPixelAt96 = 15;
inline constexpr int kClientWidth = 8625;   // 575 pixels at 96 dpi
inline constexpr int kClientHeight = 5655;  // 377 pixels at 96 dpi

enum class Kind { text_box, list_box, file_list, push_button, picture_box, label, line };

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
  int tab_index;  // -1: never takes the focus by tab index (lines)
  Role role;
  bool hand_pointer;
  int id;  // the child window id on Windows; stable, so tests find controls by it
};

// All 22 controls in tab order, then the two lines.
std::span<const Control> controls();

// The control with `role`; every role has exactly one.
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
