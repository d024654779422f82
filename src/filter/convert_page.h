#pragma once
// A held page's road from its bytes to the response to send, without the
// host: everything the request needs of it has been read into RequestFacts.

#include "filter/filter.h"
#include "http/held_response.h"
#include "http/request_facts.h"
#include "platform/dom.h"
#include "platform/hresult.h"

namespace vantomer {

// The profile's work on a loaded page: Location correction and cookie
// imitation where its switches are on, then the conversion steps and
// serialisation.
[[nodiscard]] HRESULT convertPage(Filter& filter, const OutputCoordinator& profile,
                                  const RequestFacts& request, HeldResponse& response,
                                  ResponseBody& body, dom::Document& document);

// Checks the parsed held response, chooses the profile, loads and converts
// the page. The response to send is left in response and body (negative: it
// is to become the 500 response). captureFailed: memory ran out while
// holding.
[[nodiscard]] HRESULT convertHeld(Filter& filter, const RequestFacts& request, bool captureFailed,
                                  HeldResponse& response, ResponseBody& body);

}  // namespace vantomer
