#include "binding/filter_connection.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "binding/request_values.h"
#include "binding/value_reply.h"

namespace vantomer::host {
namespace {

// Bounds on WriteClient calls made from inside raw-data notifications, and
// on the copy of a block kept for the next request.
constexpr int kMaxRawDepth = 8;
constexpr std::size_t kKeptRawBuffer = 256 * 1024;

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

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The path as a server would read it: escapes decoded, a NUL refused, and
// dot segments followed (a backslash and "%2F" separate too) so that none
// climbs above the root: what a host checks in a client's URL.
bool pathStaysInRoot(std::string_view path) {
  int depth = 0;
  std::string segment;
  auto endSegment = [&] {
    if (segment == "..") {
      if (--depth < 0) return false;
    } else if (!segment.empty() && segment != ".") {
      ++depth;
    }
    segment.clear();
    return true;
  };
  for (std::size_t i = 1; i < path.size(); ++i) {
    char c = path[i];
    if (c == '%' && i + 2 < path.size() && hexDigit(path[i + 1]) >= 0 &&
        hexDigit(path[i + 2]) >= 0) {
      c = static_cast<char>(hexDigit(path[i + 1]) * 16 + hexDigit(path[i + 2]));
      i += 2;
      if (c == '\0') return false;
    }
    if (c == '/' || c == '\\') {
      if (!endSegment()) return false;
    } else {
      segment += c;
    }
  }
  // A last ".." climbs as much as one followed by a slash.
  return endSegment();
}

bool validUrl(std::string_view url) {
  if (url.empty() || url.front() != '/') return false;
  for (char c : url) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7f) return false;
  }
  return pathStaysInRoot(url.substr(0, url.find('?')));
}

// Request header names that reach the application as the same variable:
// case, and "-" against "_", do not tell them apart.
bool sameRequestHeader(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto fold = [](char c) {
    if (c == '_') return '-';
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  };
  for (std::size_t i = 0; i < a.size(); ++i)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}

// SetHeader replaces the first field of the name and drops the others, or
// adds one; AddHeader always adds. An empty value is a value like any other:
// the application sees the field, empty.
// Request headers match in every spelling of the name, so that a client
// cannot slip one past the filter as "X_Name" where it set "X-Name";
// response headers match ignoring case.
void setHeaderIn(Headers& headers, std::string_view name, std::string_view value, bool add,
                 bool request) {
  if (add) {
    headers.push_back({std::string(name), std::string(value)});
    return;
  }
  bool placed = false;
  for (auto it = headers.begin(); it != headers.end();) {
    if (!(request ? sameRequestHeader(it->name, name) : iequalsAscii(it->name, name))) {
      ++it;
    } else if (!placed) {
      // The application reads the dashed spelling; a filter's "_" twin of a
      // name does not undo it.
      if (request && std::count(name.begin(), name.end(), '_') <
                         std::count(it->name.begin(), it->name.end(), '_'))
        it->name = std::string(name);
      it->value = std::string(value);
      placed = true;
      ++it;
    } else {
      it = headers.erase(it);
    }
  }
  if (!placed) headers.push_back({std::string(name), std::string(value)});
}

// How many of the bytes the filter left in the record may be read. A filter
// that points into the host's copy cannot have made the block longer than
// the copy; a buffer of its own is its to size.
std::size_t bytesLeft(const HTTP_FILTER_RAW_DATA& raw, const std::string& copy) {
  if (!raw.pvInData) return 0;
  const auto at = reinterpret_cast<std::uintptr_t>(raw.pvInData);
  const auto begin = reinterpret_cast<std::uintptr_t>(copy.data());
  const auto end = begin + copy.size();
  if (at < begin || at > end) return raw.cbInData;
  return std::min<std::size_t>(raw.cbInData, end - at);
}

}  // namespace

