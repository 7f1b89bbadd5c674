// The version information and the icon that Tarvello.exe carries, read back from the
// built file.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "gui_kit.h"

namespace {

// One block of a version resource: a key, its value and the blocks inside it.
struct VersionBlock {
  std::wstring key;
  bool text = false;
  std::string value;  // raw bytes
  std::vector<VersionBlock> children;
};

std::size_t align4(std::size_t n) {
  return (n + 3) & ~std::size_t{3};
}

// Parses the block at `data` of at most `size` bytes; nullopt when it is malformed.
std::optional<VersionBlock> parse_block(const char* data, std::size_t size,
                                        std::size_t* length_out) {
  if (size < 6) return std::nullopt;
  WORD length, value_length, type;
  std::memcpy(&length, data, 2);
  std::memcpy(&value_length, data + 2, 2);
  std::memcpy(&type, data + 4, 2);
  if (length < 6 || length > size) return std::nullopt;
  VersionBlock block;
  block.text = type == 1;
  std::size_t at = 6;
  while (true) {
    if (at + 2 > length) return std::nullopt;
    wchar_t c;
    std::memcpy(&c, data + at, 2);
    at += 2;
    if (c == 0) break;
    block.key.push_back(c);
  }
  at = align4(at);
  // A text value counts characters, a binary one bytes.
  const std::size_t value_bytes = block.text ? value_length * 2u : value_length;
  if (at + value_bytes > length) return std::nullopt;
  block.value.assign(data + at, value_bytes);
  at = align4(at + value_bytes);
  while (at < length) {
    std::size_t child_length = 0;
    auto child = parse_block(data + at, length - at, &child_length);
    if (!child) return std::nullopt;
    block.children.push_back(std::move(*child));
    at += align4(child_length);
  }
  *length_out = length;
  return block;
}

std::wstring text_value(const VersionBlock& block) {
  std::wstring text(block.value.size() / 2, L'\0');
  std::memcpy(text.data(), block.value.data(), text.size() * 2);
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

class Resources : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(gui::paths().exe.c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << "cannot load " << gui::utf8(gui::paths().exe);
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }

  std::string resource(const wchar_t* type, const wchar_t* name) const {
    HRSRC found = FindResourceW(module_, name, type);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module_, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return {};
    return std::string(static_cast<const char*>(data), SizeofResource(module_, found));
  }

  HMODULE module_ = nullptr;
};

TEST_F(Resources, VersionInformationHoldsExactlyTheProductStrings) {
  const std::string raw = resource(RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO));
  ASSERT_FALSE(raw.empty()) << "no version resource";
  std::size_t length = 0;
  auto root = parse_block(raw.data(), raw.size(), &length);
  ASSERT_TRUE(root) << "the version resource is malformed";
  EXPECT_EQ(root->key, L"VS_VERSION_INFO");

  ASSERT_EQ(root->value.size(), sizeof(VS_FIXEDFILEINFO));
  VS_FIXEDFILEINFO fixed;
  std::memcpy(&fixed, root->value.data(), sizeof fixed);
  EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
  // 2012.916.0.3
  EXPECT_EQ(fixed.dwFileVersionMS, (2012u << 16) | 916u);
  EXPECT_EQ(fixed.dwFileVersionLS, 3u);
  EXPECT_EQ(fixed.dwProductVersionMS, (2012u << 16) | 916u);
  EXPECT_EQ(fixed.dwProductVersionLS, 3u);
  EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ(fixed.dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));

  std::set<std::wstring> sections;
  for (const VersionBlock& section : root->children) {
    EXPECT_TRUE(sections.insert(section.key).second) << "two " << gui::utf8(section.key);
    if (section.key == L"StringFileInfo") {
      ASSERT_EQ(section.children.size(), 1u) << "one string table";
      const VersionBlock& table = section.children[0];
      EXPECT_EQ(table.key, L"080404b0");  // Chinese (PRC), Unicode
      std::map<std::wstring, std::wstring> strings;
      for (const VersionBlock& entry : table.children) {
        EXPECT_TRUE(strings.emplace(entry.key, text_value(entry)).second)
            << "two " << gui::utf8(entry.key);
      }
      const std::map<std::wstring, std::wstring> expected{
          {L"ProductName", L"Tarvello"},          {L"FileVersion", L"2012.916.0003"},
          {L"ProductVersion", L"2012.916.0003"},  {L"InternalName", L"Tarvello"},
          {L"OriginalFilename", L"Tarvello.exe"},
      };
      EXPECT_EQ(strings, expected);
    } else if (section.key == L"VarFileInfo") {
      ASSERT_EQ(section.children.size(), 1u);
      EXPECT_EQ(section.children[0].key, L"Translation");
      EXPECT_EQ(section.children[0].value, std::string("\x04\x08\xb0\x04", 4));
    } else {
      ADD_FAILURE() << "unexpected section " << gui::utf8(section.key);
    }
  }
  EXPECT_EQ(sections, (std::set<std::wstring>{L"StringFileInfo", L"VarFileInfo"}));
}

