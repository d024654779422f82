#pragma once
// vantomer check: the settings and emoji files beside a module, read as the
// filter reads them at load.

#include <string>
#include <vector>

namespace vantomer::host {

// The exit status.
int checkCommand(std::vector<std::string> args);

extern const char* const kCheckHelp;

}  // namespace vantomer::host
