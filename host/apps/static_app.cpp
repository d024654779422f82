#include "apps/static_app.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "apps/page_charset.h"
#include "server/http_date.h"
#include "server/memory_response.h"

namespace vantomer::host {
namespace {

namespace fs = std::filesystem;

class FileSource : public ResponseSource {
 public:
  FileSource(int fd, std::uint64_t size) : fd_(fd), remaining_(size) {}
  ~FileSource() override { ::close(fd_); }
  bool immediate() const override { return true; }
  awaitable<BodyBlock> next() override {
    if (remaining_ == 0) co_return BodyBlock{BodyBlock::End, {}};
    // Sized to the file and left uninitialised: zeroing a large block for
    // every request cost more than reading the file.
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, kBlockSize));
    if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(want);
    const ssize_t n = ::read(fd_, buffer_.get(), want);
    // A file that shrank under us cannot fill the length already announced.
    if (n <= 0) co_return BodyBlock{BodyBlock::Broken, {}};
    remaining_ -= static_cast<std::uint64_t>(n);
    co_return BodyBlock{BodyBlock::Data,
                        std::string_view(buffer_.get(), static_cast<std::size_t>(n))};
  }

 private:
  static constexpr std::uint64_t kBlockSize = 64 * 1024;
  int fd_;
  std::uint64_t remaining_;
  std::unique_ptr<char[]> buffer_;
};

constexpr const char* kTelmark = "text/x-telmark";

const std::map<std::string, std::string>& builtinTypes() {
  static const std::map<std::string, std::string> types = {
      {".tm", "text/x-telmark"},
      {".telmark", "text/x-telmark"},
      {".html", "text/html"},
      {".htm", "text/html"},
      {".xhtml", "application/xhtml+xml"},
      {".css", "text/css"},
      {".js", "text/javascript"},
      {".json", "application/json"},
      {".txt", "text/plain"},
      {".xml", "application/xml"},
      {".gif", "image/gif"},
      {".png", "image/png"},
      {".jpg", "image/jpeg"},
      {".jpeg", "image/jpeg"},
      {".svg", "image/svg+xml"},
      {".ico", "image/x-icon"},
      {".webp", "image/webp"},
      {".pdf", "application/pdf"},
      {".mid", "audio/midi"},
      {".3gp", "video/3gpp"},
  };
  return types;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool percentDecode(std::string_view in, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '%') {
      out += in[i];
      continue;
    }
    if (i + 2 >= in.size()) return false;
    const int hi = hexDigit(in[i + 1]), lo = hexDigit(in[i + 2]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return out.find('\0') == std::string::npos;
}

// A path for a Location header: what is not plainly safe goes
// percent-encoded, the backslash among it.
std::string encodePath(std::string_view path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : path) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
        std::string_view("/-._~!$&'()*+,;=:@").find(c) != std::string_view::npos) {
      out += c;
    } else {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    }
  }
  return out;
}

class StaticApplication : public Application {
 public:
  StaticApplication(fs::path root, int rootFd, std::vector<std::string> indexFiles,
                    std::vector<Header> types)
      : root_(std::move(root)), rootFd_(rootFd), indexFiles_(std::move(indexFiles)) {
    types_ = builtinTypes();
    for (const Header& t : types) {
      types_[t.name] = t.value;
      configured_.insert(t.name);
    }
  }
  ~StaticApplication() override { ::close(rootFd_); }

  awaitable<std::unique_ptr<ResponseSource>> respond(const RequestHead& request, BodySource&,
                                                     const ConnectionInfo&) override {
    co_return serve(request);
  }
  bool takesBodies() const override { return false; }
  bool headAsGet() const override { return true; }

 private:
  std::unique_ptr<ResponseSource> serve(const RequestHead& request) {
    if (request.method != "GET" && request.method != "HEAD")
      return textResponse(request, 405, "405 Method Not Allowed\n", {{"Allow", "GET, HEAD"}});
    std::string decoded;
    if (!percentDecode(request.path(), decoded) || decoded.empty() || decoded.front() != '/')
      return textResponse(request, 400, "400 Bad Request\n");

    // Resolve the segments lexically first: nothing above the root, no
    // hidden files.
    std::vector<std::string> segments;
    std::size_t start = 1;
    while (start <= decoded.size()) {
      std::size_t slash = decoded.find('/', start);
      if (slash == std::string::npos) slash = decoded.size();
      std::string segment = decoded.substr(start, slash - start);
      start = slash + 1;
      if (segment.empty() || segment == ".") continue;
      if (segment == "..") {
        if (segments.empty()) return notFound(request);
        segments.pop_back();
        continue;
      }
      if (segment.front() == '.') return notFound(request);
      segments.push_back(std::move(segment));
    }
    std::string relative;
    for (const std::string& s : segments) {
      if (!relative.empty()) relative += '/';
      relative += s;
    }

    struct stat st {};
    int fd = open(relative, st);
    if (fd == kForbidden) return textResponse(request, 403, "403 Forbidden\n");
    if (fd < 0) return notFound(request);
    if (S_ISDIR(st.st_mode)) {
      ::close(fd);
      if (decoded.back() != '/') {
        // Built from the resolved segments: "//host/.." or "/\\host/.." taken
        // as it came would send the client to another site.
        std::string location = "/" + encodePath(relative) + (relative.empty() ? "" : "/");
        if (!request.query().empty()) location += "?" + std::string(request.query());
        return textResponse(request, 301, "301 Moved Permanently\n", {{"Location", location}});
      }
      for (const std::string& index : indexFiles_) {
        const std::string candidate = relative.empty() ? index : relative + "/" + index;
        fd = open(candidate, st);
        if (fd >= 0 && S_ISREG(st.st_mode)) return file(request, fd, st, index);
        if (fd >= 0) ::close(fd);
      }
      return notFound(request);
    }
    if (!S_ISREG(st.st_mode)) {
      ::close(fd);
      return notFound(request);
    }
    return file(request, fd, st, segments.empty() ? std::string_view() : segments.back());
  }

