// Load and unload of the real module through its exports.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "support/paths.h"
#include "support/test_host.h"

namespace vantomer::test {
namespace {

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(Module, ExportsExactlyTheThreeEntryPoints) {
  const std::string command = "nm -D --defined-only '" + modulePath() + "' 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> exported;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe)) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name) exported.insert(name);
  }
  ASSERT_EQ(::pclose(pipe), 0) << "nm failed";
  EXPECT_EQ(exported,
            (std::set<std::string>{"GetFilterVersion", "HttpFilterProc", "TerminateFilter"}));

  FilterModule module;
  ASSERT_TRUE(module.opened()) << module.openError();
  EXPECT_EQ(module.symbol("_ZN8vantomer14httpFilterProcEP20_HTTP_FILTER_CONTEXTjPv"), nullptr);
  EXPECT_EQ(module.symbol("_ZN8vantomer16getFilterVersionEP20_HTTP_FILTER_VERSION"), nullptr);
}

TEST(Module, RegistersTheFourNotifications) {
  FilterModule module;
  ASSERT_TRUE(module.opened()) << module.openError();
  EXPECT_EQ(module.loadResult(), TRUE);
  EXPECT_EQ(module.version().dwFilterVersion, 0x00070005u);
  EXPECT_EQ(module.version().dwFlags, 0x000844C3u);
  EXPECT_STREQ(module.version().lpszFilterDesc, "Vantomer ISAPI Filter");
  EXPECT_EQ(module.terminate(), TRUE);
}

struct LoadCase {
  const char* name;
  std::optional<std::string> settings;
  std::optional<std::string> emoji;
  BOOL loadResult;
  bool emojiOpened;  // Emoji.setting is read only after good settings
};

TEST(Module, LoadOutcomes) {
  const std::string pattern1023(1023, 'a');
  const std::string pattern1024(1024, 'a');
  const LoadCase cases[] = {
      {"no files", std::nullopt, std::nullopt, TRUE, false},
      {"malformed settings", "<Vantomer><unclosed>", "<Emoji/>", TRUE, true},
      {"malformed emoji table", settingsFile(""), "<Emoji><map num='1'", TRUE, true},
      {"empty files", "", "", TRUE, true},
      {"longest pattern", settingsFile(profileElement(pattern1023)), "<Emoji/>", TRUE, true},
      {"pattern too long", settingsFile(profileElement(pattern1024)), "<Emoji/>", FALSE, false},
      {"negative timeout",
       settingsFile("<CookieStockerTimeoutMinutes>-1</CookieStockerTimeoutMinutes>"), "<Emoji/>",
       FALSE, false},
      {"mark too long", settingsFile("<CookiePaddingMarkL>0123456789abcdef</CookiePaddingMarkL>"),
       std::nullopt, FALSE, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FilterModule module(c.settings, c.emoji);
    ASSERT_TRUE(module.opened()) << module.openError();
    EXPECT_EQ(module.loadResult(), c.loadResult);
    EXPECT_EQ(contains(module.openedDuringLoad(), "Vantomer.setting"), c.settings.has_value());
    EXPECT_EQ(contains(module.openedDuringLoad(), "Emoji.setting"), c.emojiOpened);
    // The timer runs only after a good load, and stopping it is the result.
    EXPECT_EQ(module.terminate(), c.loadResult);
  }
}

TEST(Module, ReadsItsFilesFromItsOwnDirectoryOnly) {
  // A failing settings file in the current directory must not be read.
  std::string elsewhere = std::filesystem::temp_directory_path().string() + "/vantomer-cwd-XXXXXX";
  ASSERT_NE(::mkdtemp(elsewhere.data()), nullptr);
  std::ofstream(elsewhere + "/Vantomer.setting")
      << settingsFile("<CookieStockerTimeoutMinutes>-1</CookieStockerTimeoutMinutes>");
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(elsewhere);
  FilterModule module;
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(elsewhere);
  EXPECT_EQ(module.loadResult(), TRUE);
}

TEST(Module, ModulesWithTheirOwnSettingsDoNotShareThem) {
  FilterModule plain(settingsFile(profileElement(".*")));
  FilterModule custom(settingsFile(profileElement(".*", "<ContentType>text/custom</ContentType>")));
  ASSERT_TRUE(plain.loaded() && custom.loaded());
  const std::string page = appResponse("<html><body>x</body></html>");
  Connection a(plain), b(custom);
  EXPECT_EQ(a.run(Request(), page).response.header("Content-Type"), "text/html; charset=UTF-8");
  EXPECT_EQ(b.run(Request(), page).response.header("Content-Type"), "text/custom; charset=UTF-8");
}

TEST(Module, TerminateFreesTheProfiles) {
  FilterModule module(settingsFile(profileElement(".*")));
  ASSERT_TRUE(module.loaded());
  Connection connection(module);
  const std::string page = appResponse("<html><body>x</body></html>");
  EXPECT_EQ(connection.run(Request(), page).response.statusCode(), 200);
  EXPECT_EQ(module.terminate(), TRUE);
  EXPECT_EQ(connection.run(Request(), page).response.statusCode(), 500);
}

}  // namespace
}  // namespace vantomer::test
