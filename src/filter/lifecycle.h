#pragma once
// Load and unload of the filter behind the exports: registration with the
// host, and the one Filter of the module.

#include "filter/filter.h"
#include "vantomer/httpfilt.h"

namespace vantomer {

inline constexpr DWORD kFilterVersion = 0x00070005;
inline constexpr DWORD kFilterFlags = SF_NOTIFY_ORDER_HIGH | SF_NOTIFY_PREPROC_HEADERS |
                                      SF_NOTIFY_SEND_RAW_DATA | SF_NOTIFY_END_OF_REQUEST |
                                      SF_NOTIFY_SEND_RESPONSE | SF_NOTIFY_NONSECURE_PORT |
                                      SF_NOTIFY_SECURE_PORT;
inline constexpr const char* kFilterDescription = "Vantomer ISAPI Filter";

// The module's state; it lives from attach to detach, across loads.
Filter& moduleFilter();

BOOL getFilterVersion(HTTP_FILTER_VERSION* pVer);
BOOL terminateFilter(DWORD flags);
// Returns SF_STATUS_REQ_NEXT_NOTIFICATION.
DWORD httpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD notificationType, void* notification);

}  // namespace vantomer
