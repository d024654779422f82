#include "commands/serve_command.h"

#include <malloc.h>

#include <iostream>

#include "apps/proxy_app.h"
#include "apps/static_app.h"
#include "commands/command_line.h"
#include "commands/module_path.h"
#include "server/server.h"

namespace vantomer::host {

const char* const kServeHelp =
    "Usage: vantomer serve (--root DIR | --upstream http://HOST:PORT) [OPTIONS]\n"
    "\n"
    "Runs an HTTP/1.1 server that loads a filter module and passes every request\n"
    "and response through it. Stops on SIGTERM or SIGINT once the requests in\n"
    "flight are answered. One access log line per request (combined log format)\n"
    "goes to stdout, messages to stderr.\n"
    "\n"
    "The application behind the filter, one of:\n"
    "  --root DIR              static files under DIR; .tm and .telmark files are\n"
    "                          text/x-telmark; directories answer with their index file\n"
    "  --upstream URL          a reverse proxy to the HTTP server at http://HOST:PORT\n"
    "\n"
    "Options:\n"
    "  --module PATH           the filter module (default: vantomer.so beside this program;\n"
    "                          it reads its settings from its own directory)\n"
    "  --listen ADDR:PORT      plain HTTP listener (default 127.0.0.1:8080)\n"
    "  --tls-cert FILE         PEM certificate chain; with --tls-key adds a TLS listener\n"
    "  --tls-key FILE          PEM private key of that certificate\n"
    "  --tls-listen ADDR:PORT  TLS listener (default 127.0.0.1:8443)\n"
    "  --threads N             I/O threads (default: one per core)\n"
    "  --index NAMES           index files, comma-separated (default index.tm,index.html)\n"
    "  --mime .EXT=TYPE        media type of a file extension, repeatable, e.g.\n"
    "                          --mime '.tm=text/x-telmark; charset=Shift_JIS'; without\n"
    "                          one, a .tm page gets the charset its bytes show\n"
    "  --upstream-timeout T    time the upstream has for its response head and for\n"
    "                          each body read (default 30s); then 504\n"
    "  --upstream-idle N       idle upstream connections kept for reuse (default 32)\n"
    "  --idle-timeout T        how long a keep-alive connection waits for its next\n"
    "                          request (default 60s)\n"
    "  --read-timeout T        time to receive a request head; limit of every later\n"
    "                          read or write of the client (default 30s)\n"
    "  --max-header-size N     request head limit (default 16k); beyond: 431\n"
    "  --max-body-size N       request body limit (default 10M); beyond: 413\n"
    "  --body-timeout T        time to receive a whole request body (default 120s);\n"
    "                          then 408\n"
    "  --max-body-memory N     request bodies all connections together may hold\n"
    "                          (default 256M); beyond: 503\n"
    "  --max-connections N     open client connections (default: half the descriptor\n"
    "                          limit); at the cap idle keep-alive connections close\n"
    "                          first, then new ones get 503\n"
    "  --grace T               how long a stop waits for requests in flight (default 30s)\n"
    "  --no-access-log         write no access log\n"
    "  --metrics-listen ADDR:PORT\n"
    "                          serve GET /metrics (Prometheus text format) on a\n"
    "                          listener of its own (default: none)\n"
    "  -h, --help              this text\n"
    "\n"
    "Times are seconds (\"2.5\") or carry a unit (\"500ms\", \"30s\"); sizes are bytes\n"
    "or carry k, M or G.\n";

namespace {

bool splitList(const std::string& text, std::vector<std::string>& out) {
  out.clear();
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    std::string item = text.substr(start, comma - start);
    if (item.empty() || item.find('/') != std::string::npos) return false;
    out.push_back(item);
    start = comma + 1;
  }
  return !out.empty();
}

}  // namespace

