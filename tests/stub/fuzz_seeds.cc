// Makes the fuzzer's seed inputs from real e-books: small books written by the builder,
// cut to what the reader reads (everything from the payload on), plus their index
// blocks and titles in the fuzz target's other two forms. Usage: fuzz_seeds DIR
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "builder/build.h"
#include "builder/container.h"
#include "platform/encoding.h"

namespace fs = std::filesystem;

namespace {

struct Seed {
  std::string name;
  std::vector<std::pair<std::string, std::size_t>> pdfs;  // title, size
};

void write(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string three_bytes(std::size_t n) {
  return {static_cast<char>(n & 0xff), static_cast<char>((n >> 8) & 0xff),
          static_cast<char>((n >> 16) & 0xff)};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
    return 2;
  }
  const fs::path out = argv[1];
  fs::create_directories(out);
  char scratch_template[] = "/tmp/tarvello-seeds-XXXXXX";
  if (!mkdtemp(scratch_template)) return 1;
  const fs::path scratch = scratch_template;
  write(scratch / "books.ini", "stub");

  const std::vector<Seed> seeds = {
      {"ab", {{"x", 1000}}},
      {" 书 名 ", {{"第一章", 10}, {"第二章", 20}, {"附录♂♀", 3}}},
      {"危险的标题", {{"../../evil", 5}, {"CON", 6}, {"a\\b:c", 7}, {"<>|?*\"", 8}, {" .. ", 9}}},
      {"many", {}},
  };
  int number = 0;
  for (auto seed : seeds) {
    if (seed.name == "many") {
      for (int i = 0; i < 40; ++i) seed.pdfs.push_back({"第" + std::to_string(i) + "节", 1});
    }
    builder::BuildRequest request;
    request.book_name = seed.name;
    request.out_dir = scratch.string();
    request.stub_path = (scratch / "books.ini").string();
    int pdf = 0;
    for (const auto& [title, size] : seed.pdfs) {
      fs::path path = scratch / ("p" + std::to_string(pdf++) + ".pdf");
      write(path, std::string(size, static_cast<char>('A' + pdf % 26)));
      request.entries.push_back({title, path.string()});
    }
    builder::BuildResult result = builder::write_ebook(request);
    if (!result.ok) {
      std::fprintf(stderr, "%s\n", builder::describe(result.failure).c_str());
      return 1;
    }
    const std::string book = read(result.output_path);
    fs::remove(result.output_path);
    const std::string tail = book.substr(builder::kPayloadOffset);
    const std::string tag = std::to_string(++number);
    write(out / ("book-" + tag), std::string(1, '\0') + tail);

    // The index block alone, and once more with the empty last line a reader accepts.
    std::uint32_t index_length = 0;
    for (int i = 3; i >= 0; --i) {
      index_length = index_length << 8 | static_cast<unsigned char>(tail[tail.size() - 4 + i]);
    }
    const std::size_t payload = tail.size() - 4 - index_length;
    const std::string index = tail.substr(payload, index_length);
    write(out / ("index-" + tag), "\1" + three_bytes(payload) + index);
    write(out / ("index-empty-line-" + tag), "\1" + three_bytes(payload) + index + "\r\n");
    for (const auto& [title, size] : seed.pdfs) {
      write(out / ("title-" + tag + "-" + std::to_string(size)), "\2" + title);
    }
  }
  fs::remove_all(scratch);
  return 0;
}
