// The module's three exports. Nothing thrown inside may reach the host.

#include "filter/lifecycle.h"
#include "vantomer/httpfilt.h"

#define VANTOMER_EXPORT extern "C" __attribute__((visibility("default")))

VANTOMER_EXPORT BOOL GetFilterVersion(HTTP_FILTER_VERSION* pVer) {
  try {
    return vantomer::getFilterVersion(pVer);
  } catch (...) {
    return FALSE;
  }
}

VANTOMER_EXPORT DWORD HttpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD notificationType,
                                     LPVOID pvNotification) {
  try {
    return vantomer::httpFilterProc(pfc, notificationType, pvNotification);
  } catch (...) {
    return SF_STATUS_REQ_NEXT_NOTIFICATION;
  }
}

VANTOMER_EXPORT BOOL TerminateFilter(DWORD dwFlags) {
  try {
    return vantomer::terminateFilter(dwFlags);
  } catch (...) {
    return FALSE;
  }
}
