#include "builder/extract_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ExtractName, HostileTitlesBecomePlainNamesInsideTheFolder) {
  struct Case {
    const char* title;
    const char* name;
  };
  const Case cases[] = {
      {"第一章", "001-第一章.pdf"},
      {"../../evil", "001-_.._evil.pdf"},
      {"..\\..\\evil", "001-_.._evil.pdf"},
      {"a/b", "001-a_b.pdf"},
      {"/etc/passwd", "001-_etc_passwd.pdf"},
      {"C:\\Windows\\x", "001-C__Windows_x.pdf"},
      {"<>:\"|?*", "001-_______.pdf"},
      {"CON", "001-CON.pdf"},  // the number in front keeps it off every device name
      {"..", "001.pdf"},
      {".", "001.pdf"},
      {"", "001.pdf"},
      {" . . ", "001.pdf"},
      {"  .title. ", "001-title.pdf"},
      {"tab\there\nnew", "001-tab_here_new.pdf"},
      {"esc\x1b[2J", "001-esc_[2J.pdf"},
      {"del\x7f", "001-del_.pdf"},
      {"c1\xc2\x9b", "001-c1_.pdf"},  // U+009B, a terminal's escape
      {"bad\xff\xfeutf8", "001-bad__utf8.pdf"},
      {"cut\xe4\xb8", "001-cut__.pdf"},  // a character missing its last byte
      {"x.pdf", "001-x.pdf.pdf"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(builder::extract_file_name(1, 1, c.title), c.name) << "title: " << c.title;
  }
}

TEST(ExtractName, LongTitlesAreCutBetweenCharacters) {
  std::string chinese;
  for (int i = 0; i < 100; ++i) chinese += "中";  // 3 bytes each
  EXPECT_EQ(builder::safe_title(chinese), chinese.substr(0, 150));
  EXPECT_EQ(builder::safe_title("a" + chinese), "a" + chinese.substr(0, 147));

  // What the cut leaves at the end is trimmed like any other end.
  std::string spaced = std::string(149, 'x') + " tail";
  EXPECT_EQ(builder::safe_title(spaced), std::string(149, 'x'));
  EXPECT_LE(builder::extract_file_name(1, 1, std::string(1000, 'y')).size(), 4 + 150 + 4);
}

TEST(ExtractName, NumbersAreWideEnoughToSortInBookOrder) {
  EXPECT_EQ(builder::extract_file_name(7, 12, "a"), "007-a.pdf");
  EXPECT_EQ(builder::extract_file_name(42, 1000, ""), "0042.pdf");
  EXPECT_EQ(builder::extract_file_name(32767, 32767, "x"), "32767-x.pdf");
}

// One PDF on its own keeps its plain title, but never a device's name.
TEST(ExtractName, SingleFilesKeepTheirTitleButNeverADevice) {
  EXPECT_EQ(builder::single_file_name("第一章"), "第一章.pdf");
  EXPECT_EQ(builder::single_file_name("../a:b"), "_a_b.pdf");
  EXPECT_EQ(builder::single_file_name(" .. "), "未命名.pdf");
  for (const char* device : {"CON", "nul", "Com1", "LPT9", "aux.x", "CON ", "COM¹", "conout$"}) {
    std::string name = builder::single_file_name(device);
    EXPECT_EQ(name.front(), '_') << device;
    EXPECT_FALSE(builder::is_device_name(name)) << device;
  }
  for (const char* plain : {"CONX", "COM0", "COM10", "LPT", "ACON", "第CON"}) {
    EXPECT_FALSE(builder::is_device_name(std::string(plain) + ".pdf")) << plain;
  }
}

}  // namespace