  static constexpr int kMissing = -1;
  static constexpr int kForbidden = -2;

  // Opens a path below the root and stats it. The kernel resolves it in one
  // call and refuses any step that leaves the root; where it cannot (an older
  // kernel, or an absolute symlink, which it refuses even when it points back
  // inside) the path is checked by resolving it here. O_NONBLOCK: opening a
  // FIFO left in the root must not stall the thread.
  int open(const std::string& relative, struct stat& st) const {
    const char* name = relative.empty() ? "." : relative.c_str();
    open_how how{};
    how.flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    int fd = static_cast<int>(::syscall(SYS_openat2, rootFd_, name, &how, sizeof how));
    if (fd < 0 && (errno == ENOSYS || errno == EPERM || errno == EXDEV || errno == ELOOP)) {
      std::error_code ec;
      const fs::path real = fs::canonical(root_ / relative, ec);
      if (ec || !inside(real)) return kMissing;
      fd = ::open(real.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    }
    if (fd < 0) return errno == EACCES ? kForbidden : kMissing;
    if (::fstat(fd, &st) != 0) {
      ::close(fd);
      return kMissing;
    }
    return fd;
  }

  bool inside(const fs::path& real) const {
    const std::string r = real.string(), root = root_.string();
    return r == root || (r.size() > root.size() && r.compare(0, root.size(), root) == 0 &&
                         (root.back() == '/' || r[root.size()] == '/'));
  }

  std::unique_ptr<ResponseSource> notFound(const RequestHead& request) {
    return textResponse(request, 404, "404 Not Found\n");
  }

  std::unique_ptr<ResponseSource> file(const RequestHead& request, int fd, const struct stat& st,
                                       std::string_view name) {
    const std::size_t dot = name.rfind('.');
    std::string extension(dot == std::string_view::npos ? std::string_view() : name.substr(dot));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto type = types_.find(extension);
    const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    std::string contentType =
        type == types_.end() ? std::string("application/octet-stream") : type->second;
    // A page read in the wrong code page is mojibake with status 200: where
    // no type was configured, a page says its charset by its bytes.
    if (contentType == kTelmark && !configured_.count(extension))
      contentType += "; charset=" + charsetOf(fd);

    std::unique_ptr<ResponseSource> source;
    if (request.method == "HEAD") {
      ::close(fd);
      source = std::make_unique<MemorySource>(std::string());
    } else {
      source = std::make_unique<FileSource>(fd, size);
    }
    ResponseHead& head = source->head;
    head.version = "HTTP/1.1";
    head.status = 200;
    head.reason = "OK";
    head.headers = {{"Date", currentHttpDate()},
                    {"Server", "vantomer"},
                    {"Content-Type", contentType},
                    {"Content-Length", std::to_string(size)},
                    {"Last-Modified", httpDate(st.st_mtime)}};
    head.format();
    return source;
  }

  // Read for every request: the file may change between them. A page past
  // the limit is bigger than the filter would hold anyway.
  static std::string charsetOf(int fd) {
    constexpr off_t kLimit = 16 * 1024 * 1024;
    PageCharset sniff;
    std::vector<char> block(64 * 1024);
    off_t at = 0;
    bool whole = false;
    while (!sniff.done() && at < kLimit) {
      const ssize_t n = ::pread(fd, block.data(), block.size(), at);
      if (n <= 0) {
        whole = n == 0;
        break;
      }
      sniff.feed(std::string_view(block.data(), static_cast<std::size_t>(n)));
      at += n;
    }
    return sniff.charset(whole);
  }

  fs::path root_;
  int rootFd_;
  std::vector<std::string> indexFiles_;
  std::map<std::string, std::string> types_;
  std::set<std::string> configured_;
};

}  // namespace

std::unique_ptr<Application> makeStaticApplication(std::string root,
                                                   std::vector<std::string> indexFiles,
                                                   std::vector<Header> extraTypes,
                                                   std::string& error) {
  std::error_code ec;
  fs::path real = fs::canonical(root, ec);
  if (ec || !fs::is_directory(real, ec)) {
    error = "the document root " + root + " is not a directory";
    return nullptr;
  }
  const int fd = ::open(real.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error = "the document root " + root + " cannot be opened";
    return nullptr;
  }
  return std::make_unique<StaticApplication>(real, fd, std::move(indexFiles),
                                             std::move(extraTypes));
}

}  // namespace vantomer::host
