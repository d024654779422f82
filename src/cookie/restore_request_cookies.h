#pragma once
// Request side of cookie imitation: the stocked cookies back into the
// request's Cookie header.

#include <string>

#include "cookie/cookie_store.h"
#include "http/request_facts.h"
#include "platform/hresult.h"

namespace vantomer {

// S_OK with the Cookie header to send in cookieHeader: the request's own
// cookies, then the key's stocked cookies whose path and flag fit the URL;
// S_FALSE when the handset has no stock; negative when the store failed.
[[nodiscard]] HRESULT restoreRequestCookies(CookieStore& store, const RequestFacts& request,
                                            const std::string& stockKey, const std::string& url,
                                            std::string& cookieHeader);

}  // namespace vantomer
