#pragma once
// Command-line reading shared by the subcommands.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantomer::host {

class CommandLine {
 public:
  explicit CommandLine(std::vector<std::string> args) : args_(std::move(args)) {}

  bool more() const { return pos_ < args_.size(); }
  const std::string& peek() const { return args_[pos_]; }
  std::string take() { return args_[pos_++]; }
  // Consumes "--name VALUE" or "--name=VALUE"; a missing value is an error.
  bool value(std::string_view name, std::string& out);
  // Consumes "--name".
  bool flag(std::string_view name);

  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }
  void fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
  }

 private:
  std::vector<std::string> args_;
  std::size_t pos_ = 0;
  std::string error_;
};

// "30", "2.5", "500ms", "10s"; seconds unless suffixed.
bool parseDuration(std::string_view text, std::chrono::milliseconds& out);
// "16384", "16k", "10M", "1G" (binary multiples).
bool parseSize(std::string_view text, std::uint64_t& out);
// "127.0.0.1:8080", "[::1]:8443", "localhost:80".
bool parseHostPort(std::string_view text, std::string& host, unsigned& port);
// "http://HOST[:PORT][/]".
bool parseUpstream(std::string_view text, std::string& host, unsigned& port);

}  // namespace vantomer::host
