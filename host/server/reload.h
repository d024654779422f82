#pragma once
// Reading the filter's settings anew while the server runs (SIGHUP).

#include <chrono>
#include <string>

#include "binding/filter_module.h"
#include "server/connection.h"

namespace vantomer::host {

// Checks the settings beside the module with `vantomer check` first and
// refuses, touching nothing, when they would not load. Then new requests
// wait while those inside the filter finish (at most patience), and the
// module is reloaded through its exports. Messages go to stderr; false when
// the settings in force stay.
bool reloadFilter(FilterModule& module, ServerShared& shared, std::chrono::milliseconds patience);

}  // namespace vantomer::host
