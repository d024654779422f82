#include "support/test_host.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "support/paths.h"

namespace vantomer::test {
namespace {

bool iequal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
}

// The host's buffer rule: FALSE and the size needed when value and NUL do
// not fit.
BOOL copyOut(const std::string& value, void* buffer, LPDWORD size) {
  if (!size) return FALSE;
  const DWORD needed = static_cast<DWORD>(value.size() + 1);
  if (!buffer || *size < needed) {
    *size = needed;
    return FALSE;
  }
  std::memcpy(buffer, value.c_str(), needed);
  *size = needed;
  return TRUE;
}

HeaderList::iterator findIn(HeaderList& list, std::string_view name) {
  for (auto it = list.begin(); it != list.end(); ++it)
    if (iequal(it->first, name)) return it;
  return list.end();
}

std::optional<std::string> valueIn(const HeaderList& list, std::string_view name) {
  for (const auto& [n, v] : list)
    if (iequal(n, name)) return v;
  return std::nullopt;
}

// Header names in request and response records carry their colon.
std::optional<std::string_view> colonName(const char* name) {
  if (!name) return std::nullopt;
  std::string_view n(name);
  if (n.size() < 2 || n.back() != ':') return std::nullopt;
  return n.substr(0, n.size() - 1);
}

HeaderList parseHeaderLines(std::string_view head) {
  HeaderList headers;
  std::size_t pos = 0;
  while (pos < head.size()) {
    std::size_t end = head.find("\r\n", pos);
    if (end == std::string_view::npos) end = head.size();
    const std::string_view line = head.substr(pos, end - pos);
    pos = end + 2;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::size_t value = colon + 1;
    while (value < line.size() && line[value] == ' ') ++value;
    headers.emplace_back(std::string(line.substr(0, colon)), std::string(line.substr(value)));
  }
  return headers;
}

// The headers of the application's final response, as the host reads them.
HeaderList applicationHeaders(std::string_view response) {
  for (;;) {
    const std::size_t lineEnd = response.find("\r\n");
    const std::size_t headEnd = response.find("\r\n\r\n");
    const std::string_view statusLine = response.substr(0, lineEnd);
    const std::size_t space = statusLine.find(' ');
    const int code = space == std::string_view::npos
                         ? 0
                         : std::atoi(std::string(statusLine.substr(space + 1)).c_str());
    if (code >= 100 && code <= 199 && headEnd != std::string_view::npos &&
        headEnd + 4 < response.size()) {
      response.remove_prefix(headEnd + 4);
      continue;
    }
    if (lineEnd == std::string_view::npos) return {};
    const std::string_view head =
        response.substr(lineEnd + 2, headEnd == std::string_view::npos ? std::string_view::npos
                                                                       : headEnd - lineEnd - 2);
    return parseHeaderLines(head);
  }
}

}  // namespace

// ---------------------------------------------------------------- module

FilterModule::FilterModule(std::optional<std::string> settings, std::optional<std::string> emoji) {
  namespace fs = std::filesystem;
  std::string base = fs::temp_directory_path().string() + "/vantomer-test-XXXXXX";
  if (!::mkdtemp(base.data())) {
    openError_ = "cannot create a temporary directory";
    return;
  }
  directory_ = base;
  path_ = directory_ + "/vantomer.so";
  std::error_code error;
  fs::copy_file(modulePath(), path_, error);
  if (error) {
    openError_ = "cannot copy " + modulePath() + ": " + error.message();
    return;
  }
  if (settings) writeFile(directory_ + "/Vantomer.setting", *settings);
  if (emoji) writeFile(directory_ + "/Emoji.setting", *emoji);

  handle_ = ::dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* message = ::dlerror();
    openError_ = message ? message : "dlopen failed";
    return;
  }
  getFilterVersion_ = reinterpret_cast<PFN_GETFILTERVERSION>(::dlsym(handle_, "GetFilterVersion"));
  httpFilterProc_ = reinterpret_cast<PFN_HTTPFILTERPROC>(::dlsym(handle_, "HttpFilterProc"));
  terminateFilter_ = reinterpret_cast<PFN_TERMINATEFILTER>(::dlsym(handle_, "TerminateFilter"));
  if (!getFilterVersion_ || !httpFilterProc_ || !terminateFilter_) {
    openError_ = "an export is missing";
    ::dlclose(handle_);
    handle_ = nullptr;
    return;
  }

  // Watch which files the load opens (the module itself is open already).
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch >= 0) ::inotify_add_watch(watch, directory_.c_str(), IN_OPEN);
  version_.dwServerFilterVersion = HTTP_FILTER_REVISION;
  loadResult_ = getFilterVersion_(&version_);
  if (watch >= 0) {
    alignas(inotify_event) char buffer[8192];
    ssize_t n;
    while ((n = ::read(watch, buffer, sizeof buffer)) > 0) {
      for (char* p = buffer; p < buffer + n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(p);
        if (event->len > 0) openedDuringLoad_.emplace_back(event->name);
        p += sizeof(inotify_event) + event->len;
      }
    }
    ::close(watch);
  }
}

