#pragma once
// What AllocMem hands a filter during one request: first from a block the
// connection keeps across its requests (a held response needs a few dozen
// bytes, every time), then from the heap. All of it stays valid until the
// request is over and is taken back together. Bounded, so that a filter
// cannot take the host's memory.

#include <cstddef>
#include <memory>
#include <vector>

namespace vantomer::host {

class RequestMemory {
 public:
  // The kept block has at least reservedBytes; it is allocated here, so that
  // handing it out later allocates nothing.
  explicit RequestMemory(std::size_t reservedBytes);

  // Null when the bounds are reached or the heap is exhausted; never throws.
  void* allocate(std::size_t size) noexcept;
  // The request is over: everything handed out is taken back.
  void release() noexcept;

  static constexpr std::size_t kMaxAllocation = 64u * 1024 * 1024;
  static constexpr std::size_t kMaxPerRequest = 256u * 1024 * 1024;

 private:
  using Unit = std::max_align_t;

  std::unique_ptr<Unit[]> reserved_;
  std::size_t reservedUnits_ = 0;
  std::size_t usedUnits_ = 0;
  std::vector<std::unique_ptr<Unit[]>> heap_;
  std::size_t bytes_ = 0;
};

}  // namespace vantomer::host
