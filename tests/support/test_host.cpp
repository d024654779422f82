#include "support/test_host.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "binding/exchange.h"
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

std::optional<std::string> valueIn(const HeaderList& list, std::string_view name) {
  for (const auto& [n, v] : list)
    if (iequal(n, name)) return v;
  return std::nullopt;
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

}  // namespace

// ---------------------------------------------------------------- module

FilterModule::FilterModule(std::optional<std::string> settings, std::optional<std::string> emoji) {
  namespace fs = std::filesystem;
  std::string base = fs::temp_directory_path().string() + "/vantomer-test-XXXXXX";
  if (!::mkdtemp(base.data())) {
    openError_ = "cannot create a temporary directory";
    module_ = host::FilterModule::inProcess({}, "");
    return;
  }
  directory_ = base;
  path_ = directory_ + "/vantomer.so";
  std::error_code error;
  fs::copy_file(modulePath(), path_, error);
  if (error) {
    openError_ = "cannot copy " + modulePath() + ": " + error.message();
    module_ = host::FilterModule::inProcess({}, path_);
    return;
  }
  if (settings) writeFile(directory_ + "/Vantomer.setting", *settings);
  if (emoji) writeFile(directory_ + "/Emoji.setting", *emoji);

  // Unmapped when done with: every test's copy has globals of its own.
  module_ = host::FilterModule::open(path_, openError_, true);
  if (!module_) {
    module_ = host::FilterModule::inProcess({}, path_);
    return;
  }
  opened_ = true;

  // Watch which files the load opens (the module itself is open already).
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch >= 0) ::inotify_add_watch(watch, directory_.c_str(), IN_OPEN);
  loadResult_ = module_->getFilterVersion();
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
  if (opened_) terminate();
  module_.reset();
  if (!directory_.empty()) {
    std::error_code error;
    std::filesystem::remove_all(directory_, error);
  }
}

BOOL FilterModule::terminate() {
  if (!terminateResult_) terminateResult_ = opened_ ? module_->terminate() : FALSE;
  return *terminateResult_;
}

void* FilterModule::symbol(const char* name) const { return module_->symbol(name); }

DWORD FilterModule::httpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD notificationType,
                                   void* record) const {
  if (!opened_) {
    ADD_FAILURE() << "the module is not loaded: " << openError_;
    return 0;
  }
  return module_->httpFilterProc(pfc, notificationType, record);
}

// ---------------------------------------------------------------- host

Connection::Connection(const FilterModule& module)
    : binding_(module.module(), host::ConnectionInfo{false, "127.0.0.1", 80, "127.0.0.1", 1024, ""},
               [this](std::string_view bytes) {
                 if (exchange_) exchange_->clientBytes.append(bytes);
                 return true;
               }) {}

Exchange Connection::run(const Request& request, std::string_view appResponse,
                         std::size_t blockSize) {
  Exchange exchange;
  exchange_ = &exchange;

  host::RequestHead head;
  head.method = request.method;
  head.url = request.url;
  for (const auto& [name, value] : request.headers) head.headers.push_back({name, value});
  if (!request.host.empty() && !valueIn(request.headers, "Host"))
    head.headers.push_back({"Host", request.host});

  host::RawResponse response = host::splitRawResponse(appResponse);
  if (request.responseContentType) {
    host::Headers& fields = response.head.headers;
    auto type = std::find_if(fields.begin(), fields.end(),
                             [](const host::Header& h) { return iequal(h.name, "Content-Type"); });
    if (type != fields.end()) {
      type->value = *request.responseContentType;
    } else {
      fields.push_back({"Content-Type", *request.responseContentType});
    }
  }

  host::Headers variables;
  for (const auto& [name, value] : request.serverVariables) variables.push_back({name, value});
  host::FilterConnection::Hooks& hooks = binding_.hooks();
  hooks.failAllocMem = failAllocMem;
  hooks.failSetHeader = failSetHeader;
  hooks.writes = &exchange.writes;
  hooks.statuses = &exchange.statuses;
  hooks.serverVariables = &variables;
  host::ConnectionInfo info = binding_.info();
  info.secure = request.secure;
  binding_.setInfo(std::move(info));

  host::runExchange(binding_, head, response.head, response.body, blockSize);

  hooks = host::FilterConnection::Hooks{};
  exchange_ = nullptr;
  exchange.filterContextAfter = filterContext();
  exchange.url = head.url;
  for (const host::Header& h : head.headers) exchange.requestHeaders.emplace_back(h.name, h.value);
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

std::string keyIn(const std::string& text) {
  const std::size_t left = text.find("(=");
  const std::size_t right = text.find("=)", left);
  if (left == std::string::npos || right == std::string::npos) return {};
  return text.substr(left + 2, right - left - 2);
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
