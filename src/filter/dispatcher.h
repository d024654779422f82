#pragma once
// The notification dispatcher: the stock key in request URLs, holding of
// input documents, and their conversion at end of request.

#include "filter/filter.h"
#include "vantomer/httpfilt.h"

namespace vantomer {

// Handles one notification for the filter; always returns
// SF_STATUS_REQ_NEXT_NOTIFICATION and never throws.
DWORD dispatchNotification(Filter& filter, HTTP_FILTER_CONTEXT* pfc, DWORD notificationType,
                           void* notification) noexcept;

}  // namespace vantomer