FilterConnection::FilterConnection(const FilterModule& module, ConnectionInfo info, Sink sink,
                                   ConnectionOptions options)
    : module_(module),
      info_(std::move(info)),
      sink_(std::move(sink)),
      reservedBlock_(options.reservedBlock),
      memory_(options.keptMemory),
      rawBuffers_(kMaxRawDepth + 1) {
  rawBuffers_.front().reserve(reservedBlock_);
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

DWORD FilterConnection::notify(DWORD notification, void* record) {
  if ((notification & disabled_) || !module_.wants(notification, info_.secure))
    return SF_STATUS_REQ_NEXT_NOTIFICATION;
  const DWORD status = module_.httpFilterProc(&context_, notification, record);
  if (hooks_.statuses) hooks_.statuses->push_back(status);
  if (status == static_cast<DWORD>(SF_STATUS_REQ_FINISHED) ||
      status == static_cast<DWORD>(SF_STATUS_REQ_ERROR)) {
    finished_ = true;
    closeRequested_ = true;
  } else if (status == static_cast<DWORD>(SF_STATUS_REQ_FINISHED_KEEP_CONN)) {
    finished_ = true;
  }
  return status;
}

void FilterConnection::beginRequest(RequestHead& request) {
  request_ = &request;
  response_ = nullptr;
  urlChanged_ = false;
  requestHeadersChanged_ = false;
  responseChanged_ = false;
  headSent_ = false;
  addedResponseHeaders_.clear();
  disabled_ = 0;
  finished_ = false;
  closeRequested_ = false;
  discard_ = false;
  context_.fIsSecurePort = info_.secure ? TRUE : FALSE;
}

DWORD FilterConnection::preprocHeaders() {
  preproc_.HttpStatus = 0;
  return notify(SF_NOTIFY_PREPROC_HEADERS, &preproc_);
}

DWORD FilterConnection::sendResponse(ResponseHead& head) {
  response_ = &head;
  responseChanged_ = false;
  applyAddedResponseHeaders();
  send_.HttpStatus = static_cast<DWORD>(head.status);
  const DWORD status = notify(SF_NOTIFY_SEND_RESPONSE, &send_);
  applyAddedResponseHeaders();
  if (responseChanged_) head.format();
  headSent_ = true;
  return status;
}

void FilterConnection::sendRawData(std::string_view block) { rawData(block); }

bool FilterConnection::wantsRawData() const {
  return !(disabled_ & SF_NOTIFY_SEND_RAW_DATA) &&
         module_.wants(SF_NOTIFY_SEND_RAW_DATA, info_.secure);
}

void FilterConnection::rawData(std::string_view block) {
  if (block.empty()) return;
  if (!wantsRawData()) {
    if (!discard_ && !clientGone_ && !sink_(block)) clientGone_ = true;
    return;
  }
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
  const std::size_t left = bytesLeft(raw, buffer);
  if (left != 0 && !discard_ && !clientGone_ &&
      !sink_(std::string_view(static_cast<const char*>(raw.pvInData), left)))
    clientGone_ = true;
  // One large page must not stay with an idle connection.
  if (buffer.capacity() > std::max(kKeptRawBuffer, reservedBlock_)) std::string().swap(buffer);
}

DWORD FilterConnection::endOfRequest() { return notify(SF_NOTIFY_END_OF_REQUEST, nullptr); }

void FilterConnection::endRequest() {
  memory_.release();
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
      response_->ownHeaders().push_back({std::string(line.substr(0, colon)), std::string(value)});
      responseChanged_ = true;
    }
    if (lf == std::string_view::npos) break;
    text.remove_prefix(lf + 1);
  }
  addedResponseHeaders_.clear();
}

bool FilterConnection::setRequestHeader(std::string_view raw, std::string_view value, bool add) {
  if (!request_ || hooks_.failSetHeader) return false;
  const std::string_view name = headerName(raw);
  if ((raw.empty() || raw.back() != ':') && iequalsAscii(raw, "url")) {
    if (!validUrl(value)) return false;
    request_->url = std::string(value);
    urlChanged_ = true;
    return true;
  }
  if (!validName(name) || !validValue(value)) return false;
  setHeaderIn(request_->ownHeaders(), name, value, add, true);
  requestHeadersChanged_ = true;
  return true;
}

bool FilterConnection::setResponseHeader(std::string_view name, std::string_view value, bool add) {
  if (!response_ || headSent_ || hooks_.failSetHeader || !validName(name) || !validValue(value))
    return false;
  setHeaderIn(response_->ownHeaders(), name, value, add, false);
  responseChanged_ = true;
  return true;
}

// Callbacks: C code calls them, so nothing may be thrown out of them.

BOOL FilterConnection::getServerVariable(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer,
                                         LPDWORD size) {
  try {
    FilterConnection* c = self(pfc);
    if (!c || !name || !size) return FALSE;
    const std::string_view variable(name);
    const bool header = isHeaderVariable(variable);
    return replyWith(
        [&](ValueText& out) {
          if (c->hooks_.serverVariables) {
            for (const Header& h : *c->hooks_.serverVariables) {
              if (!iequalsAscii(h.name, variable)) continue;
              out.append(h.value);
              return true;
            }
          }
          if (writeServerVariable(variable, c->request_, c->info_, out)) return true;
          // A header the request lacks is absent; the host's variables are
          // not searched for it again.
          if (header) return false;
          return c->variables_ && c->request_ && c->variables_(variable, out);
        },
        buffer, size);
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
    const std::string_view data(static_cast<const char*>(buffer), *bytes);
    ++c->writeClientCalls_;
    if (c->hooks_.writes) c->hooks_.writes->emplace_back(data);
    c->rawData(data);
    return (c->discard_ || c->clientGone_) ? FALSE : TRUE;
  } catch (...) {
    return FALSE;
  }
}

void* FilterConnection::allocMem(HTTP_FILTER_CONTEXT* pfc, DWORD size, DWORD) {
  FilterConnection* c = self(pfc);
  if (!c || c->hooks_.failAllocMem) return nullptr;
  return c->memory_.allocate(size);
}

// Of the support functions only the one a filter uses to say that the rest
// of a request does not concern it: the host then skips those notifications.
BOOL FilterConnection::serverSupportFunction(HTTP_FILTER_CONTEXT* pfc, enum SF_REQ_TYPE request,
                                             PVOID, ULONG_PTR flags, ULONG_PTR) {
  FilterConnection* c = self(pfc);
  if (c && c->request_ && request == SF_REQ_DISABLE_NOTIFICATIONS) {
    c->disabled_ |= static_cast<DWORD>(flags) &
                    (SF_NOTIFY_SEND_RESPONSE | SF_NOTIFY_SEND_RAW_DATA | SF_NOTIFY_END_OF_REQUEST);
    return TRUE;
  }
  errno = ENOSYS;
  return FALSE;
}

BOOL FilterConnection::requestGetHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer,
                                        LPDWORD size) {
  try {
    FilterConnection* c = self(pfc);
    if (!c || !name || !size || !c->request_) return FALSE;
    return replyWith([&](ValueText& out) { return writeRequestHeader(name, *c->request_, out); },
                     buffer, size);
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
    return replyWith(
        [&](ValueText& out) {
          return writeHeaderValues(*c->response_, headerName(name), ", ", out);
        },
        buffer, size);
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
