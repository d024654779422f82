#pragma once
// Load and unload of the filter: registration, the two XML files beside the
// module, the sweep timer.

#include "platform/hresult.h"
#include "vantomer/httpfilt.h"

namespace vantomer {

inline constexpr DWORD kFilterVersion = 0x00070005;
inline constexpr DWORD kFilterFlags = SF_NOTIFY_ORDER_HIGH | SF_NOTIFY_PREPROC_HEADERS |
                                      SF_NOTIFY_SEND_RAW_DATA | SF_NOTIFY_END_OF_REQUEST |
                                      SF_NOTIFY_SEND_RESPONSE | SF_NOTIFY_NONSECURE_PORT |
                                      SF_NOTIFY_SECURE_PORT;
inline constexpr const char* kFilterDescription = "Vantomer ISAPI Filter";
inline constexpr unsigned kSweepPeriodMs = 60000;

BOOL getFilterVersion(HTTP_FILTER_VERSION* pVer);
BOOL terminateFilter(DWORD flags);

// The notification dispatcher; returns SF_STATUS_REQ_NEXT_NOTIFICATION.
DWORD httpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD notificationType, void* notification);

}  // namespace vantomer
