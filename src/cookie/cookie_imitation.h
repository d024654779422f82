#pragma once
// Request-side restoration and response-side capture and link marking.

#include <string>

#include "config/settings.h"
#include "filter/held_response.h"
#include "platform/dom.h"
#include "platform/hresult.h"
#include "vantomer/httpfilt.h"

namespace vantomer {

// 0: the key's stock was found and "Cookie:" set; 1: no stock for this
// handset; E_FAIL: the host refused the header.
HRESULT restoreRequestCookies(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS* headers,
                              const std::string& stockKey, const std::string& url);

// Stocks the response's Set-Cookie values and marks Location, links and
// forms with the stock key.
HRESULT imitateCookies(const OutputCoordinator& profile, HTTP_FILTER_CONTEXT* pfc,
                       HeldResponse& response, dom::Document& document);

// Makes a relative Location absolute. Always 0.
HRESULT correctLocation(const OutputCoordinator& profile, HTTP_FILTER_CONTEXT* pfc,
                        HeldResponse& response);

}  // namespace vantomer
