#include "app/layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace app::layout {
namespace {

TEST(Layout, EveryControlOnceWithItsOwnIdAndTabIndex) {
  const auto all = controls();
  ASSERT_EQ(all.size(), 22u);
  std::set<std::string_view> names;
  std::set<int> ids, tabs;
  for (const Control& c : all) {
    EXPECT_TRUE(names.insert(c.name).second) << c.name;
    EXPECT_TRUE(ids.insert(c.id).second) << c.name;
    EXPECT_GT(c.id, 2) << "ids 1 and 2 are IDOK and IDCANCEL";
    if (c.kind != Kind::line) {
      EXPECT_TRUE(tabs.insert(c.tab_index).second) << c.name;
    }
    EXPECT_EQ(&control(c.role), &c);
    ASSERT_NE(c.font, nullptr);
  }
  EXPECT_EQ(*tabs.begin(), 0);
  EXPECT_EQ(*tabs.rbegin(), 19);
}

TEST(Layout, TabVisitsTheFocusableControlsInOrder) {
  std::vector<std::string_view> order;
  for (const Control& c : controls()) {
    if (takes_focus(c)) order.push_back(c.name);
  }
  EXPECT_EQ(order, (std::vector<std::string_view>{"Text1", "List1", "Command3", "Picture1",
                                                  "Command1", "Command2", "Command4", "Command5",
                                                  "Command6", "Command7", "Command8"}));
}

TEST(Layout, ButtonsShareOneRowLeftToRightWithoutOverlap) {
  std::vector<const Control*> buttons;
  for (const Control& c : controls()) {
    if (c.kind == Kind::push_button) buttons.push_back(&c);
  }
  ASSERT_EQ(buttons.size(), 8u);
  std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->left < b->left; });
  std::vector<std::string_view> names;
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    names.push_back(buttons[i]->name);
    EXPECT_EQ(buttons[i]->top, 5100);
    EXPECT_EQ(buttons[i]->height, 375);
    if (i > 0) {
      EXPECT_GE(buttons[i]->left, buttons[i - 1]->left + buttons[i - 1]->width);
    }
  }
  EXPECT_EQ(names, (std::vector<std::string_view>{"Command2", "Command4", "Command5", "Command6",
                                                  "Command8", "Command7", "Command1", "Command3"}));
  EXPECT_LE(control(Role::build).left + control(Role::build).width, kClientWidth);
}

TEST(Layout, HiddenControlsLieBehindTheBanner) {
  const Control& banner = control(Role::banner);
  for (Role role : {Role::paths, Role::folder_listing, Role::scratch}) {
    const Control& c = control(role);
    EXPECT_FALSE(c.visible) << c.name;
    EXPECT_GE(c.left, banner.left);
    EXPECT_GE(c.top, banner.top);
    EXPECT_LE(c.left + c.width, banner.left + banner.width) << c.name;
    EXPECT_LE(c.top + c.height, banner.top + banner.height) << c.name;
  }
}

TEST(Layout, PixelSizesAtTheDesignedResolution) {
  EXPECT_EQ(to_pixels(kClientWidth), 575);
  EXPECT_EQ(to_pixels(kClientHeight), 377);
  // The title list holds 23 rows of 12 pixels inside its two-pixel border.
  EXPECT_EQ((to_pixels(control(Role::titles).height) - 4) / 12, 23);
  // The banner box less its border shows 193 x 220 pixels of the 198 x 222 picture.
  EXPECT_EQ(to_pixels(control(Role::banner).width) - 4, 193);
  EXPECT_EQ(to_pixels(control(Role::banner).height) - 4, 220);
  EXPECT_EQ(to_pixels(kClientWidth, 144), 863);
}

TEST(Layout, EtchedSeparatorBetweenTheAreasAndTheButtons) {
  const Control& shadow = control(Role::separator_shadow);
  const Control& light = control(Role::separator_light);
  EXPECT_EQ(to_pixels(light.top) - to_pixels(shadow.top), 2);
  EXPECT_GT(shadow.top, control(Role::titles).top + control(Role::titles).height);
  EXPECT_LT(light.top, control(Role::build).top);
  EXPECT_EQ(std::min(shadow.left, shadow.left + shadow.width), 0);
  EXPECT_GE(std::max(light.left, light.left + light.width), kClientWidth);
  EXPECT_EQ(shadow.colour, (Rgb{192, 192, 192}));
  EXPECT_EQ(light.colour, (Rgb{255, 255, 255}));
}

TEST(Layout, OnlyTheHomePageLinkHasTheHandPointer) {
  for (const Control& c : controls()) {
    EXPECT_EQ(c.hand_pointer, c.role == Role::home_page_link) << c.name;
  }
  EXPECT_EQ(control(Role::home_page_link).colour, (Rgb{0, 0, 255}));
  EXPECT_EQ(control(Role::product_title).colour, (Rgb{255, 0, 0}));
  EXPECT_EQ(control(Role::product_title).font->weight, 700);
  EXPECT_EQ(control(Role::build).font->weight, 700);
}

}  // namespace
}  // namespace app::layout