FilterModule::~FilterModule() {
  if (handle_) {
    terminate();
    ::dlclose(handle_);
  }
  if (!directory_.empty()) {
    std::error_code error;
    std::filesystem::remove_all(directory_, error);
  }
}

BOOL FilterModule::terminate() {
  if (!terminateResult_) terminateResult_ = terminateFilter_ ? terminateFilter_(0) : FALSE;
  return *terminateResult_;
}

void* FilterModule::symbol(const char* name) const {
  return handle_ ? ::dlsym(handle_, name) : nullptr;
}

DWORD FilterModule::httpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD notificationType,
                                   void* record) const {
  if (!httpFilterProc_) {
    ADD_FAILURE() << "the module is not loaded: " << openError_;
    return 0;
  }
  return httpFilterProc_(pfc, notificationType, record);
}

// ---------------------------------------------------------------- host

struct HostCallbacks {
  static Connection& of(HTTP_FILTER_CONTEXT* pfc) {
    return *static_cast<Connection*>(pfc->ServerContext);
  }

  static BOOL getServerVariable(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer, LPDWORD size) {
    if (!name) return FALSE;
    const auto value = of(pfc).serverVariable(name);
    return value ? copyOut(*value, buffer, size) : FALSE;
  }

  static BOOL writeClient(HTTP_FILTER_CONTEXT* pfc, LPVOID buffer, LPDWORD bytes, DWORD) {
    Connection& connection = of(pfc);
    if (!bytes || (!buffer && *bytes > 0)) return FALSE;
    const std::string_view data(static_cast<const char*>(buffer), *bytes);
    if (connection.exchange_) connection.exchange_->writes.emplace_back(data);
    // The host sends the bytes through the raw-data notification too.
    connection.deliverRaw(data, data.size() > 0 ? data.size() : 1);
    return TRUE;
  }

  static void* allocMem(HTTP_FILTER_CONTEXT* pfc, DWORD size, DWORD) {
    Connection& connection = of(pfc);
    if (connection.failAllocMem) return nullptr;
    void* memory = std::malloc(size > 0 ? size : 1);
    if (memory) connection.allocations_.push_back(memory);
    return memory;
  }

  static BOOL getRequestHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer, LPDWORD size) {
    Connection& connection = of(pfc);
    if (!name) return FALSE;
    const std::string_view n(name);
    if (n == "url") return copyOut(connection.url_, buffer, size);
    if (n == "method") return copyOut(connection.request_->method, buffer, size);
    if (n == "version") return copyOut("HTTP/1.1", buffer, size);
    const auto header = colonName(name);
    if (!header) return FALSE;
    const auto value = valueIn(connection.requestHeaders_, *header);
    return value ? copyOut(*value, buffer, size) : FALSE;
  }

  static BOOL setRequestHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPSTR value) {
    Connection& connection = of(pfc);
    if (connection.failSetHeader || !name || !value) return FALSE;
    if (std::string_view(name) == "url") {
      connection.url_ = value;
      return TRUE;
    }
    const auto header = colonName(name);
    if (!header) return FALSE;
    auto it = findIn(connection.requestHeaders_, *header);
    if (it != connection.requestHeaders_.end()) {
      it->second = value;
    } else {
      connection.requestHeaders_.emplace_back(std::string(*header), value);
    }
    return TRUE;
  }

  static BOOL addRequestHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPSTR value) {
    Connection& connection = of(pfc);
    const auto header = colonName(name);
    if (connection.failSetHeader || !header || !value) return FALSE;
    connection.requestHeaders_.emplace_back(std::string(*header), value);
    return TRUE;
  }

  static BOOL getResponseHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer, LPDWORD size) {
    const auto header = colonName(name);
    if (!header) return FALSE;
    const auto value = valueIn(of(pfc).responseHeaders_, *header);
    return value ? copyOut(*value, buffer, size) : FALSE;
  }

  static BOOL refuse(HTTP_FILTER_CONTEXT*, LPSTR, LPSTR) { return FALSE; }
};

