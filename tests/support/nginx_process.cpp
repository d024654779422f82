#include "support/nginx_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

namespace vantomer::test {

std::string nginxModulePath() {
#ifdef VANTOMER_NGINX_MODULE_PATH
  return VANTOMER_NGINX_MODULE_PATH;
#else
  return "";
#endif
}

std::string nginxPath() {
  for (const char* candidate : {"/usr/sbin/nginx", "/usr/local/sbin/nginx"})
    if (::access(candidate, X_OK) == 0) return candidate;
  return "";
}

NginxHost::NginxHost(const std::string& module, const std::string& settings,
                     const std::string& emoji)
    : port(freePort()), h2Port(freePort()) {
  while (h2Port == port) h2Port = freePort();
  moduleCopy = dir.copy(module, "module/vantomer.so");
  filterPath = moduleCopy;
  dir.write("module/Vantomer.setting", settings);
  dir.write("module/Emoji.setting", emoji);
  std::filesystem::create_directories(dir.file("logs"));
  std::filesystem::create_directories(dir.file("tmp"));
}

NginxHost::~NginxHost() {
  if (!process) return;
  process->signal(SIGTERM);
  process->wait(std::chrono::seconds(10));
  // A worker that died, on its way out too, or an alert fails the test.
  const std::string log = errorLog();
  for (const char* sign : {"exited on signal", "[alert]", "[crit]"})
    EXPECT_EQ(log.find(sign), std::string::npos) << sign << " in the nginx log:\n" << log;
}

std::string NginxHost::configuration(const std::string& serverConfig, const std::string& httpConfig,
                                     int workers) const {
  const std::string temp = dir.file("tmp");
  std::string text = "load_module " + nginxModulePath() + ";\n";
  // Workers of a root master would become nobody, who cannot read the
  // temporary directory.
  if (::geteuid() == 0) text += "user root;\n";
  text += "daemon off;\nmaster_process on;\nworker_processes " + std::to_string(workers) +
          ";\npid " + dir.file("nginx.pid") + ";\nerror_log " + dir.file("logs/error.log") +
          " info;\nenv VANTOMER_TESTFILTER_REFUSE;\nenv VANTOMER_TESTFILTER_MARK;\nevents { "
          "worker_connections 128; }\n"
          "http {\n  access_log off;\n"
          "  client_body_temp_path " +
          temp + "/body;\n  proxy_temp_path " + temp +
          "/proxy;\n"
          "  fastcgi_temp_path " +
          temp + "/fastcgi;\n  uwsgi_temp_path " + temp +
          "/uwsgi;\n"
          "  scgi_temp_path " +
          temp +
          "/scgi;\n"
          "  types { text/html html; text/plain txt; application/octet-stream bin; }\n"
          "  default_type application/octet-stream;\n  sendfile on;\n";
  if (!filterPath.empty()) text += "  vantomer_filter " + filterPath + ";\n";
  text += httpConfig;
  text += "  server {\n    listen 127.0.0.1:" + std::to_string(port) +
          ";\n    listen 127.0.0.1:" + std::to_string(h2Port) +
          " http2;\n    server_name localhost;\n" + serverConfig + "\n  }\n}\n";
  return text;
}

CommandResult NginxHost::test(const std::string& configuration) const {
  const std::string conf = dir.write("nginx-test.conf", configuration);
  return runProgram(nginxPath(), {"-t", "-e", "stderr", "-p", dir.path(), "-c", conf});
}

bool NginxHost::start(const std::string& configuration,
                      const std::map<std::string, std::string>& env) {
  const std::string conf = dir.write("nginx.conf", configuration);
  process = std::make_unique<ChildProcess>(
      nginxPath(), std::vector<std::string>{"-e", "stderr", "-p", dir.path(), "-c", conf},
      dir.path(), env);
  return process->waitForPort(port) && process->waitForPort(h2Port);
}

std::string NginxHost::errorLog() const { return readFile(dir.file("logs/error.log")); }

}  // namespace vantomer::test
