#include "binding/request_memory.h"

#include <new>

namespace vantomer::host {

RequestMemory::RequestMemory(std::size_t reservedBytes)
    : reservedUnits_((reservedBytes + sizeof(Unit) - 1) / sizeof(Unit)) {
  if (reservedUnits_ > 0) reserved_ = std::make_unique_for_overwrite<Unit[]>(reservedUnits_);
}

void* RequestMemory::allocate(std::size_t size) noexcept {
  if (size > kMaxAllocation || bytes_ + size > kMaxPerRequest) return nullptr;
  // Whole units keep every block aligned for any type the filter builds in it.
  const std::size_t units = size == 0 ? 1 : (size + sizeof(Unit) - 1) / sizeof(Unit);
  if (units <= reservedUnits_ - usedUnits_) {
    void* p = reserved_.get() + usedUnits_;
    usedUnits_ += units;
    bytes_ += size;
    return p;
  }
  try {
    heap_.reserve(heap_.size() + 1);
  } catch (...) {
    return nullptr;
  }
  std::unique_ptr<Unit[]> block(new (std::nothrow) Unit[units]);
  if (!block) return nullptr;
  void* p = block.get();
  heap_.push_back(std::move(block));
  bytes_ += size;
  return p;
}

void RequestMemory::release() noexcept {
  usedUnits_ = 0;
  heap_.clear();
  bytes_ = 0;
}

}  // namespace vantomer::host
