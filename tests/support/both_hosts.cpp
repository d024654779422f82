#include "support/both_hosts.h"

namespace vantomer::test {

const std::string kIMode = "DoCoMo/2.0 P903i(c100;TB;W24H12)";
const std::string kPc = "Mozilla/5.0 (X11; Linux x86_64)";
const std::string kPageType = "text/x-telmark; charset=UTF-8";
const std::string kSjisType = "application/xhtml+xml; charset=Shift_JIS";
const std::string kSjisA = "\x82\xA0";
const std::string kSjisSun = "\x90\xB0";
const std::string kPage =
    "<html><body><p>あ<k-emoji num=\"1\"/></p><a href=\"next.tm\">next</a></body></html>";

bool contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

std::string loginPage() {
  return TestUpstream::response(200, kPageType,
                                "<html><body><a href=\"/member/home\">home</a></body></html>",
                                {{"Set-Cookie", "session=s3cret; path=/"}});
}

std::string exampleSettings() { return readFile(sourceDir() + "/examples/Vantomer.setting"); }
std::string exampleEmoji() { return readFile(sourceDir() + "/examples/Emoji.setting"); }

ServeSite::ServeSite(const SiteFiles& files, const std::string& upstream, const std::string& module)
    : port_(freePort()) {
  const std::string copy = dir.copy(module, "module/vantomer.so");
  dir.write("module/Vantomer.setting", exampleSettings());
  dir.write("module/Emoji.setting", exampleEmoji());
  files(dir);
  std::vector<std::string> args = {
      "serve",     "--module", copy, "--listen", "127.0.0.1:" + std::to_string(port_),
      "--threads", "2"};
  if (upstream.empty()) {
    args.insert(args.end(), {"--root", dir.file("www"), "--mime", ".tm=" + kPageType});
  } else {
    args.insert(args.end(), {"--upstream", upstream});
  }
  process = std::make_unique<ChildProcess>(hostPath(), args, dir.path());
  started = process->waitForPort(port_);
}

std::string proxyConfig(const std::string& upstream) {
  return "    location / {\n      proxy_pass " + upstream +
         ";\n      proxy_http_version 1.1;\n      proxy_set_header Connection \"\";\n"
         "      proxy_set_header Accept-Encoding \"\";\n"
         "      proxy_buffer_size 64k;\n      proxy_buffers 4 64k;\n    }\n";
}

NginxSite::NginxSite(const SiteFiles& files, const std::string& upstream, const std::string& module,
                     const std::string& serverExtra)
    : host(module, exampleSettings(), exampleEmoji()) {
  files(host.dir);
  const std::string server =
      upstream.empty() ? "    root " + host.dir.file("www") +
                             ";\n    index index.tm index.html;\n    types { \"" + kPageType +
                             "\" tm; text/html html; "
                             "text/plain txt; application/octet-stream bin; }\n"
                       : proxyConfig(upstream);
  started = host.start(host.configuration(server + serverExtra));
}

std::string logOf(const Site& site) {
  const auto* nginx = dynamic_cast<const NginxSite*>(&site);
  return nginx ? nginx->host.errorLog() : "";
}

bool nginxReady() { return !nginxModulePath().empty() && !nginxPath().empty(); }

std::vector<std::unique_ptr<Site>> bothHosts(const SiteFiles& files, const std::string& upstream,
                                             const std::string& module,
                                             const std::string& nginxExtra) {
  std::vector<std::unique_ptr<Site>> sites;
  sites.push_back(std::make_unique<ServeSite>(files, upstream, module));
  if (nginxReady())
    sites.push_back(std::make_unique<NginxSite>(files, upstream, module, nginxExtra));
  return sites;
}

std::string upstreamUrl(const TestUpstream& upstream) {
  return "http://127.0.0.1:" + std::to_string(upstream.port());
}

}  // namespace vantomer::test
