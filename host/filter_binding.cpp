#include "filter_binding.h"

#include <cerrno>
#include <cstring>
#include <new>

namespace vantomer::host {
namespace {

// Bounds on what one request may take from AllocMem, and on WriteClient calls
// made from inside raw-data notifications.
constexpr std::size_t kMaxAllocation = 64u * 1024 * 1024;
constexpr std::size_t kMaxRequestMemory = 256u * 1024 * 1024;
constexpr int kMaxRawDepth = 8;
constexpr std::size_t kKeptRawBuffer = 256 * 1024;

std::string_view headerName(std::string_view name) {
  if (!name.empty() && name.back() == ':') name.remove_suffix(1);
  return name;
}

// "url", "method" and "version" name parts of the request line; with a
// colon they are ordinary header names.
bool pseudoHeader(std::string_view raw, std::string_view name) {
  return (raw.empty() || raw.back() != ':') && iequalsAscii(raw, name);
}

bool validName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7f || c == ':') return false;
  }
  return true;
}

bool validValue(std::string_view value) {
  return value.find_first_of("\r\n") == std::string_view::npos;
}

bool validUrl(std::string_view url) {
  if (url.empty() || url.front() != '/') return false;
  for (char c : url) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7f) return false;
  }
  return true;
}

std::string variableName(std::string_view headerName) {
  std::string out = "HTTP_";
  for (char c : headerName) {
    if (c == '-') c = '_';
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    out += c;
  }
  return out;
}

bool setHeaderIn(Headers& headers, std::string_view name, std::string_view value, bool add) {
  if (add) {
    headers.push_back({std::string(name), std::string(value)});
    return true;
  }
  // An empty value removes the header.
  bool placed = value.empty();
  for (auto it = headers.begin(); it != headers.end();) {
    if (!iequalsAscii(it->name, name)) {
      ++it;
    } else if (!placed) {
      it->value = std::string(value);
      placed = true;
      ++it;
    } else {
      it = headers.erase(it);
    }
  }
  if (!placed) headers.push_back({std::string(name), std::string(value)});
  return true;
}

// A missing value is ENOENT; a present one is copied out.
BOOL copyValue(const std::optional<std::string>& value, LPVOID buffer, LPDWORD size) {
  if (!value) {
    errno = ENOENT;
    return FALSE;
  }
  return copyOut(*value, buffer, size);
}

}  // namespace

BOOL copyOut(const std::string& value, LPVOID buffer, LPDWORD size) {
  if (!size) return FALSE;
  const std::size_t needed = value.size() + 1;
  if (!buffer || *size < needed) {
    *size = static_cast<DWORD>(needed);
    errno = ERANGE;
    return FALSE;
  }
  std::memcpy(buffer, value.c_str(), needed);
  *size = static_cast<DWORD>(needed);
  return TRUE;
}

FilterConnection::FilterConnection(const FilterModule& module, ConnectionInfo info, Sink sink)
    : module_(module),
      info_(std::move(info)),
      sink_(std::move(sink)),
      rawBuffers_(kMaxRawDepth + 1) {
  context_.cbSize = sizeof context_;
  context_.Revision = HTTP_FILTER_REVISION;
  context_.ServerContext = this;
  context_.fIsSecurePort = info_.secure ? TRUE : FALSE;
  context_.pFilterContext = nullptr;
  context_.GetServerVariable = &FilterConnection::getServerVariable;
  context_.AddResponseHeaders = &FilterConnection::addResponseHeaders;
  context_.WriteClient = &FilterConnection::writeClient;
  context_.AllocMem = &FilterConnection::allocMem;
  context_.ServerSupportFunction = &FilterConnection::serverSupportFunction;
  preproc_.GetHeader = &FilterConnection::requestGetHeader;
  preproc_.SetHeader = &FilterConnection::requestSetHeader;
  preproc_.AddHeader = &FilterConnection::requestAddHeader;
  send_.GetHeader = &FilterConnection::responseGetHeader;
  send_.SetHeader = &FilterConnection::responseSetHeader;
  send_.AddHeader = &FilterConnection::responseAddHeader;
}

