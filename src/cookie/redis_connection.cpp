#include "cookie/redis_connection.h"

#include <fcntl.h>
#include <hiredis/hiredis.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>
#include <new>

namespace vantomer {
namespace {

std::string errnoText(int error) { return std::strerror(error); }

RedisReply convert(const redisReply* r) {
  RedisReply out;
  switch (r->type) {
    case REDIS_REPLY_STRING:
      out.type = RedisReply::Type::String;
      out.text.assign(r->str, r->len);
      break;
    case REDIS_REPLY_STATUS:
      out.type = RedisReply::Type::Status;
      out.text.assign(r->str, r->len);
      break;
    case REDIS_REPLY_ERROR:
      out.type = RedisReply::Type::Error;
      out.text.assign(r->str, r->len);
      break;
    case REDIS_REPLY_INTEGER:
      out.type = RedisReply::Type::Integer;
      out.integer = r->integer;
      break;
    case REDIS_REPLY_ARRAY:
      out.type = RedisReply::Type::Array;
      out.items.reserve(r->elements);
      for (std::size_t i = 0; i < r->elements; ++i) out.items.push_back(convert(r->element[i]));
      break;
    default:
      break;
  }
  return out;
}

struct FreeReply {
  void operator()(void* reply) const { freeReplyObject(reply); }
};

// A command in the protocol's array of bulk strings, written here rather
// than by hiredis, whose formatter costs a printf call per argument.
void appendCommand(std::string& out, const std::vector<std::string_view>& command) {
  std::size_t size = 16;
  for (std::string_view arg : command) size += arg.size() + 16;
  out.reserve(out.size() + size);
  const auto header = [&out](char kind, std::size_t number) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    out += kind;
    out.append(digits, end);
    out += "\r\n";
  };
  header('*', command.size());
  for (std::string_view arg : command) {
    header('$', arg.size());
    out.append(arg);
    out += "\r\n";
  }
}

redisReader* asReader(void* reader) { return static_cast<redisReader*>(reader); }

}  // namespace

RedisConnection::~RedisConnection() { close(); }

void RedisConnection::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (reader_) redisReaderFree(asReader(reader_));
  reader_ = nullptr;
}

bool RedisConnection::waitFor(short events, RedisClock::time_point deadline, std::string& reason) {
  for (;;) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - RedisClock::now()).count();
    if (left <= 0) {
      reason = "no answer within the timeout";
      return false;
    }
    pollfd p{fd_, events, 0};
    const int n = ::poll(&p, 1, static_cast<int>(left));
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) {
      reason = errnoText(errno);
      return false;
    }
  }
}

bool RedisConnection::connectSocket(const RedisAddress& address, RedisClock::time_point deadline,
                                    std::string& reason) {
  std::vector<std::pair<sockaddr_storage, socklen_t>> targets;
  if (!address.socketPath.empty()) {
    sockaddr_un un{};
    if (address.socketPath.size() >= sizeof un.sun_path) {
      reason = "the socket path is too long";
      return false;
    }
    un.sun_family = AF_UNIX;
    std::memcpy(un.sun_path, address.socketPath.data(), address.socketPath.size());
    sockaddr_storage storage{};
    std::memcpy(&storage, &un, sizeof un);
    targets.emplace_back(storage, static_cast<socklen_t>(sizeof un));
  } else {
    // Names are resolved here, outside the timeout: give an address or a
    // name the system resolves locally.
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(address.port);
    const int rc = ::getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found);
    if (rc != 0) {
      reason = "cannot resolve " + address.host + ": " + ::gai_strerror(rc);
      return false;
    }
    for (addrinfo* a = found; a; a = a->ai_next) {
      sockaddr_storage storage{};
      std::memcpy(&storage, a->ai_addr, a->ai_addrlen);
      targets.emplace_back(storage, a->ai_addrlen);
    }
    ::freeaddrinfo(found);
  }

  reason = "no address";
  for (const auto& [storage, length] : targets) {
    fd_ = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
      reason = errnoText(errno);
      continue;
    }
    int rc = ::connect(fd_, reinterpret_cast<const sockaddr*>(&storage), length);
    if (rc != 0 && errno == EINPROGRESS) {
      if (waitFor(POLLOUT, deadline, reason)) {
        int error = 0;
        socklen_t size = sizeof error;
        ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size);
        rc = error == 0 ? 0 : -1;
        if (error != 0) reason = errnoText(error);
      }
    } else if (rc != 0) {
      reason = errnoText(errno);
    }
    if (rc == 0) {
      if (storage.ss_family != AF_UNIX) {
        const int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      }
      return true;
    }
    ::close(fd_);
    fd_ = -1;
    if (RedisClock::now() >= deadline) break;
  }
  return false;
}

