// The window as a person meets it: its layout, the keyboard, start-up without the
// reader, and the two web links.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/messages.h"
#include "gui_kit.h"
#include "links/code_list.h"

namespace {

using app::layout::Control;
using app::layout::Kind;
using app::layout::Role;
using app::layout::to_pixels;
using gui::App;

const std::wstring kTitle = gui::wide(app::text::kMessageTitle);

// A control's rectangle in the client coordinates of the main window.
RECT client_rect_of(HWND form, HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

POINT centre_on_screen(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

std::wstring expected_class(Kind kind) {
  switch (kind) {
    case Kind::text_box:
      return L"Edit";
    case Kind::list_box:
      return L"ListBox";
    case Kind::push_button:
      return L"Button";
    case Kind::picture_box:
      return L"TarvelloPicture";
    case Kind::label:
      return L"Static";
    case Kind::file_list:
    case Kind::line:
      break;
  }
  return L"";
}

HCURSOR current_cursor() {
  CURSORINFO info{};
  info.cbSize = sizeof info;
  GetCursorInfo(&info);
  return info.hCursor;
}

// One window for the whole suite: each test goes on from where the last one left it.
class Window : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    app_ = new App(L"window");
    if (!app_->start()) {
      delete app_;
      app_ = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete app_;
    app_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(app_, nullptr) << "the window did not come up";
    ASSERT_TRUE(app_->running());
  }

  static App* app_;
};
App* Window::app_ = nullptr;

TEST_F(Window, CaptionSizeAndPlace) {
  HWND form = app_->form();
  EXPECT_EQ(gui::window_text(form), gui::wide(app::text::kCaption));
  RECT client{};
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, 575);
  EXPECT_EQ(client.bottom, 377);

  // Centred on the screen, from the outer size.
  RECT outer{};
  GetWindowRect(form, &outer);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  EXPECT_NEAR(outer.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2, 1);
  EXPECT_NEAR(outer.top, (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 1);
  // A fixed frame: it cannot be resized or maximised.
  const LONG style = GetWindowLongW(form, GWL_STYLE);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
}

TEST_F(Window, EveryControlWhereTheLayoutPutsIt) {
  HWND form = app_->form();
  for (const Control& c : app::layout::controls()) {
    SCOPED_TRACE(c.name);
    if (c.kind == Kind::line) continue;  // painted on the form
    HWND hwnd = GetDlgItem(form, c.id);
    if (!c.visible) {
      EXPECT_TRUE(hwnd == nullptr || !IsWindowVisible(hwnd));
      continue;
    }
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(IsWindowEnabled(hwnd));
    EXPECT_EQ(gui::class_name(hwnd), expected_class(c.kind));
    const RECT r = client_rect_of(form, hwnd);
    EXPECT_EQ(r.left, to_pixels(c.left));
    EXPECT_EQ(r.top, to_pixels(c.top));
    EXPECT_EQ(r.right - r.left, to_pixels(c.width));
    // For the list too: the table's height is a whole number of rows of the designed face.
    EXPECT_EQ(r.bottom - r.top, to_pixels(c.height));
    if (c.kind == Kind::push_button || c.kind == Kind::label) {
      EXPECT_EQ(gui::window_text(hwnd), gui::wide(c.text));
    }
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    if (c.kind == Kind::push_button) {
      // No default button: Enter must not press anything.
      EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON);
    }
    if (c.kind == Kind::list_box) {
      EXPECT_FALSE(style & LBS_SORT) << "titles stay in the order they were added";
      EXPECT_FALSE(style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) << "one selection at most";
    }
    if (c.kind == Kind::text_box) {
      EXPECT_FALSE(style & (ES_MULTILINE | ES_PASSWORD));
    }
  }
}

// A control's box on the screen, from its place in the layout.
RECT screen_box(HWND form, const Control& c) {
  RECT r{to_pixels(c.left), to_pixels(c.top), to_pixels(c.left + c.width),
         to_pixels(c.top + c.height)};
  MapWindowPoints(form, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

struct Census {
  int red = 0, blue = 0, dark = 0, bluish = 0, total = 0;
};

Census count_colours(const std::vector<COLORREF>& pixels) {
  Census n;
  for (COLORREF p : pixels) {
    const int r = GetRValue(p), g = GetGValue(p), b = GetBValue(p);
    n.red += r >= 200 && g <= 80 && b <= 80;
    n.blue += b >= 200 && r <= 80 && g <= 80;
    n.dark += r <= 100 && g <= 100 && b <= 100;
    n.bluish += b > r + 30 && b > g;
    ++n.total;
  }
  return n;
}

// What the layout says about colours: the etched separator across the whole width, the
// red title, the blue link, the other labels in the text colour, and the banner that the
// hidden controls never cover.
TEST_F(Window, SeparatorLabelsAndBannerInTheirColours) {
  ASSERT_TRUE(gui::bring_to_front(app_->form()));
  gui::move_mouse({0, 0});
  app_->settle();
  HWND form = app_->form();
  for (Role role : {Role::separator_shadow, Role::separator_light}) {
    const Control& line = app::layout::control(role);
    SCOPED_TRACE(line.name);
    RECT row{0, to_pixels(line.top), to_pixels(app::layout::kClientWidth), to_pixels(line.top) + 1};
    MapWindowPoints(form, nullptr, reinterpret_cast<POINT*>(&row), 2);
    const auto pixels = gui::grab_screen(row);
    ASSERT_EQ(pixels.size(), 575u);
    const COLORREF want = RGB(line.colour->r, line.colour->g, line.colour->b);
    const auto off =
        std::count_if(pixels.begin(), pixels.end(), [&](COLORREF p) { return p != want; });
    EXPECT_EQ(off, 0) << "pixels of another colour on the line";
  }
  for (const Control& c : app::layout::controls()) {
    if (c.kind != Kind::label) continue;
    SCOPED_TRACE(c.name);
    const Census n = count_colours(gui::grab_screen(screen_box(form, c)));
    if (c.role == Role::product_title) {
      EXPECT_GE(n.red, 10) << "red title";
      EXPECT_EQ(n.blue, 0);
    } else if (c.role == Role::home_page_link) {
      EXPECT_GE(n.blue, 10) << "blue link";
      EXPECT_EQ(n.red, 0);
    } else {
      EXPECT_GE(n.dark, 10) << "text in the text colour";
      EXPECT_EQ(n.red + n.blue, 0);
    }
  }
  // The banner is a blue picture; a hidden control shown over it would be a white box.
  const Census banner =
      count_colours(gui::grab_screen(screen_box(form, app::layout::control(Role::banner))));
  EXPECT_GT(banner.bluish * 2, banner.total) << "the banner is mostly blue";
  for (Role role : {Role::paths, Role::folder_listing, Role::scratch}) {
    const Control& c = app::layout::control(role);
    const Census n = count_colours(gui::grab_screen(screen_box(form, c)));
    EXPECT_GT(n.bluish * 3, n.total)
        << c.name << " covers the banner: " << n.bluish << " of " << n.total << " pixels blue";
  }
}

TEST_F(Window, StartsEmptyWithTheFocusInTheNameBox) {
  EXPECT_EQ(gui::window_text(app_->item(Role::book_name)), L"");
  EXPECT_TRUE(app_->titles().empty());
  EXPECT_EQ(app_->selected(), LB_ERR);
  EXPECT_EQ(gui::focus_of(app_->form()), app_->item(Role::book_name));
}

TEST_F(Window, TabWalksTheControlsInOrderAndShiftTabBack) {
  ASSERT_TRUE(gui::bring_to_front(app_->form()));
  std::vector<const Control*> ring;
  for (const Control& c : app::layout::controls()) {
    if (app::layout::takes_focus(c)) ring.push_back(&c);
  }
  ASSERT_EQ(ring.front()->role, Role::book_name);
  auto focus_on = [&](const Control* c) {
    HWND want = GetDlgItem(app_->form(), c->id);
    HWND got = nullptr;
    const bool ok =
        gui::wait_until([&] { return (got = gui::focus_of(app_->form())) == want; }, 3000);
    EXPECT_TRUE(ok) << "focus should be on " << c->name << ", is on control id "
                    << (got ? GetDlgCtrlID(got) : 0);
    return ok;
  };
  ASSERT_TRUE(focus_on(ring.front()));
  for (std::size_t i = 1; i <= ring.size(); ++i) {
    gui::press_key(VK_TAB);
    if (!focus_on(ring[i % ring.size()])) return;
  }
  for (std::size_t i = ring.size(); i > 0; --i) {
    gui::press_key(VK_TAB, true);
    if (!focus_on(ring[(i - 1) % ring.size()])) return;
  }
}

TEST_F(Window, EnterAndEscapeInTheNameBoxDoNothing) {
  ASSERT_TRUE(gui::bring_to_front(app_->form()));
  HWND box = app_->item(Role::book_name);
  gui::click_mouse(centre_on_screen(box));
  ASSERT_TRUE(gui::wait_until([&] { return gui::focus_of(app_->form()) == box; }, 3000));
  app_->set_book_name(L"测试");
  gui::press_key(VK_END);
  gui::press_key(VK_RETURN);
  gui::press_key(VK_ESCAPE);
  // A key typed after them lands in the box only once both were handled, and only if
  // neither opened a message (which would take the focus) nor closed the window.
  gui::press_key('X');
  EXPECT_TRUE(gui::wait_until([&] { return gui::window_text(box) == L"测试x"; }, 3000))
      << "the name box holds \"" << gui::utf8(gui::window_text(box)) << "\"\n"
      << gui::describe_windows(app_->pid());
  EXPECT_EQ(app_->other_window(), nullptr) << gui::describe_windows(app_->pid());
  EXPECT_TRUE(app_->running());
  EXPECT_TRUE(IsWindowVisible(app_->form()));
  EXPECT_EQ(gui::listing(app_->folder()),
            (std::vector<std::wstring>{L"Tarvello.exe", L"books.ini"}))
      << "nothing was built";
}

TEST_F(Window, HandPointerOverTheHomePageLinkOnly) {
  ASSERT_TRUE(gui::bring_to_front(app_->form()));
  gui::move_mouse(centre_on_screen(app_->item(Role::home_page_label)));
  Sleep(200);
  app_->settle();
  const HCURSOR arrow = current_cursor();
  gui::move_mouse(centre_on_screen(app_->item(Role::home_page_link)));
  EXPECT_TRUE(gui::wait_until([&] { return current_cursor() != arrow; }, 3000))
      << "the pointer did not change over the link";
  gui::move_mouse(centre_on_screen(app_->item(Role::product_title)));
  EXPECT_TRUE(gui::wait_until([&] { return current_cursor() == arrow; }, 3000))
      << "the pointer stayed changed off the link";
}

TEST_F(Window, ClosingEndsTheProcessAtOnce) {
  PostMessageW(app_->form(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(app_->wait_exit(5000)) << gui::describe_windows(app_->pid());
}

// Start-up without the reader beside the program: a message, the home page, the end;
// the window is never shown.
void expect_refusal(App& app) {
  gui::clear_addresses();
  ASSERT_TRUE(app.launch());
  bool shown = false;
  HWND box = nullptr;
  gui::wait_until(
      [&] {
        if (HWND form = app.find_form(); form && IsWindowVisible(form)) shown = true;
        for (HWND hwnd : gui::top_windows(app.pid())) {
          if (gui::class_name(hwnd) == L"#32770") box = hwnd;
        }
        return box != nullptr || !app.running();
      },
      20000);
  ASSERT_NE(box, nullptr) << "no message\n" << gui::describe_windows(app.pid());
  gui::MessageBoxSeen seen;
  gui::wait_until(
      [&] {
        seen = gui::read_message_box(box);
        return !seen.text.empty() && !seen.buttons.empty();
      },
      2000);
  EXPECT_EQ(seen.title, kTitle);
  EXPECT_EQ(seen.text, gui::wide(app::text::kStubMissing));
  EXPECT_EQ(seen.buttons, std::vector<int>{IDOK});
  EXPECT_EQ(seen.owner, app.find_form()) << "the message belongs to the main window";
  EXPECT_TRUE(gui::addresses().empty()) << "the home page opens only after OK";

  ASSERT_TRUE(gui::press(box, IDOK));
  const bool ended = gui::wait_until(
      [&] {
        if (HWND form = app.find_form(); form && IsWindowVisible(form)) shown = true;
        return !app.running();
      },
      10000);
  EXPECT_TRUE(ended) << "the program went on\n" << gui::describe_windows(app.pid());
  EXPECT_FALSE(shown) << "the main window was shown";
  EXPECT_TRUE(gui::wait_addresses(1));
  EXPECT_EQ(gui::addresses(), std::vector<std::string>{links::home_page_address()});
}

TEST(Startup, WithoutTheReaderShowsTheMessageOpensTheHomePageAndEnds) {
  App app(L"startup-missing", false);
  expect_refusal(app);
  EXPECT_EQ(gui::listing(app.folder()), std::vector<std::wstring>{L"Tarvello.exe"});
}

TEST(Startup, AFolderOrAHiddenFileNamedBooksIniIsNoReader) {
  {
    SCOPED_TRACE("folder");
    App app(L"startup-folder", false);
    gui::make_dirs(app.file(L"books.ini"));
    expect_refusal(app);
  }
  {
    SCOPED_TRACE("hidden file");
    App app(L"startup-hidden");
    SetFileAttributesW(app.file(L"books.ini").c_str(), FILE_ATTRIBUTE_HIDDEN);
    expect_refusal(app);
  }
}

TEST(Links, HelpButtonAndHomePageLinkOpenTheirAddresses) {
  App app(L"links");
  ASSERT_TRUE(app.start());
  ASSERT_TRUE(gui::bring_to_front(app.form()));
  gui::clear_addresses();
  // The other labels and the banner are no links.
  for (Role role :
       {Role::home_page_label, Role::product_title, Role::author, Role::contact, Role::banner}) {
    gui::click_mouse(centre_on_screen(app.item(role)));
  }
  gui::click_mouse(centre_on_screen(app.item(Role::home_page_link)));
  ASSERT_TRUE(gui::wait_addresses(1)) << "the home-page link opened nothing";
  app.click(Role::help);
  ASSERT_TRUE(gui::wait_addresses(2)) << "the help button opened nothing";
  gui::click_mouse(centre_on_screen(app.item(Role::home_page_link)));
  ASSERT_TRUE(gui::wait_addresses(3)) << "a second click opened nothing";
  Sleep(300);
  // The link opens the stored address, whatever its own text shows.
  EXPECT_EQ(gui::addresses(),
            (std::vector<std::string>{links::home_page_address(), links::help_address(),
                                      links::home_page_address()}));
  EXPECT_EQ(app.other_window(), nullptr) << gui::describe_windows(app.pid());
  EXPECT_TRUE(app.titles().empty());
}

}  // namespace
