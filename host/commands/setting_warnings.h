#pragma once
// What the settings loader reads otherwise than its author meant: element
// names it never looks for, later copies of a setting it reads once, and
// switches, numbers and emoji types whose text it takes for something else.

#include <string>
#include <string_view>
#include <vector>

#include "commands/check_report.h"
#include "config/load_settings.h"

namespace vantomer::host {

// Walks the file at path against the names the loader looked for in it.
void warnAboutSettingNames(CheckReport& report, const std::string& file, const std::string& path,
                           const SettingsTrace& trace);

// Values whose text the loader reads as something the text does not say.
void warnAboutSettingValues(CheckReport& report, const std::string& file,
                            const SettingsTrace& trace);

// The name of known closest to name (letter case aside, then with it), or
// empty when none is close enough to be a slip.
std::string closestName(std::string_view name, const std::vector<std::string>& known);

}  // namespace vantomer::host
