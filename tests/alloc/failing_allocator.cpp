#include "alloc/failing_allocator.h"

#include <cstdlib>
#include <new>

namespace vantomer::test {

thread_local long allocationsLeft = -1;
thread_local bool persistentFailure = false;
thread_local long failures = 0;

namespace {

void* allocate(std::size_t size) {
  if (allocationsLeft == 0) {
    ++failures;
    if (!persistentFailure) allocationsLeft = -1;
    throw std::bad_alloc();
  }
  if (allocationsLeft > 0) --allocationsLeft;
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}

}  // namespace
}  // namespace vantomer::test

void* operator new(std::size_t size) { return vantomer::test::allocate(size); }
void* operator new[](std::size_t size) { return vantomer::test::allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
