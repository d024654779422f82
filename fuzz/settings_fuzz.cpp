// The settings file loader over arbitrary file contents.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/load_settings.h"
#include "config/settings.h"
#include "platform/dom.h"
#include "support/temp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static vantomer::fuzz::TempFile file("Vantomer.setting");
  static const bool initialised = (vantomer::dom::initialize(), true);
  (void)initialised;

  vantomer::FilterSettings settings;
  vantomer::InputCoordinator input;
  vantomer::ProfileList profiles;
  int32_t timeoutMinutes = 60;
  std::string problem;
  const vantomer::HRESULT hr = vantomer::loadSettings(
      file.write(data, size), vantomer::SettingsTargets{settings, input, profiles, timeoutMinutes},
      &problem);

  // What a successful load stores must fit the widths the module relies on.
  if (vantomer::succeeded(hr)) {
    if (timeoutMinutes < 0) std::abort();
    if (settings.cookiePaddingMarkL.size() >= vantomer::width::CookiePaddingMark) std::abort();
    if (settings.cookiePaddingMarkR.size() >= vantomer::width::CookiePaddingMark) std::abort();
    for (const auto& profile : profiles) {
      if (profile->uaPattern.size() >= vantomer::width::UAPattern) std::abort();
      if (profile->charset.size() >= vantomer::width::Charset) std::abort();
    }
  }
  return 0;
}
