#pragma once
// Response side of cookie imitation: Set-Cookie values into the stock, and
// the stock key into Location, links and forms.

#include "config/settings.h"
#include "cookie/cookie_store.h"
#include "http/held_response.h"
#include "http/request_facts.h"
#include "platform/dom.h"
#include "platform/hresult.h"

namespace vantomer {

// Stocks the response's Set-Cookie values under the request's key (a new one
// when it has none) and marks the same-site URLs with that key.
[[nodiscard]] HRESULT imitateCookies(const FilterSettings& settings, CookieStore& store,
                                     const RequestFacts& request, HeldResponse& response,
                                     dom::Document& document);

}  // namespace vantomer