// What the system's version functions hand to every other program.
TEST_F(Resources, VersionFunctionsReadTheSameValues) {
  const std::wstring& exe = gui::paths().exe;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::string data(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, data.data()));

  auto query = [&](const wchar_t* path) -> std::wstring {
    void* value = nullptr;
    UINT chars = 0;
    if (!VerQueryValueW(data.data(), path, &value, &chars) || !value) return L"<none>";
    std::wstring text(static_cast<const wchar_t*>(value), chars);
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
  };
  EXPECT_EQ(query(L"\\StringFileInfo\\080404b0\\ProductName"), L"Tarvello");
  EXPECT_EQ(query(L"\\StringFileInfo\\080404b0\\FileVersion"), L"2012.916.0003");
  EXPECT_EQ(query(L"\\StringFileInfo\\080404b0\\ProductVersion"), L"2012.916.0003");
  EXPECT_EQ(query(L"\\StringFileInfo\\080404b0\\InternalName"), L"Tarvello");
  EXPECT_EQ(query(L"\\StringFileInfo\\080404b0\\OriginalFilename"), L"Tarvello.exe");

  void* value = nullptr;
  UINT bytes = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &bytes));
  ASSERT_EQ(bytes, 4u);
  const auto* pair = static_cast<const WORD*>(value);
  EXPECT_EQ(pair[0], 0x0804);
  EXPECT_EQ(pair[1], 1200);

  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", &value, &bytes));
  ASSERT_EQ(bytes, sizeof(VS_FIXEDFILEINFO));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), 2012);
  EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), 916);
  EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), 0);
  EXPECT_EQ(LOWORD(fixed->dwFileVersionLS), 3);
}

TEST_F(Resources, OneIconOfNineImages) {
  std::vector<std::wstring> groups;
  EnumResourceNamesW(
      module_, RT_GROUP_ICON,
      [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) -> BOOL {
        auto* found = reinterpret_cast<std::vector<std::wstring>*>(param);
        found->push_back(IS_INTRESOURCE(name)
                             ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name))
                             : std::wstring(name));
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&groups));
  ASSERT_EQ(groups.size(), 1u) << "one icon resource";

  const std::wstring& group = groups[0];
  const std::string dir =
      group[0] == L'#' ? resource(RT_GROUP_ICON, MAKEINTRESOURCEW(std::stoi(group.substr(1))))
                       : resource(RT_GROUP_ICON, group.c_str());
  ASSERT_GE(dir.size(), 6u);
  WORD count;
  std::memcpy(&count, dir.data() + 4, 2);
  ASSERT_EQ(count, 9);
  ASSERT_EQ(dir.size(), 6u + count * 14u);

  // 16, 32 and 48 pixels, each in 2, 16 and 256 colours.
  std::set<std::pair<int, int>> images;
  for (WORD i = 0; i < count; ++i) {
    const char* entry = dir.data() + 6 + i * 14;
    const int width = static_cast<unsigned char>(entry[0]);
    const int height = static_cast<unsigned char>(entry[1]);
    WORD bits, id;
    std::memcpy(&bits, entry + 6, 2);
    std::memcpy(&id, entry + 12, 2);
    EXPECT_EQ(width, height);
    images.insert({width, bits});
    EXPECT_FALSE(resource(RT_ICON, MAKEINTRESOURCEW(id)).empty()) << "image " << id << " missing";
  }
  EXPECT_EQ(images,
            (std::set<std::pair<int, int>>{
                {16, 1}, {16, 4}, {16, 8}, {32, 1}, {32, 4}, {32, 8}, {48, 1}, {48, 4}, {48, 8}}));
}

}  // namespace
