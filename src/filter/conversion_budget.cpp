#include "filter/conversion_budget.h"

namespace vantomer {

void ConversionBudget::setLimit(std::size_t bytes) {
  std::lock_guard<std::mutex> hold(lock_);
  limit_ = bytes;
}

bool ConversionBudget::fits(std::size_t bytes) const {
  return reserved_ == 0 || (reserved_ <= limit_ && bytes <= limit_ - reserved_);
}

bool ConversionBudget::reserve(std::size_t bytes, std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> hold(lock_);
  if (!room_.wait_for(hold, wait, [&] { return fits(bytes); })) return false;
  reserved_ += bytes;
  return true;
}

void ConversionBudget::release(std::size_t bytes) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    reserved_ -= bytes;
  }
  room_.notify_all();
}

std::size_t ConversionBudget::reserved() const {
  std::lock_guard<std::mutex> hold(lock_);
  return reserved_;
}

}  // namespace vantomer
