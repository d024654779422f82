#include "filter/host_access.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <vector>

#include "platform/text.h"

namespace vantomer {
namespace {

// Runs read on buffer and gives the text the host says it wrote: a host
// that leaves out the NUL or claims more than the buffer is read no further.
// Nothing is allocated or cleared first: these reads happen on every request.
template <typename Read>
std::optional<std::string_view> readInto(std::span<char> buffer, Read read) {
  if (buffer.empty()) return std::nullopt;
  buffer[0] = '\0';
  DWORD size = static_cast<DWORD>(buffer.size());
  if (!read(buffer.data(), &size)) return std::nullopt;
  const std::size_t written = std::min<std::size_t>(size, buffer.size());
  return std::string_view(buffer.data(), ::strnlen(buffer.data(), written));
}

template <typename Read>
std::optional<std::string> readValue(std::size_t bufferSize, Read read) {
  std::array<char, kBasePathBuffer> local;
  std::vector<char> large;
  std::span<char> buffer(local.data(), std::min(bufferSize, local.size()));
  if (bufferSize > local.size()) {
    large.resize(bufferSize);
    buffer = large;
  }
  const auto value = readInto(buffer, read);
  if (!value) return std::nullopt;
  return std::string(*value);
}

}  // namespace

std::optional<std::string> getServerVariable(HTTP_FILTER_CONTEXT* pfc, const std::string& name,
                                             std::size_t bufferSize) {
  if (!pfc || !pfc->GetServerVariable || bufferSize == 0) return std::nullopt;
  return readValue(bufferSize, [&](char* buffer, DWORD* size) {
    return pfc->GetServerVariable(pfc, const_cast<char*>(name.c_str()), buffer, size) != FALSE;
  });
}

std::string serverVariableOrEmpty(HTTP_FILTER_CONTEXT* pfc, const std::string& name,
                                  std::size_t bufferSize) {
  return getServerVariable(pfc, name, bufferSize).value_or(std::string());
}

std::optional<std::string> getHeader(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS* record,
                                     const std::string& name, std::size_t bufferSize) {
  if (!record || !record->GetHeader || bufferSize == 0) return std::nullopt;
  return readValue(bufferSize, [&](char* buffer, DWORD* size) {
    return record->GetHeader(pfc, const_cast<char*>(name.c_str()), buffer, size) != FALSE;
  });
}

bool hasServerVariable(HTTP_FILTER_CONTEXT* pfc, const char* name) {
  if (!pfc || !pfc->GetServerVariable) return false;
  char probe[1];
  DWORD size = sizeof probe;
  // Present when it fits, or when the host asks for a larger buffer.
  return pfc->GetServerVariable(pfc, const_cast<char*>(name), probe, &size) != FALSE ||
         size > sizeof probe;
}

std::optional<std::string_view> readHeader(HTTP_FILTER_CONTEXT* pfc, GetHeaderFn getHeader,
                                           const char* name, std::span<char> buffer) {
  if (!getHeader) return std::nullopt;
  return readInto(buffer, [&](char* out, DWORD* size) {
    return getHeader(pfc, const_cast<char*>(name), out, size) != FALSE;
  });
}

bool setHeader(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS* record,
               const std::string& name, const std::string& value) {
  if (!record || !record->SetHeader) return false;
  return record->SetHeader(pfc, const_cast<char*>(name.c_str()),
                           const_cast<char*>(value.c_str())) != 0;
}

bool isSecureRequest(HTTP_FILTER_CONTEXT* pfc) {
  auto https = getServerVariable(pfc, "HTTPS", kHttpsBuffer);
  return https && text::iequals(*https, "on");
}

}  // namespace vantomer

namespace vantomer {

RequestFacts readRestoreFacts(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS* record) {
  RequestFacts facts;
  facts.userAgent = serverVariableOrEmpty(pfc, "HTTP_USER_AGENT");
  facts.secure = isSecureRequest(pfc);
  facts.cookieHeader = getHeader(pfc, record, "Cookie:", kCookieBuffer);
  return facts;
}

RequestFacts readResponseFacts(HTTP_FILTER_CONTEXT* pfc, const FilterSettings& settings) {
  RequestFacts facts;
  facts.userAgent = serverVariableOrEmpty(pfc, "HTTP_USER_AGENT");
  facts.host = serverVariableOrEmpty(pfc, "HTTP_HOST");
  facts.secure = isSecureRequest(pfc);
  facts.stockKey = serverVariableOrEmpty(pfc, settings.cookieStockKey);
  if (!settings.locationCorrectBasePathSVName.empty())
    facts.basePath =
        getServerVariable(pfc, settings.locationCorrectBasePathSVName, kBasePathBuffer);
  if (!facts.basePath) facts.basePath = getServerVariable(pfc, "URL", kBasePathBuffer);
  return facts;
}

}  // namespace vantomer
