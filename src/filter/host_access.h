#pragma once
// Reads of host values into fixed-size buffers (a read that fails or does
// not fit counts as empty, or absent), and the request facts made of them.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/settings.h"
#include "http/request_facts.h"
#include "vantomer/httpfilt.h"

namespace vantomer {

inline constexpr std::size_t kHostBuffer = 1024;
inline constexpr std::size_t kCookieBuffer = 4096;
inline constexpr std::size_t kBasePathBuffer = 4096;
inline constexpr std::size_t kHttpsBuffer = 16;

std::optional<std::string> getServerVariable(HTTP_FILTER_CONTEXT* pfc, const std::string& name,
                                             std::size_t bufferSize = kHostBuffer);
// Empty text when the read fails.
std::string serverVariableOrEmpty(HTTP_FILTER_CONTEXT* pfc, const std::string& name,
                                  std::size_t bufferSize = kHostBuffer);
std::optional<std::string> getHeader(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS* record,
                                     const std::string& name, std::size_t bufferSize = kHostBuffer);
// A header read into the caller's buffer, for the checks every request
// makes: the view is valid while the buffer is.
using GetHeaderFn = BOOL (*)(HTTP_FILTER_CONTEXT*, LPSTR, LPVOID, LPDWORD);
std::optional<std::string_view> readHeader(HTTP_FILTER_CONTEXT* pfc, GetHeaderFn getHeader,
                                           const char* name, std::span<char> buffer);
// Whether the variable exists, whatever its length.
bool hasServerVariable(HTTP_FILTER_CONTEXT* pfc, const char* name);
bool setHeader(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS* record,
               const std::string& name, const std::string& value);
// Whether "HTTPS" reads as "on" in any letter case.
bool isSecureRequest(HTTP_FILTER_CONTEXT* pfc);

// What restoring a stocked login needs: the User-Agent, the scheme and the
// request's own Cookie header.
RequestFacts readRestoreFacts(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS* record);
// What converting a held page needs: the User-Agent, host, scheme, the stock
// key and the base path of relative Locations.
RequestFacts readResponseFacts(HTTP_FILTER_CONTEXT* pfc, const FilterSettings& settings);

}  // namespace vantomer
