// The Debian packages built from this build: what they install where, which
// files an upgrade keeps, a service unit systemd accepts, and an nginx module
// that the installed nginx loads with the packaged filter.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/host_process.h"
#include "support/nginx_process.h"
#include "support/telmark.h"

namespace vantomer::test {
namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class Package : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    out_ = new ScratchDir();
    const CommandResult built = runProgram("/usr/bin/env",
                                           {"BUILD=" VANTOMER_BINARY_DIR, "DEB_OUT=" + out_->path(),
                                            VANTOMER_SOURCE_DIR "/scripts/make-deb.sh"},
                                           "", 180);
    std::istringstream paths(built.status == 0 ? built.out : "");
    std::getline(paths, package_);
    std::getline(paths, nginxPackage_);
    error_ = "status " + std::to_string(built.status) + ": " + built.err;
  }
  static void TearDownTestSuite() {
    delete out_;
    out_ = nullptr;
  }
  void SetUp() override { ASSERT_FALSE(package_.empty()) << error_; }

  static ScratchDir* out_;
  static std::string package_;
  static std::string nginxPackage_;
  static std::string error_;
};

ScratchDir* Package::out_ = nullptr;
std::string Package::package_;
std::string Package::nginxPackage_;
std::string Package::error_;

TEST_F(Package, InstallsTheModuleWithItsSettingsAsConffiles) {
  const std::string listing = runProgram("dpkg-deb", {"-c", package_}).out;
  for (const char* path :
       {"./usr/bin/vantomer", "./usr/lib/vantomer/vantomer.so",
        "./usr/lib/vantomer/Vantomer.setting -> /etc/vantomer/Vantomer.setting",
        "./usr/lib/vantomer/Emoji.setting -> /etc/vantomer/Emoji.setting",
        "./etc/vantomer/Vantomer.setting", "./etc/default/vantomer",
        "./lib/systemd/system/vantomer.service", "./usr/share/doc/vantomer/copyright",
        "./usr/share/doc/vantomer/docs/settings.md", "./usr/share/doc/vantomer/examples/pages/"}) {
    EXPECT_TRUE(contains(listing, path)) << path << " in\n" << listing;
  }
  ScratchDir control;
  ASSERT_EQ(runProgram("dpkg-deb", {"-e", package_, control.path()}).status, 0);
  EXPECT_EQ(runProgram("cat", {control.path() + "/conffiles"}).out,
            "/etc/default/vantomer\n/etc/vantomer/Emoji.setting\n/etc/vantomer/Vantomer.setting\n");
  const std::string fields = runProgram("dpkg-deb", {"-f", package_}).out;
  for (const char* field : {"Package: vantomer", "libxml2", "libhiredis", "adduser"})
    EXPECT_TRUE(contains(fields, field)) << field << " in\n" << fields;
  EXPECT_TRUE(contains(runProgram("cat", {control.path() + "/postinst"}).out,
                       "adduser --quiet --system --group"));
}

TEST_F(Package, TheUnitIsAcceptedAndSandboxed) {
  ScratchDir root;
  ASSERT_EQ(runProgram("dpkg-deb", {"-x", package_, root.path()}).status, 0);
  const std::string unit = root.path() + "/lib/systemd/system/vantomer.service";
  const std::string text = runProgram("cat", {unit}).out;
  for (const char* line :
       {"User=vantomer", "NoNewPrivileges=yes", "ProtectSystem=strict", "ProtectHome=yes",
        "PrivateTmp=yes", "CapabilityBoundingSet=\n", "EnvironmentFile=-/etc/default/vantomer",
        "--module /usr/lib/vantomer/vantomer.so"}) {
    EXPECT_TRUE(contains(text, line)) << line;
  }
  const CommandResult verified = runProgram("systemd-analyze", {"verify", unit});
  if (verified.status == -1 || verified.status == 127)
    GTEST_SKIP() << "no systemd-analyze (`VANTOMER_SETUP_EXTRA=systemd scripts/setup.sh` "
                    "installs it)";
  // Outside a booted system, verify also reports what this machine lacks.
  std::istringstream lines(verified.err + verified.out);
  for (std::string line; std::getline(lines, line);) {
    if (contains(line, "not executable") || contains(line, "sysinit.target")) continue;
    EXPECT_FALSE(contains(line, "vantomer.service")) << line;
  }
}

TEST_F(Package, TheNginxModuleIsEnabledTheDebianWayAndLoadsTheFilter) {
  if (nginxModulePath().empty() || nginxPath().empty())
    GTEST_SKIP() << "no nginx module built (`make build` builds it)";
  ASSERT_FALSE(nginxPackage_.empty()) << "no nginx module package";
  const std::string fields = runProgram("dpkg-deb", {"-f", nginxPackage_}).out;
  for (const char* field : {"Package: libnginx-mod-http-vantomer", "nginx-abi-", "vantomer (= "})
    EXPECT_TRUE(contains(fields, field)) << field << " in\n" << fields;

  ScratchDir root;
  for (const std::string& package : {package_, nginxPackage_})
    ASSERT_EQ(runProgram("dpkg-deb", {"-x", package, root.path()}).status, 0);
  EXPECT_EQ(readFile(root.path() + "/usr/share/nginx/modules-available/mod-http-vantomer.conf"),
            "load_module modules/ngx_http_vantomer_module.so;\n");
  ScratchDir control;
  ASSERT_EQ(runProgram("dpkg-deb", {"-e", nginxPackage_, control.path()}).status, 0);
  EXPECT_TRUE(contains(readFile(control.path() + "/postinst"),
                       "for confpair in mod-http-vantomer.conf:50-mod-http-vantomer.conf"));

  // The stripped module under nginx -t, driving the packaged filter and settings.
  NginxHost nginx(root.path() + "/usr/lib/vantomer/vantomer.so",
                  readFile(root.path() + "/etc/vantomer/Vantomer.setting"),
                  readFile(root.path() + "/etc/vantomer/Emoji.setting"));
  std::string configuration = nginx.configuration("location / { root html; }");
  const std::string built = "load_module " + nginxModulePath() + ";";
  configuration.replace(
      configuration.find(built), built.size(),
      "load_module " + root.path() + "/usr/lib/nginx/modules/ngx_http_vantomer_module.so;");
  const CommandResult checked = nginx.test(configuration);
  EXPECT_EQ(checked.status, 0) << checked.err;
}

}  // namespace
}  // namespace vantomer::test
