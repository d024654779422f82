#pragma once
// Dates in the form HTTP headers carry them.

#include <cstdint>
#include <string>

namespace vantomer::host {

// "Mon, 02 Jan 2006 15:04:05 GMT"
std::string httpDate(std::int64_t unixSeconds);
// httpDate of the current second.
std::string currentHttpDate();

}  // namespace vantomer::host
