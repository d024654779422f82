// vantomer: the web server that hosts a filter module, and its offline tools.

#include <iostream>
#include <string>
#include <vector>

#include "commands/check_command.h"
#include "commands/convert_command.h"
#include "commands/preview_command.h"
#include "commands/serve_command.h"

namespace {

const char* const kHelp =
    "Usage: vantomer COMMAND [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  serve     run an HTTP/1.1 server that passes every request through a filter\n"
    "            module, in front of a directory or an upstream HTTP server\n"
    "  convert   show what a handset receives for a page, without a server\n"
    "  check     check the settings and emoji files beside a filter module\n"
    "  preview   every handset's view of a page, side by side, in a desktop browser\n"
    "\n"
    "  vantomer COMMAND --help   options of a command\n"
    "  vantomer --version        the version\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace vantomer::host;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::cerr << kHelp;
    return 2;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  try {
    if (command == "--help" || command == "-h" || command == "help") {
      std::cout << kHelp;
      return 0;
    }
    if (command == "--version" || command == "version") {
      std::cout << "vantomer " VANTOMER_VERSION "\n";
      return 0;
    }
    if (command == "serve") return serveCommand(std::move(args));
    if (command == "convert") return convertCommand(std::move(args));
    if (command == "check") return checkCommand(std::move(args));
    if (command == "preview") return previewCommand(std::move(args));
    std::cerr << "vantomer: unknown command '" << command << "'\n\n" << kHelp;
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "vantomer: " << e.what() << "\n";
    return 1;
  }
}
