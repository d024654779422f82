#include "commands/preview_command.h"

#include <sys/stat.h>

#include <boost/asio/signal_set.hpp>
#include <csignal>
#include <iostream>

#include "apps/proxy_app.h"
#include "apps/static_app.h"
#include "commands/command_line.h"
#include "commands/module_path.h"
#include "commands/preview_server.h"

namespace vantomer::host {

const char* const kPreviewHelp =
    "Usage: vantomer preview (--root DIR | --upstream http://HOST:PORT) [OPTIONS]\n"
    "\n"
    "Shows in a desktop browser what each handset receives for a page, side by\n"
    "side: the page drawn in a handset-wide frame (decoded from its code page,\n"
    "carrier emoji as pictures, links and forms that carry the stock key marked),\n"
    "the response head, the profile its User-Agent chose and why, and warnings:\n"
    "characters the code page lost, a page over --max-bytes, a page that did not\n"
    "parse, emoji that Emoji.setting lacks. Each page goes through the filter\n"
    "module exactly as under `vantomer serve`. Open the address it prints; type a\n"
    "path, or link to /?path=/index.tm.\n"
    "\n"
    "The application behind the filter, one of:\n"
    "  --root DIR              static files under DIR; .tm and .telmark files are\n"
    "                          text/x-telmark; charset=UTF-8 unless --mime says otherwise\n"
    "  --upstream URL          the HTTP server at http://HOST:PORT\n"
    "\n"
    "Options:\n"
    "  --module PATH           the filter module (default: vantomer.so beside this program;\n"
    "                          its settings and emoji table lie beside it)\n"
    "  --listen ADDR:PORT      the preview's address (default 127.0.0.1:8090; only this\n"
    "                          machine can open it)\n"
    "  --ua LABEL=USER-AGENT   a column (repeatable; replaces the default columns, one\n"
    "                          handset per family: i-mode, EZweb, J-SKY, and PC)\n"
    "  --max-bytes [LABEL=]N   warn when a page is larger than N bytes, in every column\n"
    "                          or in the one named (default 100k)\n"
    "  --mime .EXT=TYPE        media type of a file extension under --root, repeatable\n"
    "  --pictures DIR          emoji pictures NNN.svg, NNN.png or NNN.gif (NNN: the number,\n"
    "                          three digits at least); default: the emoji/ folder beside\n"
    "                          the module, as `make demo` makes it; numbered squares stand\n"
    "                          in for the pictures that are missing\n"
    "  -h, --help              this text\n";

namespace {

constexpr std::uint64_t kDefaultMaxBytes = 100 * 1024;

std::vector<PreviewAgent> defaultAgents() {
  return {
      {"i-mode", "DoCoMo/2.0 P903i(c100;TB;W24H12)", 0},
      {"EZweb", "KDDI-SA31 UP.Browser/6.2.0.7.3.129 (GUI) MMP/2.0", 0},
      {"J-SKY",
       "SoftBank/1.0/910T/TJ001/SN123456789012345 Browser/NetFront/3.3 Profile/MIDP-2.0 "
       "Configuration/CLDC-1.1",
       0},
      {"PC", "Mozilla/5.0 (X11; Linux x86_64; rv:120.0) Gecko/20100101 Firefox/120.0", 0},
  };
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool isDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct Parsed {
  std::string modulePath;
  std::string root;
  std::string upstream;
  UpstreamOptions upstreamOptions;
  PreviewOptions options;
  bool picturesGiven = false;
  std::uint64_t maxBytes = kDefaultMaxBytes;
  std::vector<std::pair<std::string, std::uint64_t>> columnMaxBytes;
  // Pages are written in UTF-8 unless told otherwise.
  std::vector<Header> types = {{".tm", "text/x-telmark; charset=UTF-8"},
                               {".telmark", "text/x-telmark; charset=UTF-8"}};
};

// False when the arguments are wrong (the message is in cl); help is set
// for --help.
bool parseArguments(CommandLine& cl, Parsed& p, bool& help) {
  std::string value;
  bool customAgents = false;
  while (cl.more() && !cl.failed()) {
    if (cl.flag("--help") || cl.flag("-h")) return help = true;
    if (cl.value("--module", p.modulePath) || cl.value("--root", p.root)) continue;
    if (cl.value("--upstream", p.upstream)) {
      if (!parseUpstream(p.upstream, p.upstreamOptions.host, p.upstreamOptions.port))
        cl.fail("--upstream needs http://HOST:PORT, not '" + p.upstream + "'");
    } else if (cl.value("--listen", value)) {
      if (!parseHostPort(value, p.options.listenHost, p.options.listenPort))
        cl.fail("--listen needs ADDR:PORT, not '" + value + "'");
    } else if (cl.value("--ua", value)) {
      const std::size_t eq = value.find('=');
      if (eq == 0 || eq == std::string::npos || value.find_first_of("\r\n") != std::string::npos)
        cl.fail("--ua needs LABEL=USER-AGENT, not '" + value + "'");
      if (!customAgents) p.options.agents.clear();
      customAgents = true;
      p.options.agents.push_back({value.substr(0, eq), value.substr(eq + 1), 0});
    } else if (cl.value("--max-bytes", value)) {
      const std::size_t eq = value.rfind('=');
      std::uint64_t n = 0;
      if (!parseSize(value.substr(eq == std::string::npos ? 0 : eq + 1), n) || eq == 0)
        cl.fail("--max-bytes needs a size such as 100k, or LABEL=SIZE");
      else if (eq == std::string::npos)
        p.maxBytes = n;
      else
        p.columnMaxBytes.emplace_back(value.substr(0, eq), n);
    } else if (cl.value("--mime", value)) {
      const std::size_t eq = value.find('=');
      if (eq == std::string::npos || eq < 2 || value[0] != '.' || eq + 1 >= value.size())
        cl.fail("--mime needs .EXT=TYPE, not '" + value + "'");
      else
        p.types.push_back({lower(value.substr(0, eq)), value.substr(eq + 1)});
    } else if (cl.value("--pictures", p.options.pictures)) {
      p.picturesGiven = true;
    } else {
      cl.fail("unknown option '" + cl.peek() + "'");
    }
  }
  if (cl.failed()) return false;
  if (p.root.empty() == p.upstream.empty())
    cl.fail("give either --root DIR or --upstream http://HOST:PORT");
  else if (p.picturesGiven && !isDirectory(p.options.pictures))
    cl.fail("--pictures: " + p.options.pictures + " is no directory");
  for (PreviewAgent& agent : p.options.agents) agent.maxBytes = p.maxBytes;
  for (const auto& [label, n] : p.columnMaxBytes) {
    bool found = false;
    for (PreviewAgent& agent : p.options.agents)
      if (agent.label == label) found = true, agent.maxBytes = n;
    if (!found) cl.fail("--max-bytes: no column is labelled '" + label + "'");
  }
  return !cl.failed();
}

int run(Parsed& p) {
  std::signal(SIGPIPE, SIG_IGN);
  const std::size_t slash = p.modulePath.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : p.modulePath.substr(0, slash);
  if (!p.picturesGiven && isDirectory(directory + "/emoji"))
    p.options.pictures = directory + "/emoji";
  std::string error;
  std::unique_ptr<FilterModule> module = FilterModule::load(p.modulePath, error);
  std::unique_ptr<PreviewSettings> settings;
  if (module) settings = PreviewSettings::load(directory, error);
  std::unique_ptr<Application> application;
  if (settings) {
    application = p.upstream.empty()
                      ? makeStaticApplication(p.root, {"index.tm", "index.html"}, p.types, error)
                      : makeProxyApplication(p.upstreamOptions);
  }
  if (!application) {
    std::cerr << "vantomer preview: " << error << "\n";
    return 1;
  }
  p.options.behind = p.upstream.empty() ? "Files of " + p.root : "The site at " + p.upstream;

  // Declared before the I/O context: its coroutine frames refer to them.
  std::unique_ptr<PreviewSite> site;
  std::unique_ptr<PreviewServer> server;
  {
    asio::io_context io(1);
    site = PreviewSite::start(io, std::move(module), std::move(application), error);
    if (site) server = std::make_unique<PreviewServer>(p.options, *settings, *site);
    if (!site || !server->listen(io, error)) {
      std::cerr << "vantomer preview: " << error << "\n";
      if (site) site->stop();
      return 1;
    }
    asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&io](const error_code& ec, int) {
      if (!ec) io.stop();
    });
    std::cerr << "vantomer preview: open " << server->url() << " (" << p.options.behind
              << " through " << site->module().path() << "; pictures: "
              << (p.options.pictures.empty() ? "numbered squares" : p.options.pictures) << ")\n";
    io.run();
    server->stop();
    site->stop();
  }
  std::cerr << "vantomer preview: stopped\n";
  return 0;
}

}  // namespace

int previewCommand(std::vector<std::string> args) {
  Parsed p;
  p.modulePath = defaultModulePath();
  p.options.agents = defaultAgents();
  CommandLine cl(std::move(args));
  bool help = false;
  const bool parsed = parseArguments(cl, p, help);
  if (help) {
    std::cout << kPreviewHelp;
    return 0;
  }
  if (!parsed) {
    std::cerr << "vantomer preview: " << cl.error() << "\n(see vantomer preview --help)\n";
    return 2;
  }
  return run(p);
}

}  // namespace vantomer::host
