#pragma once
// Running the vantomer executable from tests: a scratch directory, the
// server as a child process, one-shot commands.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantomer::test {

// A fresh directory under /tmp, removed with everything in it.
class ServerDir {
 public:
  ServerDir();
  ~ServerDir();
  ServerDir(const ServerDir&) = delete;
  ServerDir& operator=(const ServerDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Writes a file (creating parent directories) and returns its path.
  std::string write(const std::string& name, const std::string& content) const;
  // Copies a file into the directory and returns the new path.
  std::string copy(const std::string& from, const std::string& name) const;

 private:
  std::string path_;
};

std::string readFile(const std::string& path);

// A port on 127.0.0.1 that nothing listened on a moment ago.
unsigned freePort();
// Whether something accepts connections on 127.0.0.1:port.
bool portOpen(unsigned port);

class ChildProcess {
 public:
  // Starts program with args; stdout and stderr go to files in dir.
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::string& dir, const std::map<std::string, std::string>& env = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Waits until the port accepts connections (false if the child exits first).
  bool waitForPort(unsigned port, std::chrono::milliseconds timeout = std::chrono::seconds(10));
  void signal(int number);
  int pid() const { return pid_; }
  // The exit status, or nullopt while it runs past the timeout; -signal when killed.
  std::optional<int> wait(std::chrono::milliseconds timeout);
  std::string out() const;
  std::string err() const;

 private:
  int pid_ = -1;
  std::optional<int> status_;
  std::string outPath_;
  std::string errPath_;
};

struct CommandResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs a program to its end (at most the given seconds), feeding it input.
CommandResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = "", int seconds = 20);

// A self-signed certificate for 127.0.0.1 and its key, written by openssl.
bool makeCertificate(const std::string& certPath, const std::string& keyPath);

}  // namespace vantomer::test