int serveCommand(std::vector<std::string> args) {
  ServeOptions options;
  options.modulePath = defaultModulePath();
  std::string root;
  std::vector<std::string> indexFiles = {"index.tm", "index.html"};
  std::vector<Header> types;  // extension -> media type
  std::string upstream;
  UpstreamOptions upstreamOptions;
  CommandLine cl(std::move(args));
  std::string value;
  while (cl.more() && !cl.failed()) {
    if (cl.flag("--help") || cl.flag("-h")) {
      std::cout << kServeHelp;
      return 0;
    }
    if (cl.value("--module", options.modulePath)) continue;
    if (cl.value("--root", root)) continue;
    if (cl.value("--upstream", upstream)) {
      if (!parseUpstream(upstream, upstreamOptions.host, upstreamOptions.port))
        cl.fail("--upstream needs http://HOST:PORT, not '" + upstream + "'");
      continue;
    }
    if (cl.value("--listen", value)) {
      if (!parseHostPort(value, options.listenHost, options.listenPort))
        cl.fail("--listen needs ADDR:PORT, not '" + value + "'");
      continue;
    }
    if (cl.value("--tls-listen", value)) {
      if (!parseHostPort(value, options.tlsListenHost, options.tlsListenPort))
        cl.fail("--tls-listen needs ADDR:PORT, not '" + value + "'");
      continue;
    }
    if (cl.value("--metrics-listen", value)) {
      if (!parseHostPort(value, options.metricsHost, options.metricsPort))
        cl.fail("--metrics-listen needs ADDR:PORT, not '" + value + "'");
      continue;
    }
    if (cl.value("--tls-cert", options.tlsCertificate)) continue;
    if (cl.value("--tls-key", options.tlsKey)) continue;
    if (cl.value("--threads", value)) {
      std::uint64_t n = 0;
      if (!parseSize(value, n) || n == 0 || n > 256)
        cl.fail("--threads needs a number from 1 to 256");
      options.threads = static_cast<unsigned>(n);
      continue;
    }
    if (cl.value("--index", value)) {
      if (!splitList(value, indexFiles)) cl.fail("--index needs file names, comma-separated");
      continue;
    }
    if (cl.value("--mime", value)) {
      const std::size_t eq = value.find('=');
      if (eq == std::string::npos || eq < 2 || value[0] != '.' || eq + 1 >= value.size()) {
        cl.fail("--mime needs .EXT=TYPE, not '" + value + "'");
      } else {
        std::string extension = value.substr(0, eq);
        for (char& c : extension)
          c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        types.push_back({extension, value.substr(eq + 1)});
      }
      continue;
    }
    auto duration = [&](const char* name, Duration& field) {
      if (!cl.value(name, value)) return false;
      if (!parseDuration(value, field) || field.count() == 0)
        cl.fail(std::string(name) + " needs a time such as 30, 2.5 or 500ms");
      return true;
    };
    auto size = [&](const char* name, std::uint64_t& field) {
      if (!cl.value(name, value)) return false;
      if (!parseSize(value, field) || field == 0)
        cl.fail(std::string(name) + " needs a size such as 16384, 16k or 10M");
      return true;
    };
    if (duration("--upstream-timeout", upstreamOptions.timeout)) continue;
    if (duration("--idle-timeout", options.limits.idleTimeout)) continue;
    if (duration("--read-timeout", options.limits.readTimeout)) continue;
    if (duration("--grace", options.grace)) continue;
    if (duration("--body-timeout", options.limits.bodyTimeout)) continue;
    std::uint64_t n = 0;
    if (size("--upstream-idle", n)) {
      upstreamOptions.maxIdle = static_cast<std::size_t>(n);
      continue;
    }
    if (size("--max-header-size", n)) {
      if (n > 1024 * 1024) cl.fail("--max-header-size is at most 1M");
      options.limits.maxHeader = static_cast<std::size_t>(n);
      continue;
    }
    if (size("--max-body-size", options.limits.maxBody)) continue;
    if (size("--max-body-memory", options.limits.maxBodyMemory)) continue;
    if (size("--max-connections", n)) {
      options.maxConnections = static_cast<std::size_t>(n);
      continue;
    }
    if (cl.flag("--no-access-log")) {
      options.accessLog = false;
      continue;
    }
    cl.fail("unknown option '" + cl.peek() + "'");
  }
  if (!cl.failed()) {
    if (root.empty() == upstream.empty())
      cl.fail("give either --root DIR or --upstream http://HOST:PORT");
    else if (options.tlsCertificate.empty() != options.tlsKey.empty())
      cl.fail("--tls-cert and --tls-key go together");
  }
  if (cl.failed()) {
    std::cerr << "vantomer serve: " << cl.error() << "\n(see vantomer serve --help)\n";
    return 2;
  }
  // Keep the freed memory of ordinary requests in the process (with glibc's
  // defaults their buffers went back to the system and were faulted in again
  // by the next one), but not the tens of megabytes a large conversion frees:
  // above this, each thread's arena gives its free top back.
  mallopt(M_TRIM_THRESHOLD, 4 * 1024 * 1024);
  mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
  options.behind = upstream.empty() ? root : upstream;
  return runServer(options, [&](std::string& error) -> std::unique_ptr<Application> {
    if (!upstream.empty()) return makeProxyApplication(upstreamOptions);
    return makeStaticApplication(root, indexFiles, types, error);
  });
}

}  // namespace vantomer::host
