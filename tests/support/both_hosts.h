#pragma once
// One site behind each host: `vantomer serve` and, where the module is built,
// nginx with the module, with the example settings, so that one table of
// requests runs against both.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/host_http.h"
#include "support/host_process.h"
#include "support/nginx_process.h"
#include "support/paths.h"

namespace vantomer::test {

extern const std::string kIMode;
extern const std::string kPc;
extern const std::string kPageType;
extern const std::string kSjisType;
extern const std::string kSjisA;
extern const std::string kSjisSun;
extern const std::string kPage;

bool contains(const std::string& haystack, const std::string& needle);
// The application's login: a session cookie and a link to the members' page.
std::string loginPage();
std::string exampleSettings();
std::string exampleEmoji();

// A site: a directory (www/ of the site's own folder) or an upstream.
struct Site {
  virtual ~Site() = default;
  virtual unsigned port() const = 0;
  virtual std::string name() const = 0;
  virtual bool running() const = 0;
};

using SiteFiles = std::function<void(const ServerDir&)>;

struct ServeSite : Site {
  ServeSite(const SiteFiles& files, const std::string& upstream,
            const std::string& module = modulePath());
  unsigned port() const override { return port_; }
  std::string name() const override { return "vantomer serve"; }
  bool running() const override { return started; }

  ServerDir dir;
  unsigned port_;
  std::unique_ptr<ChildProcess> process;
  bool started = false;
};

std::string proxyConfig(const std::string& upstream);

struct NginxSite : Site {
  // serverExtra goes into the server block, beside the root or the proxy.
  NginxSite(const SiteFiles& files, const std::string& upstream,
            const std::string& module = modulePath(), const std::string& serverExtra = "");
  unsigned port() const override { return host.port; }
  std::string name() const override { return "nginx"; }
  bool running() const override { return started; }

  NginxHost host;
  bool started = false;
};

std::string logOf(const Site& site);
bool nginxReady();

#define REQUIRE_NGINX() \
  if (!nginxReady())    \
  GTEST_SKIP() << "nginx or the nginx module is not built (`make build` builds it)"

// The same site behind `vantomer serve` and, where it is built, nginx.
std::vector<std::unique_ptr<Site>> bothHosts(const SiteFiles& files, const std::string& upstream,
                                             const std::string& module = modulePath(),
                                             const std::string& nginxExtra = "");

#define REQUIRE_RUNNING(sites)                                    \
  for (const auto& site : sites) {                                \
    ASSERT_TRUE(site->running()) << site->name() << logOf(*site); \
  }

std::string upstreamUrl(const TestUpstream& upstream);

}  // namespace vantomer::test
