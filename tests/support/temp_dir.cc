#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "container/format.h"
#include "platform/encoding.h"
#include "platform/file.h"
#include "support/scripted_desktop.h"

namespace fs = std::filesystem;

namespace testing_support {
namespace {

// std::filesystem takes a plain std::string in the system's code page on Windows;
// our strings are UTF-8.
fs::path u8(const std::string& s) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(s.data()), s.size()));
}

std::string from_u8(const fs::path& p) {
  auto s = p.u8string();
  return std::string(reinterpret_cast<const char*>(s.data()), s.size());
}

}  // namespace

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  // create_directory() says whether the folder is new, so two test programs running at
  // once never share one.
  fs::path dir;
  do {
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir = fs::temp_directory_path() /
          ("tarvello-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  } while (!fs::create_directory(dir));
  path_ = from_u8(dir);
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only files and folders must not stop the clean-up. Links are left alone: making
  // them writable would change whatever they point to, maybe outside this folder.
  for (auto it = fs::recursive_directory_iterator(u8(path_), ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    ec.clear();
  }
  fs::remove_all(u8(path_), ec);
}

std::string TempDir::file(const std::string& name) const {
  return platform::join(path_, name);
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(u8(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::string pattern_bytes(std::size_t n, std::uint32_t seed) {
  std::string out(n, '\0');
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& c : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x & 0xff);
  }
  return out;
}

std::string read_file(const std::string& path) {
  std::ifstream in(u8(path), std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "cannot read " << path;
    return {};
  }
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string listing(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(u8(dir)))
    names.push_back(from_u8(e.path().filename()));
  std::sort(names.begin(), names.end());
  std::string out;
  for (const auto& n : names) out += (out.empty() ? "" : " ") + n;
  return out;
}

long open_descriptors() {
#ifdef __linux__
  std::error_code ec;
  auto it = fs::directory_iterator("/proc/self/fd", ec);
  if (ec) return -1;
  return static_cast<long>(std::distance(it, fs::directory_iterator()));
#else
  return -1;
#endif
}

std::string forge_book(const std::string& name,
                       const std::vector<std::pair<std::string, std::string>>& pdfs,
                       const std::string& stub) {
  std::string bytes = stub;
  bytes.resize(container::kPayloadOffset, '\0');
  std::vector<container::IndexEntry> entries;
  for (const auto& [title, pdf] : pdfs) {
    entries.push_back({title, bytes.size() + 1, pdf.size()});
    bytes += pdf;
  }
  const std::string index = platform::utf8_to_cp936(container::index_text(name, entries)).value();
  return bytes + index + container::trailer_bytes(static_cast<std::uint32_t>(index.size()));
}

bool ScriptedDesktop::pump_until(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    std::function<void()> task;
    {
      std::lock_guard lock(guard_);
      if (!tasks_.empty()) {
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
    }
    if (task) {
      task();
    } else if (std::chrono::steady_clock::now() > deadline) {
      return false;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  return true;
}

}  // namespace testing_support
