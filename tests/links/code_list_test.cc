#include "links/code_list.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::size_t pieces(std::string_view codes) {
  return static_cast<std::size_t>(std::count(codes.begin(), codes.end(), ',')) + 1;
}

TEST(CodeList, StoredListsDecodeToTheirTexts) {
  EXPECT_EQ(links::help_address(), "http://tarvello.test/help/zh-cn/index.htm");
  EXPECT_EQ(links::home_page_address(), "http://tarvello.test/");
  EXPECT_EQ(links::output_suffix(), ".exe");
  // One piece per character, and the help address starts with the home page's codes.
  EXPECT_EQ(pieces(links::kHelpAddressCodes), 41u);
  EXPECT_EQ(pieces(links::kHomePageAddressCodes), 21u);
  EXPECT_EQ(pieces(links::kOutputSuffixCodes), 4u);
  EXPECT_TRUE(links::kHelpAddressCodes.starts_with(links::kHomePageAddressCodes));
  EXPECT_EQ(links::help_address().size(), links::home_page_address().size() + 20);
  // Addresses only ever point at a reserved test domain.
  EXPECT_NE(links::home_page_address().find(".test/"), std::string::npos);
}

TEST(CodeList, EncodeIsTheInverseOfDecode) {
  for (std::string_view text : {"", "a", ".exe", "http://tarvello.test/", "书名♂♀"}) {
    std::string codes = links::encode_code_list(text);
    EXPECT_EQ(links::DecodeCodeList(codes), text) << codes;
  }
  EXPECT_EQ(links::encode_code_list(links::home_page_address()), links::kHomePageAddressCodes);
  EXPECT_EQ(links::encode_code_list(".exe"), links::kOutputSuffixCodes);
}

TEST(CodeList, DecodingKeepsNoStateAndRefusesNoInput) {
  EXPECT_EQ(links::DecodeCodeList(links::kHelpAddressCodes),
            links::DecodeCodeList(links::kHelpAddressCodes));
  EXPECT_EQ(links::DecodeCodeList(""), "");
  // Pieces that are no byte value become '?', one each; the text keeps its length.
  EXPECT_EQ(links::DecodeCodeList("59,,x,999,-1"), "a????");
  // A lone lead byte of a double-byte character is no text: '?' in its place.
  EXPECT_EQ(links::DecodeCodeList(std::to_string(0xCA ^ links::kKey)), "?");
}

}  // namespace
