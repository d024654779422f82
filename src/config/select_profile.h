#pragma once
// Choice of the output profile by User-Agent.

#include <string>

#include "config/settings.h"

namespace vantomer {

// The first profile whose pattern matches the whole User-Agent, or null. A
// pattern that does not compile, or whose match gives up, does not match.
const OutputCoordinator* selectProfile(const ProfileList& profiles, const std::string& userAgent);

}  // namespace vantomer
