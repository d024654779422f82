#include "commands/module_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace vantomer::host {

std::string defaultModulePath() {
  std::vector<char> buffer(4096);
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return "vantomer.so";
  std::string exe(buffer.data(), static_cast<std::size_t>(n));
  const std::size_t slash = exe.rfind('/');
  const std::string directory =
      slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
  const std::string beside = directory + "/vantomer.so";
  // Installed, the program is in bin/ and the module in lib/vantomer/.
  const std::string installed = directory + "/../lib/vantomer/vantomer.so";
  struct stat st {};
  if (::stat(beside.c_str(), &st) != 0 && ::stat(installed.c_str(), &st) == 0) return installed;
  return beside;
}

}  // namespace vantomer::host
