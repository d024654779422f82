#pragma once
// Request side of cookie imitation: the stocked cookies back into the
// request's Cookie header.

#include <string>

#include "cookie/cookie_store.h"
#include "http/request_facts.h"
#include "platform/hresult.h"

namespace vantomer {

// The longest Cookie header the filter reads from a request (a 4096-byte
// buffer with its terminator). A restored header is never longer: stocked
// cookies that would take it past this are left out.
inline constexpr std::size_t kMaxCookieHeader = 4095;

// S_OK with the Cookie header to send in cookieHeader: the request's own
// cookies, then the key's stocked cookies whose path and flag fit the URL,
// as many as kMaxCookieHeader allows (the handset's own header unchanged when
// it alone comes to more once normalised);
// S_FALSE when the handset has no stock; negative when the store failed.
[[nodiscard]] HRESULT restoreRequestCookies(CookieStore& store, const RequestFacts& request,
                                            const std::string& stockKey, const std::string& url,
                                            std::string& cookieHeader);

}  // namespace vantomer
