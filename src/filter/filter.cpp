#include "filter/filter.h"

#include "config/load_settings.h"

namespace vantomer {

bool Filter::load(const std::string& directory, std::string* problem) {
  const HRESULT settings = loadSettings(
      sys::pathCombine(directory, "Vantomer.setting"),
      SettingsTargets{settings_, input_, profiles_, cookieStocker_.timeoutMinutes}, problem);
  if (failed(settings)) return false;
  if (failed(emojiTable_.load(sys::pathCombine(directory, "Emoji.setting")))) return false;
  return sweepTimer_.start(kSweepPeriodMs, [this] { cookieStocker_.sweep(); });
}

bool Filter::terminate() {
  const bool stopped = sweepTimer_.stop();
  profiles_.clear();
  return stopped;
}

}  // namespace vantomer
