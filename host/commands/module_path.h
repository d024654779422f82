#pragma once
// Where the commands look for the filter module when none is named.

#include <string>

namespace vantomer::host {

// The vantomer.so beside the running executable.
std::string defaultModulePath();

}  // namespace vantomer::host
