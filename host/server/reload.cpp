#include "server/reload.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <iostream>
#include <thread>

namespace vantomer::host {
namespace {

using Clock = std::chrono::steady_clock;

// What `vantomer check` says of the module's files, and whether they load.
bool settingsLoad(const std::string& modulePath, std::string& report) {
  int channel[2];
  if (::pipe(channel) != 0) {
    report = "cannot start the check";
    return false;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(channel[1], 1);
    ::dup2(channel[1], 2);
    ::close(channel[0]);
    ::close(channel[1]);
    ::execl("/proc/self/exe", "vantomer", "check", "--module", modulePath.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(channel[1]);
  if (child < 0) {
    ::close(channel[0]);
    report = "cannot start the check";
    return false;
  }
  std::array<char, 4096> buffer;
  for (ssize_t n; (n = ::read(channel[0], buffer.data(), buffer.size())) != 0;) {
    if (n > 0) report.append(buffer.data(), static_cast<std::size_t>(n));
  }
  ::close(channel[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The lines of the check's report that say what is wrong.
std::string problems(const std::string& report) {
  std::string out;
  std::size_t start = 0;
  while (start < report.size()) {
    std::size_t end = report.find('\n', start);
    if (end == std::string::npos) end = report.size();
    const std::string line = report.substr(start, end - start);
    if (line.find(": error: ") != std::string::npos || line.rfind("FAILED", 0) == 0)
      out += "vantomer: reload: " + line + "\n";
    start = end + 1;
  }
  return out.empty() ? "vantomer: reload: " + report : out;
}

}  // namespace

bool reloadFilter(FilterModule& module, ServerShared& shared, std::chrono::milliseconds patience) {
  std::string report;
  if (!settingsLoad(module.path(), report)) {
    std::cerr << problems(report) << "vantomer: reload refused; the settings in force stay\n";
    return false;
  }
  const auto start = Clock::now();
  shared.filterClosed = true;
  while (shared.inFilter > 0 && Clock::now() - start < patience)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (shared.inFilter > 0) {
    shared.filterClosed = false;
    std::cerr << "vantomer: reload postponed: requests inside the filter did not finish within "
              << patience.count() << " ms; the settings in force stay\n";
    return false;
  }
  const bool loaded = module.reload() != FALSE;
  shared.filterClosed = false;
  const auto paused = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  if (!loaded) {
    std::cerr << "vantomer: reload: the filter refused its settings after the check passed; "
                 "it runs on what it read\n";
    return false;
  }
  std::cerr << "vantomer: reloaded " << module.path() << " (new requests waited up to "
            << paused.count() << " ms)\n";
  return true;
}

}  // namespace vantomer::host
