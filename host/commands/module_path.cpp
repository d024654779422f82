#include "commands/module_path.h"

#include <unistd.h>

#include <vector>

namespace vantomer::host {

std::string defaultModulePath() {
  std::vector<char> buffer(4096);
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return "vantomer.so";
  std::string exe(buffer.data(), static_cast<std::size_t>(n));
  const std::size_t slash = exe.rfind('/');
  return (slash == std::string::npos ? std::string(".") : exe.substr(0, slash)) + "/vantomer.so";
}

}  // namespace vantomer::host
