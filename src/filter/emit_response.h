#pragma once
// Writing the response the filter made to the client through the host.

#include "http/held_response.h"
#include "vantomer/httpfilt.h"

namespace vantomer {

// Sets Content-Length and writes head and body with two WriteClient calls.
void emitResponse(HTTP_FILTER_CONTEXT* pfc, HeldResponse& response, ResponseBody& body);

// Writes bytes to the client as they are.
void writeRaw(HTTP_FILTER_CONTEXT* pfc, std::string& bytes);

// A fixed empty 500 response, for when not even the error response could be
// built; allocates nothing.
void emitFixedError(HTTP_FILTER_CONTEXT* pfc) noexcept;

}  // namespace vantomer
