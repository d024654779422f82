#include "filter/host_access.h"

#include <array>
#include <cstring>
#include <vector>

#include "platform/text.h"

namespace vantomer {
namespace {

// Runs read on a zero-filled buffer of bufferSize bytes and gives its text.
// The sizes in use fit on the stack: these reads happen on every request.
template <typename Read>
std::optional<std::string> readValue(std::size_t bufferSize, Read read) {
  std::array<char, kBasePathBuffer> local;
  std::vector<char> large;
  char* buffer = local.data();
  if (bufferSize > local.size()) {
    large.resize(bufferSize);
    buffer = large.data();
  }
  std::memset(buffer, 0, bufferSize);
  DWORD size = static_cast<DWORD>(bufferSize);
  if (!read(buffer, &size)) return std::nullopt;
  buffer[bufferSize - 1] = '\0';  // a host that overfills must not make us read past the end
  return std::string(buffer);
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
