#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "container/format.h"
#include "platform/encoding.h"
#include "platform/file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;

namespace testing_support {

fs::path fs_path(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  // create_directory() says whether the folder is new, so two test programs running at
  // once never share one.
  const auto stamp = std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  fs::path dir;
  do dir = fs::temp_directory_path() / ("tarvello-test-" + stamp + "-" + std::to_string(counter++));
  while (!fs::create_directory(dir));
  const auto text = dir.u8string();
  path_.assign(text.begin(), text.end());
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only files must not stop the clean-up; links are left alone, as their targets
  // may lie outside.
  for (auto it = fs::recursive_directory_iterator(fs_path(path_), ec); !ec && it != fs::end(it);
       it.increment(ec))
    if (!it->is_symlink(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(fs_path(path_), ec);
}

std::string TempDir::file(const std::string& name) const {
  return platform::join(path_, name);
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(fs_path(path), std::ios::binary | std::ios::trunc);
  ASSERT_TRUE(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) << path;
}

std::string pattern_bytes(std::size_t n, std::uint32_t seed) {
  std::string out(n, '\0');
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& c : out) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    c = static_cast<char>(x);
  }
  return out;
}

std::string read_file(const std::string& path) {
  std::ifstream in(fs_path(path), std::ios::binary);
  EXPECT_TRUE(in) << "cannot read " << path;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string listing(const std::string& dir) {
  std::vector<std::u8string> names;
  for (const auto& e : fs::directory_iterator(fs_path(dir)))
    names.push_back(e.path().filename().u8string());
  std::sort(names.begin(), names.end());
  std::string out;
  for (const auto& n : names) out += (out.empty() ? "" : " ") + std::string(n.begin(), n.end());
  return out;
}

long open_descriptors() {
#ifdef _WIN32
  DWORD count = 0;
  return GetProcessHandleCount(GetCurrentProcess(), &count) ? static_cast<long>(count) : -1;
#else
  std::error_code ec;
  auto it = fs::directory_iterator("/proc/self/fd", ec);
  return ec ? -1 : static_cast<long>(std::distance(it, fs::directory_iterator()));
#endif
}

#ifndef _WIN32
Outcome run_shell(const std::string& dir, const std::string& command) {
  const int status =
      std::system(("cd " + sh(dir) + " && { " + command + "; } >.out 2>.err").c_str());
  Outcome r{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
            read_file(dir + "/.out"), read_file(dir + "/.err")};
  fs::remove(dir + "/.out");
  fs::remove(dir + "/.err");
  return r;
}

std::string sh(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}
#endif

std::string cp936(const std::string& text) {
  return platform::utf8_to_cp936(text).value();
}

std::string forge_book(const std::string& name,
                       const std::vector<std::pair<std::string, std::string>>& pdfs,
                       const std::string& reader) {
  std::string bytes = reader;
  bytes.resize(container::kPayloadOffset, '\0');
  std::vector<container::IndexEntry> entries;
  for (const auto& [title, pdf] : pdfs) {
    entries.push_back({title, bytes.size() + 1, pdf.size()});
    bytes += pdf;
  }
  const std::string index = cp936(container::index_text(name, entries));
  return bytes + index + container::trailer_bytes(static_cast<std::uint32_t>(index.size()));
}

std::string minimal_pe(std::pair<std::uint32_t, std::uint32_t> security) {
  std::string pe(0x200, '\0');
  auto put = [&](std::size_t at, std::uint32_t value, int n) {
    for (int i = 0; i < n; ++i) pe[at + i] = static_cast<char>(value >> (8 * i));
  };
  pe[0] = 'M', pe[1] = 'Z';
  put(0x3c, 0x40, 4);  // where the PE header starts
  pe.replace(0x40, 4, std::string("PE\0\0", 4));
  put(0x44, 0x14c, 2);                     // i386
  put(0x54, 224, 2), put(0x56, 0x102, 2);  // optional header size, characteristics
  const std::size_t optional = 0x58;
  put(optional, 0x10b, 2);                                      // PE32
  put(optional + 32, 0x1000, 4), put(optional + 36, 0x200, 4);  // alignments
  put(optional + 60, 0x200, 4), put(optional + 68, 2, 2);       // headers, subsystem
  put(optional + 92, 16, 4);                                    // directories
  put(optional + 96 + 4 * 8, security.first, 4), put(optional + 100 + 4 * 8, security.second, 4);
  return pe;
}

}  // namespace testing_support