Connection::Connection(const FilterModule& module) : module_(module) {
  context_.cbSize = sizeof context_;
  context_.Revision = HTTP_FILTER_REVISION;
  context_.ServerContext = this;
  context_.GetServerVariable = &HostCallbacks::getServerVariable;
  context_.WriteClient = &HostCallbacks::writeClient;
  context_.AllocMem = &HostCallbacks::allocMem;
}

std::optional<std::string> Connection::serverVariable(const std::string& name) const {
  if (!request_) return std::nullopt;
  const auto extra = request_->serverVariables.find(name);
  if (extra != request_->serverVariables.end()) return extra->second;
  const std::size_t query = url_.find('?');
  if (name == "URL") return url_.substr(0, query);
  if (name == "QUERY_STRING") return query == std::string::npos ? "" : url_.substr(query + 1);
  if (name == "HTTPS") return request_->secure ? "on" : "off";
  if (name == "SERVER_PORT_SECURE") return request_->secure ? "1" : "0";
  if (name == "REQUEST_METHOD") return request_->method;
  if (name.rfind("HTTP_", 0) == 0) {
    for (const auto& [header, value] : requestHeaders_) {
      std::string variable = "HTTP_";
      for (char c : header) variable += c == '-' ? '_' : (c >= 'a' && c <= 'z') ? c - 32 : c;
      if (variable == name) return value;
    }
  }
  return std::nullopt;
}

void Connection::deliverRaw(std::string_view bytes, std::size_t blockSize) {
  if (blockSize == 0) blockSize = 1;
  std::size_t pos = 0;
  do {
    const std::string_view block = bytes.substr(pos, blockSize);
    std::string buffer(block);
    HTTP_FILTER_RAW_DATA raw{};
    raw.pvInData = buffer.data();
    raw.cbInData = static_cast<DWORD>(buffer.size());
    raw.cbInBuffer = static_cast<DWORD>(buffer.size());
    const DWORD status = module_.httpFilterProc(&context_, SF_NOTIFY_SEND_RAW_DATA, &raw);
    if (exchange_) {
      exchange_->statuses.push_back(status);
      if (raw.pvInData && raw.cbInData > 0)
        exchange_->clientBytes.append(static_cast<const char*>(raw.pvInData), raw.cbInData);
    }
    pos += block.size();
  } while (pos < bytes.size());
}

Exchange Connection::run(const Request& request, std::string_view appResponse,
                         std::size_t blockSize) {
  Exchange exchange;
  request_ = &request;
  exchange_ = &exchange;
  url_ = request.url;
  requestHeaders_ = request.headers;
  if (!request.host.empty() && !valueIn(requestHeaders_, "Host"))
    requestHeaders_.emplace_back("Host", request.host);
  responseHeaders_ = applicationHeaders(appResponse);
  if (request.responseContentType) {
    auto it = findIn(responseHeaders_, "Content-Type");
    if (it != responseHeaders_.end()) {
      it->second = *request.responseContentType;
    } else {
      responseHeaders_.emplace_back("Content-Type", *request.responseContentType);
    }
  }
  context_.fIsSecurePort = request.secure ? TRUE : FALSE;

  HTTP_FILTER_PREPROC_HEADERS preproc{};
  preproc.GetHeader = &HostCallbacks::getRequestHeader;
  preproc.SetHeader = &HostCallbacks::setRequestHeader;
  preproc.AddHeader = &HostCallbacks::addRequestHeader;
  exchange.statuses.push_back(
      module_.httpFilterProc(&context_, SF_NOTIFY_PREPROC_HEADERS, &preproc));
  exchange.url = url_;
  exchange.requestHeaders = requestHeaders_;

  HTTP_FILTER_SEND_RESPONSE response{};
  response.GetHeader = &HostCallbacks::getResponseHeader;
  response.SetHeader = &HostCallbacks::refuse;
  response.AddHeader = &HostCallbacks::refuse;
  response.HttpStatus = 200;
  exchange.statuses.push_back(
      module_.httpFilterProc(&context_, SF_NOTIFY_SEND_RESPONSE, &response));

  if (!appResponse.empty()) deliverRaw(appResponse, blockSize);

  exchange.statuses.push_back(module_.httpFilterProc(&context_, SF_NOTIFY_END_OF_REQUEST, nullptr));
  exchange.filterContextAfter = context_.pFilterContext;

  for (void* memory : allocations_) std::free(memory);
  allocations_.clear();
  exchange_ = nullptr;
  request_ = nullptr;
  exchange.response = HttpMessage::parse(exchange.clientBytes);
  return exchange;
}

