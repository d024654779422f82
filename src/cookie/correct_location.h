#pragma once
// Location correction: a relative redirect made absolute.

#include "http/held_response.h"
#include "http/request_facts.h"
#include "platform/hresult.h"

namespace vantomer {

// Makes a relative Location absolute against the request's scheme, host and
// base path. Always S_OK.
[[nodiscard]] HRESULT correctLocation(const RequestFacts& request, HeldResponse& response);

}  // namespace vantomer
