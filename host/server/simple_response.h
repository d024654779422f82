#pragma once
// Small complete responses of the server's own (errors, refusals).

#include <string>
#include <string_view>

#include "binding/headers.h"

namespace vantomer::host {

// A complete small response, framed with Content-Length.
std::string simpleResponse(int status, std::string_view reason, std::string_view body,
                           const Headers& extra = {}, bool close = false);
std::string_view reasonPhrase(int status);

}  // namespace vantomer::host
