#pragma once
// The memory that conversions running at the same time may take together.
// A conversion reserves its estimate before it starts and gives it back when
// it ends; one that finds no room waits a bounded time, then is refused.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace vantomer {

// A conversion's peak measured at 11 to 26 times the held bytes (text-heavy
// pages to pages of nodes at the node cap); the estimate errs above, and
// four pages at the default HeldResponseMaxBytes fit the default budget.
inline constexpr std::size_t kConversionBytesPerHeldByte = 28;

class ConversionBudget {
 public:
  void setLimit(std::size_t bytes);
  // Waits up to wait for room for bytes; false when none came. A
  // reservation larger than the whole budget is granted once no other is
  // held, so that no page waits for ever.
  bool reserve(std::size_t bytes, std::chrono::milliseconds wait);
  void release(std::size_t bytes);
  std::size_t reserved() const;

 private:
  bool fits(std::size_t bytes) const;  // lock held

  mutable std::mutex lock_;
  std::condition_variable room_;
  std::size_t limit_ = 0;
  std::size_t reserved_ = 0;
};

// One reservation, given back when it goes.
class BudgetReservation {
 public:
  BudgetReservation(ConversionBudget& budget, std::size_t bytes, std::chrono::milliseconds wait)
      : budget_(budget), bytes_(bytes), granted_(budget.reserve(bytes, wait)) {}
  ~BudgetReservation() {
    if (granted_) budget_.release(bytes_);
  }
  BudgetReservation(const BudgetReservation&) = delete;
  BudgetReservation& operator=(const BudgetReservation&) = delete;
  bool granted() const { return granted_; }

 private:
  ConversionBudget& budget_;
  std::size_t bytes_;
  bool granted_;
};

}  // namespace vantomer