FilterConnection::~FilterConnection() {
  if (request_) endRequest();
  discard_ = true;  // nobody listens any more
  notify(SF_NOTIFY_END_OF_NET_SESSION, nullptr);
}

FilterConnection* FilterConnection::self(HTTP_FILTER_CONTEXT* pfc) {
  return pfc ? static_cast<FilterConnection*>(pfc->ServerContext) : nullptr;
}

void FilterConnection::notify(DWORD notification, void* record) {
  if (!module_.wants(notification, info_.secure)) return;
  const DWORD status = module_.httpFilterProc(&context_, notification, record);
  if (status == static_cast<DWORD>(SF_STATUS_REQ_FINISHED) ||
      status == static_cast<DWORD>(SF_STATUS_REQ_ERROR)) {
    finished_ = true;
    closeRequested_ = true;
  } else if (status == static_cast<DWORD>(SF_STATUS_REQ_FINISHED_KEEP_CONN)) {
    finished_ = true;
  }
}

void FilterConnection::beginRequest(RequestHead& request) {
  request_ = &request;
  response_ = nullptr;
  responseChanged_ = false;
  headSent_ = false;
  addedResponseHeaders_.clear();
  finished_ = false;
  closeRequested_ = false;
  discard_ = false;
}

void FilterConnection::preprocHeaders() {
  preproc_.HttpStatus = 0;
  notify(SF_NOTIFY_PREPROC_HEADERS, &preproc_);
}

void FilterConnection::sendResponse(ResponseHead& head) {
  response_ = &head;
  responseChanged_ = false;
  applyAddedResponseHeaders();
  send_.HttpStatus = static_cast<DWORD>(head.status);
  notify(SF_NOTIFY_SEND_RESPONSE, &send_);
  applyAddedResponseHeaders();
  if (responseChanged_) head.format();
  headSent_ = true;
}

void FilterConnection::sendRawData(std::string_view block) { rawData(block); }

void FilterConnection::rawData(std::string_view block) {
  if (block.empty()) return;
  // The filter may change the block in place: it gets a copy, in a buffer
  // kept per nesting level so that requests do not allocate one each.
  std::string& buffer = rawBuffers_[static_cast<std::size_t>(rawDepth_)];
  buffer.assign(block);
  HTTP_FILTER_RAW_DATA raw{};
  raw.pvInData = buffer.data();
  raw.cbInData = static_cast<DWORD>(buffer.size());
  raw.cbInBuffer = static_cast<DWORD>(buffer.size());
  if (rawDepth_ < kMaxRawDepth) {
    ++rawDepth_;
    notify(SF_NOTIFY_SEND_RAW_DATA, &raw);
    --rawDepth_;
  }
  if (raw.pvInData && raw.cbInData != 0 && !discard_ && !clientGone_ &&
      !sink_(std::string_view(static_cast<const char*>(raw.pvInData), raw.cbInData)))
    clientGone_ = true;
  // One large page must not stay with an idle connection.
  if (buffer.capacity() > kKeptRawBuffer) std::string().swap(buffer);
}

void FilterConnection::endOfRequest() { notify(SF_NOTIFY_END_OF_REQUEST, nullptr); }

void FilterConnection::endRequest() {
  memory_.clear();
  memoryBytes_ = 0;
  request_ = nullptr;
  response_ = nullptr;
  addedResponseHeaders_.clear();
}

