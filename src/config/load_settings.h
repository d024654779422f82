#pragma once
// Reads the settings file into the records it fills.

#include <cstdint>
#include <string>
#include <vector>

#include "config/settings.h"
#include "platform/hresult.h"

namespace vantomer {

// Targets of one load; the module passes its process-wide objects.
struct SettingsTargets {
  FilterSettings& settings;
  InputCoordinator& input;
  ProfileList& profiles;
  int32_t& cookieStockerTimeoutMinutes;
};

// What one load looked at, for the check tool: the loader itself is the list
// of the names it knows, so a setting added to it is known to the check too.
struct SettingsTrace {
  enum class Form { Switch, Integer, EmojiType };
  // An element name looked for under a parent, named by its path without
  // indexes: "" for the root, "NewOutputCoordinator",
  // "InputCoordinator/AddAccesskeyIcon". many: every such child is read, not
  // only the first.
  struct Name {
    std::string parent;
    std::string name;
    bool many = false;
  };
  // A value read, its text and what the filter made of it.
  struct Value {
    std::string path;
    Form form;
    std::string text;
    std::string used;
  };
  std::vector<Name> names;  // each once, in the order looked for
  std::vector<Value> values;
};

// Negative means the load failed (the filter does not load); 0 and 1 are
// success. A missing or malformed file gives 1 and changes nothing. When
// problem is given, a failing load describes there the element and the
// reason (for the check tool; the filter itself writes no messages).
[[nodiscard]] HRESULT loadSettings(const std::string& path, SettingsTargets targets,
                                   std::string* problem = nullptr, SettingsTrace* trace = nullptr);

// Largest timeout that fits the 32-bit millisecond arithmetic of the stock.
inline constexpr int32_t kMaxCookieStockerTimeoutMinutes = 71582;
// Ranges of the stock's other numbers; a value outside fails the load.
inline constexpr int32_t kMaxCookieStockerRedisTimeoutMs = 60000;
inline constexpr int32_t kMaxCookieStockerMaxMegabytes = 1 << 20;
inline constexpr int32_t kMaxConversionCap = 100000000;
inline constexpr int32_t kMaxConversionMemoryMegabytes = 1 << 20;
inline constexpr int32_t kMaxConversionWaitMs = 60000;

}  // namespace vantomer
