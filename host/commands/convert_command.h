#pragma once
// vantomer convert: what a handset receives for a page, without a server.

#include <string>
#include <vector>

namespace vantomer::host {

// The exit status.
int convertCommand(std::vector<std::string> args);

extern const char* const kConvertHelp;

}  // namespace vantomer::host
