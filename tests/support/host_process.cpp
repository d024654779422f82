#include "support/host_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

namespace vantomer::test {
namespace {

namespace fs = std::filesystem;

sockaddr_in loopback(unsigned port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

std::optional<int> decode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return -WTERMSIG(status);
  return std::nullopt;
}

}  // namespace

ServerDir::ServerDir() {
  char pattern[] = "/tmp/vantomer-host-XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ServerDir::~ServerDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string ServerDir::write(const std::string& name, const std::string& content) const {
  const std::string target = file(name);
  fs::create_directories(fs::path(target).parent_path());
  std::ofstream out(target, std::ios::binary);
  out << content;
  return target;
}

std::string ServerDir::copy(const std::string& from, const std::string& name) const {
  const std::string target = file(name);
  fs::create_directories(fs::path(target).parent_path());
  fs::copy_file(from, target, fs::copy_options::overwrite_existing);
  return target;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

unsigned freePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = loopback(0);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

bool portOpen(unsigned port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = loopback(port);
  const bool open = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return open;
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::string& dir, const std::map<std::string, std::string>& env)
    : outPath_(dir + "/child.out"), errPath_(dir + "/child.err") {
  // Everything the child needs is built before the fork: other threads of
  // the test may hold the allocator's lock at that moment.
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (!env.count(entry.substr(0, entry.find('=')))) environment.push_back(entry);
  }
  for (const auto& [name, value] : env) environment.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_ = ::fork();
  if (pid_ == 0) {
    const int out = ::open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !status_) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
}

bool ChildProcess::waitForPort(unsigned port, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (portOpen(port)) return true;
    if (wait(std::chrono::milliseconds(0))) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

void ChildProcess::signal(int number) {
  if (pid_ > 0 && !status_) ::kill(pid_, number);
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
  if (status_ || pid_ <= 0) return status_;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = decode(status);
      return status_;
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string ChildProcess::out() const { return readFile(outPath_); }
std::string ChildProcess::err() const { return readFile(errPath_); }

CommandResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input, int seconds) {
  ServerDir dir;
  const std::string in = dir.write("stdin", input);
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string outPath = dir.file("out"), errPath = dir.file("err");
  const int pid = ::fork();
  if (pid == 0) {
    const int fd0 = ::open(in.c_str(), O_RDONLY);
    const int fd1 = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int fd2 = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd0, 0);
    ::dup2(fd1, 1);
    ::dup2(fd2, 2);
    ::execvp(program.c_str(), argv.data());
    ::_exit(127);
  }
  CommandResult result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) != pid) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  result.status = decode(status).value_or(-1);
  result.out = readFile(dir.file("out"));
  result.err = readFile(dir.file("err"));
  return result;
}

bool makeCertificate(const std::string& certPath, const std::string& keyPath) {
  return runProgram("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt",
                                "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", keyPath,
                                "-out", certPath, "-days", "1", "-subj", "/CN=127.0.0.1"})
             .status == 0;
}

}  // namespace vantomer::test
