#include "filter/lifecycle.h"

#include <cstring>

#include "filter/dispatcher.h"
#include "platform/codepage.h"
#include "platform/dom.h"

namespace vantomer {
namespace {

// Built when the module is attached, before the host calls in.
Filter gFilter;

}  // namespace

Filter& moduleFilter() { return gFilter; }

BOOL getFilterVersion(HTTP_FILTER_VERSION* pVer) {
  if (!pVer) return FALSE;
  dom::initialize();
  (void)codepage::ansiCodePage();  // read the environment once, at load

  pVer->dwFilterVersion = kFilterVersion;
  pVer->dwFlags = kFilterFlags;
  const std::size_t length = std::strlen(kFilterDescription);
  if (length >= sizeof(pVer->lpszFilterDesc)) return FALSE;
  std::memcpy(pVer->lpszFilterDesc, kFilterDescription, length + 1);
  return gFilter.load(sys::moduleDirectory()) ? TRUE : FALSE;
}

BOOL terminateFilter(DWORD) { return gFilter.terminate() ? TRUE : FALSE; }

DWORD httpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD notificationType, void* notification) {
  return dispatchNotification(gFilter, pfc, notificationType, notification);
}

}  // namespace vantomer
