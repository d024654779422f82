#pragma once
// The subcommands of the vantomer executable; each returns the exit status.

#include <string>
#include <vector>

namespace vantomer::host {

int serveCommand(std::vector<std::string> args);
int convertCommand(std::vector<std::string> args);
int checkCommand(std::vector<std::string> args);

extern const char* const kServeHelp;
extern const char* const kConvertHelp;
extern const char* const kCheckHelp;

}  // namespace vantomer::host
