#pragma once
// Reads of host values into fixed-size buffers: a read that fails or does
// not fit counts as empty (or absent).

#include <cstddef>
#include <optional>
#include <string>

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
bool setHeader(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS* record,
               const std::string& name, const std::string& value);
// Whether "HTTPS" reads as "on" in any letter case.
bool isSecureRequest(HTTP_FILTER_CONTEXT* pfc);

}  // namespace vantomer
