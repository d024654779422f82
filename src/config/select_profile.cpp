#include "config/select_profile.h"

#include <boost/regex.hpp>
#include <memory>
#include <optional>
#include <stdexcept>

namespace vantomer {

// A profile's pattern, compiled once; empty when it is no valid expression.
struct CompiledUAPattern {
  std::optional<boost::regex> regex;
};

namespace {

const CompiledUAPattern& compiledPattern(const OutputCoordinator& profile) {
  // Thrown out-of-memory leaves the flag unset, so a later request retries.
  std::call_once(profile.patternOnce, [&profile] {
    auto compiled = std::make_shared<CompiledUAPattern>();
    try {
      compiled->regex.emplace(profile.uaPattern);
    } catch (const boost::regex_error&) {
      compiled->regex.reset();
    }
    profile.compiledPattern = std::move(compiled);
  });
  return *profile.compiledPattern;
}

bool matches(const OutputCoordinator& profile, const std::string& userAgent) {
  const CompiledUAPattern& pattern = compiledPattern(profile);
  if (!pattern.regex) return false;
  try {
    return boost::regex_match(userAgent, *pattern.regex);
  } catch (const std::runtime_error&) {
    // The matcher gave up (complexity or stack limits).
    return false;
  }
}

}  // namespace

const OutputCoordinator* selectProfile(const ProfileList& profiles, const std::string& userAgent) {
  for (const auto& profile : profiles)
    if (profile && matches(*profile, userAgent)) return profile.get();
  return nullptr;
}

}  // namespace vantomer