void FilterConnection::applyAddedResponseHeaders() {
  if (!response_ || addedResponseHeaders_.empty()) return;
  std::string_view text = addedResponseHeaders_;
  while (!text.empty()) {
    const std::size_t lf = text.find('\n');
    std::string_view line = text.substr(0, lf);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && validName(line.substr(0, colon)) && validValue(line)) {
      std::string_view value = line.substr(colon + 1);
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
      response_->headers.push_back({std::string(line.substr(0, colon)), std::string(value)});
      responseChanged_ = true;
    }
    if (lf == std::string_view::npos) break;
    text.remove_prefix(lf + 1);
  }
  addedResponseHeaders_.clear();
}

std::optional<std::string> FilterConnection::requestHeader(std::string_view raw) const {
  if (!request_) return std::nullopt;
  if (pseudoHeader(raw, "url")) return request_->url;
  if (pseudoHeader(raw, "method")) return request_->method;
  if (pseudoHeader(raw, "version")) return request_->version;
  const std::string_view name = headerName(raw);
  return findHeader(request_->headers, name, iequalsAscii(name, "Cookie") ? "; " : ", ");
}

bool FilterConnection::setRequestHeader(std::string_view raw, std::string_view value, bool add) {
  if (!request_) return false;
  const std::string_view name = headerName(raw);
  if (pseudoHeader(raw, "url")) {
    if (!validUrl(value)) return false;
    request_->url = std::string(value);
    return true;
  }
  if (!validName(name) || !validValue(value)) return false;
  return setHeaderIn(request_->headers, name, value, add);
}

bool FilterConnection::setResponseHeader(std::string_view name, std::string_view value, bool add) {
  if (!response_ || headSent_ || !validName(name) || !validValue(value)) return false;
  setHeaderIn(response_->headers, name, value, add);
  responseChanged_ = true;
  return true;
}

std::optional<std::string> FilterConnection::serverVariable(std::string_view name) const {
  auto is = [&](std::string_view known) { return iequalsAscii(name, known); };
  if (is("HTTPS")) return std::string(info_.secure ? "on" : "off");
  if (is("SERVER_PORT_SECURE")) return std::string(info_.secure ? "1" : "0");
  if (is("SERVER_PORT")) return std::to_string(info_.localPort);
  if (is("LOCAL_ADDR")) return info_.localAddress;
  if (is("REMOTE_ADDR") || is("REMOTE_HOST")) return info_.remoteAddress;
  if (is("REMOTE_PORT")) return std::to_string(info_.remotePort);
  if (is("SERVER_SOFTWARE")) return std::string("vantomer/" VANTOMER_VERSION);
  if (!request_) return std::nullopt;
  if (is("URL") || is("PATH_INFO")) return std::string(request_->path());
  if (is("QUERY_STRING")) return std::string(request_->query());
  if (is("REQUEST_METHOD")) return request_->method;
  if (is("SERVER_PROTOCOL")) return request_->version;
  if (is("CONTENT_TYPE")) return findHeader(request_->headers, "Content-Type").value_or("");
  if (is("CONTENT_LENGTH")) return findHeader(request_->headers, "Content-Length").value_or("0");
  if (is("SERVER_NAME")) {
    std::optional<std::string> host = findHeader(request_->headers, "Host");
    if (!host || host->empty()) return info_.localAddress;
    std::string_view h = *host;
    if (h.front() == '[') return std::string(h.substr(0, h.find(']') + 1));
    return std::string(h.substr(0, h.find(':')));
  }
  if (is("ALL_HTTP") || is("ALL_RAW")) {
    std::string all;
    for (const Header& h : request_->headers) {
      all += is("ALL_HTTP") ? variableName(h.name) + ":" + h.value + "\n"
                            : h.name + ": " + h.value + "\r\n";
    }
    return all;
  }
  if (name.size() > 5 && iequalsAscii(name.substr(0, 5), "HTTP_")) {
    std::optional<std::string> value;
    for (const Header& h : request_->headers) {
      if (!iequalsAscii(variableName(h.name), name)) continue;
      value = value ? *value + ", " + h.value : h.value;
    }
    return value;
  }
  return std::nullopt;
}

// Callbacks: C code calls them, so nothing may be thrown out of them.

