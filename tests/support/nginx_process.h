#pragma once
// Running nginx with the vantomer module from tests: a temporary prefix with
// its own configuration, a free loopback port, the master in the foreground
// (stopped with the test).

#include <map>
#include <memory>
#include <string>

#include "support/host_process.h"

namespace vantomer::test {

// Where the build put the nginx module; empty when it was not built.
std::string nginxModulePath();
// The nginx binary, or empty when none is installed.
std::string nginxPath();

class NginxHost {
 public:
  // A copy of module with settings and emoji beside it, as a site installs it.
  NginxHost(const std::string& module, const std::string& settings, const std::string& emoji);
  // Stops the master, which takes its workers along; a worker that died or
  // an [alert] or [crit] in the log fails the test.
  ~NginxHost();
  NginxHost(const NginxHost&) = delete;
  NginxHost& operator=(const NginxHost&) = delete;

  // The configuration: the module loaded, a server on port (HTTP/1) and
  // h2Port (h2c) with serverConfig inside, httpConfig around it.
  // vantomer_filter names the copy of the module unless filterPath says
  // otherwise ("" leaves the directive out).
  std::string configuration(const std::string& serverConfig, const std::string& httpConfig = "",
                            int workers = 1) const;
  // nginx -t on that configuration.
  CommandResult test(const std::string& configuration) const;
  // Starts nginx and waits for its ports; false when it stops first.
  bool start(const std::string& configuration, const std::map<std::string, std::string>& env = {});
  // The error log so far.
  std::string errorLog() const;

  ServerDir dir;
  std::string moduleCopy;
  std::string filterPath;
  // Each worker listens on a socket of its own, so that connections spread.
  bool reusePort = false;
  unsigned port;
  unsigned h2Port;
  std::unique_ptr<ChildProcess> process;
};

}  // namespace vantomer::test
