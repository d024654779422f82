#pragma once
// Stand-ins for the system services: tick count, message texts, module path,
// the periodic timer.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/hresult.h"

namespace vantomer::sys {

// 32-bit millisecond tick from a monotonic clock; wraps after about 49.7 days.
uint32_t tickCount();

// Message text of a result code with its trailing CR LF; empty when unknown.
std::string messageText(HRESULT code);

// Writes one line to the host's error output (stderr), prefixed with the
// module's name.
void logLine(const std::string& line);

// Hands the allocator's free memory back to the system.
void returnFreeMemory();

// Directory of the loaded module file (no trailing slash).
std::string moduleDirectory();

// Absolute form of an existing path, symbolic links resolved; empty when it
// cannot be resolved.
std::string realPath(const std::string& path);

// Joins a directory and a file name with one "/".
std::string pathCombine(const std::string& dir, const std::string& name);

// Calls a procedure every period from start() until stop(). stop() returns
// only once the procedure is no longer running and is safe to call twice.
class PeriodicTimer {
 public:
  PeriodicTimer() = default;
  ~PeriodicTimer();
  PeriodicTimer(const PeriodicTimer&) = delete;
  PeriodicTimer& operator=(const PeriodicTimer&) = delete;

  // Returns false when a timer already runs or no thread could be started.
  bool start(uint32_t periodMs, std::function<void()> procedure);
  // Returns false when no timer ran.
  bool stop();
  bool running() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::thread thread_;
  bool running_ = false;
  bool stopping_ = false;
};

}  // namespace vantomer::sys
