#pragma once
// A file under /tmp that holds the current input, for loaders that read by path.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace vantomer::fuzz {

class TempFile {
 public:
  explicit TempFile(const char* name)
      : path_("/tmp/vantomer-fuzz-" + std::to_string(::getpid()) + "-" + name) {}
  ~TempFile() { std::remove(path_.c_str()); }

  const std::string& write(const uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (!file) std::abort();
    if (size && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
    return path_;
  }

 private:
  std::string path_;
};

}  // namespace vantomer::fuzz
