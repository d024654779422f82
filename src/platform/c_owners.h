#pragma once
// Owners for C library resources: a stream or a malloc'd block is released
// on every way out of its scope, exceptions included.

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace vantomer {

struct CloseFile {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, CloseFile>;

// For blocks the C library hands over to be freed (realpath, strdup).
struct FreeMemory {
  void operator()(void* memory) const noexcept { std::free(memory); }
};
template <typename T>
using MallocPtr = std::unique_ptr<T, FreeMemory>;

}  // namespace vantomer
