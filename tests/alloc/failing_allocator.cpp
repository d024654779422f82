#include "alloc/failing_allocator.h"

#include <cstdlib>
#include <new>

namespace vantomer::test {

namespace {

thread_local long tAllocationsLeft = -1;
thread_local bool tPersistentFailure = false;
thread_local long tFailures = 0;

void* allocate(std::size_t size) {
  if (tAllocationsLeft == 0) {
    ++tFailures;
    if (!tPersistentFailure) tAllocationsLeft = -1;
    throw std::bad_alloc();
  }
  if (tAllocationsLeft > 0) --tAllocationsLeft;
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}

}  // namespace

long& allocationsLeft() { return tAllocationsLeft; }
bool& persistentFailure() { return tPersistentFailure; }
long& failures() { return tFailures; }

}  // namespace vantomer::test

void* operator new(std::size_t size) { return vantomer::test::allocate(size); }
void* operator new[](std::size_t size) { return vantomer::test::allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
