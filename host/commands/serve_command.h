#pragma once
// vantomer serve: the web server that passes every request through a filter
// module, in front of a directory or an upstream server.

#include <string>
#include <vector>

namespace vantomer::host {

// The exit status.
int serveCommand(std::vector<std::string> args);

extern const char* const kServeHelp;

}  // namespace vantomer::host
