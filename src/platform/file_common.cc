#include "platform/file.h"

namespace platform {

char separator() {
#ifdef _WIN32
  return '\\';
#else
  return '/';
#endif
}

std::string join(const std::string& dir, const std::string& name) {
  std::string out;
  out.reserve(dir.size() + 1 + name.size());
  out += dir;
  out += separator();
  out += name;
  return out;
}

std::string base_name(const std::string& path) {
#ifdef _WIN32
  const auto cut = path.find_last_of("\\/");
#else
  const auto cut = path.find_last_of('/');
#endif
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace platform