// ---------------------------------------------------------------- results

HttpMessage HttpMessage::parse(std::string_view bytes) {
  HttpMessage message;
  const std::size_t lineEnd = bytes.find("\r\n");
  message.statusLine = std::string(bytes.substr(0, lineEnd));
  if (lineEnd == std::string_view::npos) return message;
  const std::size_t headEnd = bytes.find("\r\n\r\n", lineEnd);
  if (headEnd == lineEnd) {
    message.headComplete = true;
    message.body = std::string(bytes.substr(lineEnd + 4));
    return message;
  }
  message.headComplete = headEnd != std::string_view::npos;
  const std::size_t headersEnd = message.headComplete ? headEnd + 2 : bytes.size();
  message.headers = parseHeaderLines(bytes.substr(lineEnd + 2, headersEnd - lineEnd - 2));
  if (message.headComplete) message.body = std::string(bytes.substr(headEnd + 4));
  return message;
}

int HttpMessage::statusCode() const {
  const std::size_t space = statusLine.find(' ');
  return space == std::string::npos ? 0 : std::atoi(statusLine.c_str() + space + 1);
}

std::string HttpMessage::reasonPhrase() const {
  const std::size_t first = statusLine.find(' ');
  if (first == std::string::npos) return {};
  const std::size_t second = statusLine.find(' ', first + 1);
  return second == std::string::npos ? std::string() : statusLine.substr(second + 1);
}

std::optional<std::string> HttpMessage::header(std::string_view name) const {
  return valueIn(headers, name);
}

std::vector<std::string> HttpMessage::headerValues(std::string_view name) const {
  std::vector<std::string> values;
  for (const auto& [n, v] : headers)
    if (iequal(n, name)) values.push_back(v);
  return values;
}

std::vector<std::string> HttpMessage::headerNames() const {
  std::vector<std::string> names;
  for (const auto& entry : headers) names.push_back(entry.first);
  return names;
}

std::optional<std::string> Exchange::requestHeader(std::string_view name) const {
  return valueIn(requestHeaders, name);
}

bool Exchange::allNextNotification() const {
  for (DWORD status : statuses)
    if (status != SF_STATUS_REQ_NEXT_NOTIFICATION) return false;
  return true;
}

::testing::AssertionResult isOneCompleteResponse(std::string_view bytes) {
  const std::size_t lineEnd = bytes.find("\r\n");
  if (lineEnd == std::string_view::npos)
    return ::testing::AssertionFailure() << "no status line in \"" << bytes << "\"";
  if (lineEnd == 0) return ::testing::AssertionFailure() << "empty status line";
  const HttpMessage message = HttpMessage::parse(bytes);
  if (!message.headComplete)
    return ::testing::AssertionFailure() << "the head does not end: \"" << bytes << "\"";
  const auto lengths = message.headerValues("Content-Length");
  if (lengths.size() != 1)
    return ::testing::AssertionFailure() << lengths.size() << " Content-Length headers";
  if (lengths[0] != std::to_string(message.body.size()))
    return ::testing::AssertionFailure()
           << "Content-Length " << lengths[0] << " for a body of " << message.body.size()
           << " bytes (a second response or stray bytes?)";
  return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------- texts

std::string xmlEscape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string settingsFile(std::string_view elements) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Vantomer>" + std::string(elements) +
         "</Vantomer>\n";
}

std::string profileElement(std::string_view uaPattern, std::string_view elements) {
  return "<NewOutputCoordinator><UAPattern>" + xmlEscape(uaPattern) + "</UAPattern>" +
         std::string(elements) + "</NewOutputCoordinator>";
}

std::string appResponse(std::string_view body, std::string_view contentType,
                        std::string_view extraHeaderLines) {
  std::string out = "HTTP/1.1 200 OK\r\n";
  if (!contentType.empty()) out += "Content-Type: " + std::string(contentType) + "\r\n";
  out += extraHeaderLines;
  out += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  out += body;
  return out;
}

}  // namespace vantomer::test