bool RedisConnection::open(const RedisAddress& address, RedisClock::time_point deadline,
                           std::string& reason) {
  close();
  if (!connectSocket(address, deadline, reason)) {
    reason = "cannot connect to " + address.describe() + ": " + reason;
    return false;
  }
  reader_ = redisReaderCreate();
  if (!reader_) throw std::bad_alloc();

  std::vector<std::vector<std::string_view>> setup;
  const std::string database = std::to_string(address.database);
  if (!address.password.empty()) {
    if (address.user.empty())
      setup.push_back({"AUTH", address.password});
    else
      setup.push_back({"AUTH", address.user, address.password});
  }
  if (address.database != 0) setup.push_back({"SELECT", database});
  if (setup.empty()) return true;
  std::vector<RedisReply> replies;
  if (!run(setup, replies, deadline, reason)) return false;
  for (std::size_t i = 0; i < replies.size(); ++i) {
    if (!replies[i].isStatus("OK")) {
      reason = std::string(setup[i][0]) + " refused: " + replies[i].text;
      close();
      return false;
    }
  }
  return true;
}

bool RedisConnection::sendAll(std::string_view bytes, RedisClock::time_point deadline,
                              std::string& reason) {
  while (!bytes.empty()) {
    // MSG_NOSIGNAL: a closed connection must not raise SIGPIPE in the host.
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!waitFor(POLLOUT, deadline, reason)) return false;
    } else if (n < 0 && errno != EINTR) {
      closedBeforeReply_ = errno == EPIPE || errno == ECONNRESET;
      reason = errnoText(errno);
      return false;
    }
  }
  return true;
}

bool RedisConnection::run(const std::vector<std::vector<std::string_view>>& commands,
                          std::vector<RedisReply>& replies, RedisClock::time_point deadline,
                          std::string& reason) {
  replies.clear();
  closedBeforeReply_ = false;
  bool nothingRead = true;
  if (fd_ < 0 || !reader_) {
    reason = "not connected";
    return false;
  }
  std::string out;
  for (const auto& command : commands) appendCommand(out, command);

  bool ok = sendAll(out, deadline, reason);
  char buffer[16384];
  bool readable = false;
  while (ok && replies.size() < commands.size()) {
    void* raw = nullptr;
    if (redisReaderGetReply(asReader(reader_), &raw) != REDIS_OK) {
      reason = std::string("protocol error: ") + asReader(reader_)->errstr;
      ok = false;
      break;
    }
    if (raw) {
      std::unique_ptr<void, FreeReply> reply(raw);
      replies.push_back(convert(static_cast<redisReply*>(raw)));
      continue;
    }
    // Redis answers after a moment, so a read before waiting would find
    // nothing; only a read that filled the buffer is followed at once.
    if (!readable && !(ok = waitFor(POLLIN, deadline, reason))) break;
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    readable = n == static_cast<ssize_t>(sizeof buffer);
    if (n > 0) {
      nothingRead = false;
      if (redisReaderFeed(asReader(reader_), buffer, static_cast<std::size_t>(n)) != REDIS_OK)
        throw std::bad_alloc();
    } else if (n == 0 || errno == ECONNRESET) {
      reason = "connection closed by the server";
      closedBeforeReply_ = nothingRead;
      ok = false;
    } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      reason = errnoText(errno);
      ok = false;
    }
  }
  // A connection that failed halfway has replies still on their way.
  if (!ok) close();
  return ok;
}

bool RedisConnection::call(const std::vector<std::string_view>& command, RedisReply& reply,
                           RedisClock::time_point deadline, std::string& reason) {
  std::vector<RedisReply> replies;
  if (!run({command}, replies, deadline, reason)) return false;
  reply = std::move(replies.front());
  return true;
}

std::string pingRedis(const RedisAddress& address, std::chrono::milliseconds timeout) {
  const auto deadline = RedisClock::now() + timeout;
  RedisConnection connection;
  std::string reason;
  if (!connection.open(address, deadline, reason)) return reason;
  RedisReply reply;
  if (!connection.call({"PING"}, reply, deadline, reason)) return reason;
  if (!reply.isStatus("PONG")) return "PING answered: " + reply.text;
  return {};
}

}  // namespace vantomer
