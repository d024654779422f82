#include "platform/system.h"

#include <dlfcn.h>
#include <link.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <system_error>
#include <utility>

#include "platform/c_owners.h"

namespace vantomer::sys {

uint32_t tickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(
      static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
}

std::string messageText(HRESULT code) {
  struct Message {
    HRESULT code;
    const char* text;
  };
  static constexpr Message kMessages[] = {
      {E_FAIL, "Unspecified error"},
      {E_OUTOFMEMORY, "Not enough memory resources are available to complete this operation."},
      {E_INVALIDARG, "The parameter is incorrect."},
      {E_NOTIMPL, "Not implemented"},
      {E_POINTER, "Invalid pointer"},
      {E_ABORT, "Operation aborted"},
      {E_UNEXPECTED, "Catastrophic failure"},
      {E_NOT_SUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
      {E_BUSY, "The requested resource is in use."},
  };
  for (const Message& m : kMessages)
    if (m.code == code) return std::string(m.text) + "\r\n";
  return {};
}

void logLine(const std::string& line) {
  std::string text = "vantomer: " + line + "\n";
  // One write: lines of several threads do not interleave.
  const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
  static_cast<void>(written);
}

void returnFreeMemory() { malloc_trim(0); }

namespace {

std::string programPath() {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

std::string moduleDirectory() {
  // Any address inside this code names the file it was loaded from: the
  // module when linked into it, the executable otherwise.
  Dl_info info{};
  link_map* map = nullptr;
  if (!dladdr1(reinterpret_cast<void*>(&moduleDirectory), &info, reinterpret_cast<void**>(&map),
               RTLD_DL_LINKMAP))
    return ".";
  std::string path;
  if (map && map->l_name && map->l_name[0] == '\0') {
    path = programPath();  // the loader knows the main program only by argv[0]
  } else if (info.dli_fname) {
    path = info.dli_fname;
    if (!path.empty() && path.front() != '/') {
      if (std::string full = realPath(path); !full.empty()) path = std::move(full);
    }
  }
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  path.resize(slash);
  return path;
}

std::string realPath(const std::string& path) {
  // Freed also when the copy cannot be allocated.
  const MallocPtr<char> full(realpath(path.c_str(), nullptr));
  return full ? std::string(full.get()) : std::string();
}

std::string pathCombine(const std::string& dir, const std::string& name) {
  if (dir.empty() || (!name.empty() && name.front() == '/')) return name;
  if (name.empty()) return dir;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

PeriodicTimer::~PeriodicTimer() { stop(); }

bool PeriodicTimer::start(uint32_t periodMs, std::function<void()> procedure) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (running_ || !procedure) return false;
  stopping_ = false;
  try {
    thread_ = std::thread([this, periodMs, procedure = std::move(procedure)] {
      const auto period = std::chrono::milliseconds(periodMs);
      std::unique_lock<std::mutex> lk(mutex_);
      for (;;) {
        if (wake_.wait_for(lk, period, [this] { return stopping_; })) return;
        lk.unlock();
        try {
          procedure();
        } catch (...) {
          // Nothing may leave the timer thread; the next period tries again.
        }
        lk.lock();
      }
    });
  } catch (const std::exception&) {
    return false;
  }
  running_ = true;
  return true;
}

bool PeriodicTimer::stop() {
  std::unique_lock<std::mutex> lk(mutex_);
  if (!running_) return false;
  if (stopping_) {
    // Another caller is stopping it: return once that is done.
    wake_.wait(lk, [this] { return !running_; });
    return true;
  }
  stopping_ = true;
  std::thread worker = std::move(thread_);
  lk.unlock();
  wake_.notify_all();
  if (worker.get_id() == std::this_thread::get_id()) {
    // Stopped from its own procedure: the loop ends when the procedure
    // returns, as it sees stopping_.
    worker.detach();
  } else if (worker.joinable()) {
    worker.join();
  }
  lk.lock();
  running_ = false;
  lk.unlock();
  wake_.notify_all();
  return true;
}

bool PeriodicTimer::running() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_;
}

}  // namespace vantomer::sys
