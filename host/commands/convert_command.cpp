// Runs one application response through the filter's notifications, the way
// the server would, and prints what the handset receives.

#include "commands/convert_command.h"

#include <sys/stat.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "apps/page_charset.h"
#include "binding/exchange.h"
#include "binding/filter_module.h"
#include "binding/response_framer.h"
#include "commands/command_line.h"
#include "commands/module_path.h"

namespace vantomer::host {

const char* const kConvertHelp =
    "Usage: vantomer convert --ua USER-AGENT [OPTIONS] FILE|-\n"
    "\n"
    "Shows what a handset receives for a page: FILE (or standard input) is the\n"
    "body of an application response \"HTTP/1.1 200 OK\" with the given content\n"
    "type; it goes through the filter as on a server, and the handset's body is\n"
    "written to standard output, in the handset's code page.\n"
    "\n"
    "Options:\n"
    "  --ua USER-AGENT       the handset's User-Agent (chooses the output profile)\n"
    "  --module PATH         the filter module (default: vantomer.so beside this program)\n"
    "  --content-type TYPE   content type of the page (default text/x-telmark with\n"
    "                        the charset of its XML declaration; else UTF-8 when the\n"
    "                        page is valid UTF-8; else Shift_JIS)\n"
    "  --url URL             the request URL the page answers (default /)\n"
    "  --host HOST           the request's Host header (default localhost)\n"
    "  --head                print the status line and headers too\n"
    "  -h, --help            this text\n"
    "\n"
    "Exit status: 0 when the handset receives a status below 500, 1 otherwise.\n";

namespace {

constexpr std::size_t kBlock = 64 * 1024;

bool fileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// The filter says no more than its 500 response: point at the usual causes
// and at the tool that tells them apart.
void explainFailure(const std::string& modulePath, const std::string& userAgent) {
  const std::size_t slash = modulePath.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : modulePath.substr(0, slash);
  std::cerr << "  The filter " << modulePath << " reads Vantomer.setting and Emoji.setting from "
            << directory << "/.\n";
  if (!fileExists(directory + "/Vantomer.setting")) {
    std::cerr << "  " << directory
              << "/Vantomer.setting is missing: the filter has no output profile, so every "
                 "page is answered with 500. Copy examples/Vantomer.setting and "
                 "examples/Emoji.setting there, or name a module that has them with --module.\n";
    return;
  }
  std::cerr << "  A 500 comes from a User-Agent that no profile's UAPattern matches, a page that\n"
               "  is not TELMARK as the settings describe it, or a profile whose code page has no\n"
               "  converter. To see the profile this User-Agent gets and what is wrong with the\n"
               "  settings, run:\n"
            << "    vantomer check --module " << modulePath << " --ua '" << userAgent << "'\n";
}

}  // namespace

int convertCommand(std::vector<std::string> args) {
  std::string modulePath = defaultModulePath();
  std::string userAgent;
  bool haveUserAgent = false;
  std::string contentType;
  std::string url = "/";
  std::string host = "localhost";
  bool printHead = false;
  std::string file;
  CommandLine cl(std::move(args));
  while (cl.more() && !cl.failed()) {
    if (cl.flag("--help") || cl.flag("-h")) {
      std::cout << kConvertHelp;
      return 0;
    }
    if (cl.value("--ua", userAgent)) {
      haveUserAgent = true;
      continue;
    }
    if (cl.value("--module", modulePath)) continue;
    if (cl.value("--content-type", contentType)) continue;
    if (cl.value("--url", url)) continue;
    if (cl.value("--host", host)) continue;
    if (cl.flag("--head")) {
      printHead = true;
      continue;
    }
    if (cl.peek() == "-" || cl.peek().rfind("--", 0) != 0) {
      if (!file.empty()) cl.fail("one page at a time");
      file = cl.take();
      continue;
    }
    cl.fail("unknown option '" + cl.peek() + "'");
  }
  if (!cl.failed() && !haveUserAgent) cl.fail("--ua is required");
  if (!cl.failed() && file.empty()) cl.fail("name the page file, or - for standard input");
  if (!cl.failed() && (url.empty() || url.front() != '/')) cl.fail("--url must start with /");
  for (const std::string& v : {userAgent, contentType, url, host})
    if (!cl.failed() && v.find_first_of("\r\n") != std::string::npos)
      cl.fail("values must not contain line breaks");
  if (cl.failed()) {
    std::cerr << "vantomer convert: " << cl.error() << "\n(see vantomer convert --help)\n";
    return 2;
  }

  std::string page;
  if (file == "-") {
    std::ostringstream in;
    in << std::cin.rdbuf();
    page = in.str();
  } else {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
      std::cerr << "vantomer convert: cannot read " << file << "\n";
      return 1;
    }
    page.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // Read in the wrong code page, a page would come out as mojibake.
  if (contentType.empty()) contentType = "text/x-telmark; charset=" + pageCharset(page);

  std::string error;
  std::unique_ptr<FilterModule> module = FilterModule::load(modulePath, error);
  if (!module) {
    std::cerr << "vantomer convert: " << error << "\n";
    return 1;
  }

  std::string received;
  {
    ConnectionInfo info{false, "127.0.0.1", 80, "127.0.0.1", 1024, "vantomer/" VANTOMER_VERSION};
    FilterConnection filter(*module, info, [&](std::string_view bytes) {
      received.append(bytes);
      return true;
    });
    RequestHead request;
    request.method = "GET";
    request.url = url;
    request.headers = {{"Host", host}, {"User-Agent", userAgent}};
    ResponseHead head;
    head.version = "HTTP/1.1";
    head.status = 200;
    head.reason = "OK";
    head.headers = {{"Content-Type", contentType}, {"Content-Length", std::to_string(page.size())}};
    head.format();
    runExchange(filter, request, head, page, kBlock);
  }
  module->terminate();

  ResponseFramer framer;
  const std::size_t headBytes = framer.feed(received);
  if (!framer.headDone()) {
    std::cerr << "vantomer convert: the filter produced no complete response"
              << (framer.failed() ? " (" + framer.error() + ")" : std::string()) << "\n";
    std::cerr.write(received.data(), static_cast<std::streamsize>(received.size()));
    return 1;
  }
  if (printHead) std::cout << framer.head().raw;
  const std::string_view body(received.data() + headBytes, received.size() - headBytes);
  const int status = framer.head().status;
  if (status >= 500) {
    // The error body is a message, not a page: it goes with the others.
    std::cout.flush();
    std::cerr << "vantomer convert: the handset receives " << status << " " << framer.head().reason
              << (body.empty() ? "" : ": ") << body
              << (body.empty() || body.back() == '\n' ? "" : "\n");
    explainFailure(modulePath, userAgent);
    return 1;
  }
  std::cout.write(body.data(), static_cast<std::streamsize>(body.size()));
  std::cout.flush();
  return 0;
}

}  // namespace vantomer::host