BOOL FilterConnection::getServerVariable(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer,
                                         LPDWORD size) {
  try {
    FilterConnection* c = self(pfc);
    if (!c || !name || !size) return FALSE;
    return copyValue(c->serverVariable(name), buffer, size);
  } catch (...) {
    return FALSE;
  }
}

BOOL FilterConnection::addResponseHeaders(HTTP_FILTER_CONTEXT* pfc, LPSTR headers, DWORD) {
  try {
    FilterConnection* c = self(pfc);
    if (!c || !headers || c->headSent_) return FALSE;
    c->addedResponseHeaders_ += headers;
    return TRUE;
  } catch (...) {
    return FALSE;
  }
}

BOOL FilterConnection::writeClient(HTTP_FILTER_CONTEXT* pfc, LPVOID buffer, LPDWORD bytes, DWORD) {
  try {
    FilterConnection* c = self(pfc);
    if (!c || !bytes || (*bytes != 0 && !buffer)) return FALSE;
    c->rawData(std::string_view(static_cast<const char*>(buffer), *bytes));
    return (c->discard_ || c->clientGone_) ? FALSE : TRUE;
  } catch (...) {
    return FALSE;
  }
}

void* FilterConnection::allocMem(HTTP_FILTER_CONTEXT* pfc, DWORD size, DWORD) {
  try {
    FilterConnection* c = self(pfc);
    if (!c || size > kMaxAllocation || c->memoryBytes_ + size > kMaxRequestMemory) return nullptr;
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[size ? size : 1]);
    if (!block) return nullptr;
    void* p = block.get();
    c->memory_.push_back(std::move(block));
    c->memoryBytes_ += size;
    return p;
  } catch (...) {
    return nullptr;
  }
}

BOOL FilterConnection::serverSupportFunction(HTTP_FILTER_CONTEXT*, enum SF_REQ_TYPE, PVOID,
                                             ULONG_PTR, ULONG_PTR) {
  errno = ENOSYS;
  return FALSE;
}

BOOL FilterConnection::requestGetHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer,
                                        LPDWORD size) {
  try {
    FilterConnection* c = self(pfc);
    if (!c || !name || !size) return FALSE;
    return copyValue(c->requestHeader(name), buffer, size);
  } catch (...) {
    return FALSE;
  }
}

BOOL FilterConnection::requestSetHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPSTR value) {
  try {
    FilterConnection* c = self(pfc);
    if (!c || !name || !value) return FALSE;
    return c->setRequestHeader(name, value, false) ? TRUE : FALSE;
  } catch (...) {
    return FALSE;
  }
}

BOOL FilterConnection::requestAddHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPSTR value) {
  try {
    FilterConnection* c = self(pfc);
    if (!c || !name || !value) return FALSE;
    return c->setRequestHeader(name, value, true) ? TRUE : FALSE;
  } catch (...) {
    return FALSE;
  }
}

BOOL FilterConnection::responseGetHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer,
                                         LPDWORD size) {
  try {
    FilterConnection* c = self(pfc);
    if (!c || !name || !size || !c->response_) return FALSE;
    return copyValue(findHeader(c->response_->headers, headerName(name)), buffer, size);
  } catch (...) {
    return FALSE;
  }
}

BOOL FilterConnection::responseSetHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPSTR value) {
  try {
    FilterConnection* c = self(pfc);
    if (!c || !name || !value) return FALSE;
    return c->setResponseHeader(headerName(name), value, false) ? TRUE : FALSE;
  } catch (...) {
    return FALSE;
  }
}

BOOL FilterConnection::responseAddHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPSTR value) {
  try {
    FilterConnection* c = self(pfc);
    if (!c || !name || !value) return FALSE;
    return c->setResponseHeader(headerName(name), value, true) ? TRUE : FALSE;
  } catch (...) {
    return FALSE;
  }
}

}  // namespace vantomer::host
