// Makes the fuzzer's seed inputs: the tails of small e-books as the writer lays them out
// (everything from the payload on), their index blocks, and their titles, in the fuzz
// target's three forms. Usage: fuzz_seeds DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "container/format.h"
#include "platform/encoding.h"

namespace {

void write(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
    return 2;
  }
  const std::filesystem::path out = argv[1];
  std::filesystem::create_directories(out);
  const std::vector<std::pair<std::string, std::vector<std::string>>> books = {
      {"ab", {"x"}},
      {" 书 名 ", {"第一章", "第二章", "附录♂♀"}},
      {"危险的标题", {"../../evil", "CON", "a\\b:c", "<>|?*\"", " .. ", "\x1b[2J\u202E"}},
  };
  int number = 0;
  for (const auto& [name, titles] : books) {
    std::string payload;
    std::vector<container::IndexEntry> entries;
    for (const auto& title : titles) {
      entries.push_back({title, container::kPayloadPosition + payload.size(), 7});
      payload += std::string(7, static_cast<char>('A' + entries.size()));
    }
    const std::string index = platform::utf8_to_cp936(container::index_text(name, entries)).value();
    const std::string size = {static_cast<char>(payload.size()), 0, 0};
    const std::string tag = std::to_string(++number);
    write(out / ("book-" + tag),
          '\0' + payload + index +
              container::trailer_bytes(static_cast<std::uint32_t>(index.size())));
    write(out / ("index-" + tag), "\1" + size + index);
    write(out / ("index-empty-line-" + tag), "\1" + size + index + "\r\n");
    for (std::size_t i = 0; i < titles.size(); ++i) {
      write(out / ("title-" + tag + "-" + std::to_string(i)), "\2" + titles[i]);
    }
  }
  return 0;
}
