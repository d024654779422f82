#include "filter/lifecycle.h"

#include <cstring>
#include <string>

#include "config/load_settings.h"
#include "filter/process_objects.h"
#include "platform/codepage.h"
#include "platform/dom.h"
#include "platform/system.h"

namespace vantomer {
namespace {

sys::PeriodicTimer& sweepTimer() {
  static sys::PeriodicTimer timer;
  return timer;
}

void CookieSweepTimerProc() { cookieStocker().sweep(); }

}  // namespace

BOOL getFilterVersion(HTTP_FILTER_VERSION* pVer) {
  if (!pVer) return FALSE;
  dom::initialize();
  codepage::ansiCodePage();  // read the environment once, at load

  BOOL result = TRUE;
  pVer->dwFilterVersion = kFilterVersion;
  pVer->dwFlags = kFilterFlags;
  const std::size_t length = std::strlen(kFilterDescription);
  if (length < sizeof(pVer->lpszFilterDesc)) {
    std::memcpy(pVer->lpszFilterDesc, kFilterDescription, length + 1);
  } else {
    result = FALSE;
  }

  const std::string directory = sys::moduleDirectory();
  if (result) {
    const HRESULT hr = loadSettings(sys::pathCombine(directory, "Vantomer.setting"),
                                    SettingsTargets{filterSettings(), inputCoordinator(),
                                                    profileList(), cookieStocker().timeoutMinutes});
    if (failed(hr)) result = FALSE;
  }
  if (result) {
    if (failed(emojiTable().load(sys::pathCombine(directory, "Emoji.setting")))) result = FALSE;
  }
  if (result) {
    if (!sweepTimer().start(kSweepPeriodMs, CookieSweepTimerProc)) result = FALSE;
  }
  return result;
}

BOOL terminateFilter(DWORD) {
  const BOOL stopped = sweepTimer().stop() ? TRUE : FALSE;
  profileList().clear();
  return stopped;
}

}  // namespace vantomer
